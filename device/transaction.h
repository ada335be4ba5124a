#pragma once
// One exchange with the supply's controller: a command frame clocked out, a reply clocked in,
// both within one transfer of the adapter library.

#include "device/adapter_library.h"
#include "device/device_link.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace brenvik::device {

inline constexpr std::uint8_t kFrameMarker = 0x55;

// Longest frame and reply the protocol uses.
inline constexpr std::size_t kMaxFrameLength = 11;
inline constexpr std::size_t kMaxReplyLength = 12;

struct Reply {
    std::array<std::uint8_t, kMaxReplyLength> bytes{}; // cleared before every transfer
    std::uint32_t requested = 0;                       // reply length asked for (1..12)
    std::uint32_t delivered = 0;                       // bytes the transfer delivered
    FtcStatus status = kStatusSuccess;                 // status of the transfer
    // The transfer succeeded and delivered every byte asked for.
    bool complete() const;
};

// Watches the link's transactions, for a record of every exchange with the supply.
class TransactionObserver {
public:
    virtual ~TransactionObserver() = default;
    // The frame as sent (its full length) and the reply as the transaction returns it.
    virtual void onTransaction(std::span<const std::uint8_t> frame, const Reply& reply) = 0;
};

// One transaction: frame = code, 0x55, payload (the rest 0) of frameLength bytes (2, 8 or 11),
// reply of replyLength bytes (1..12), through ordinal 33 with the 13 arguments in order. Stores
// the status in link.adapterStatus and tells the link's observer, if any. Never touches the link
// flag or the status line.
Reply transact(DeviceLink& link, std::uint8_t code, std::span<const std::uint8_t> payload,
               std::size_t frameLength, std::size_t replyLength);

// Reply byte 0 is the frame marker, and the transfer was complete.
bool acknowledged(const Reply& reply);

} // namespace brenvik::device
