#pragma once
// The parameter checks the adapter library makes before a write-read transfer (ordinal 33),
// shared by the stand-in library and the virtual bridge so that both refuse alike.

#include "device/adapter_library.h"

#include <cstdint>

namespace brenvik::device {

struct TransferParameters {
    const StartCondition* start = nullptr;
    std::uint32_t frameClockEdge = 0;
    std::uint32_t frameBits = 0;
    const std::uint8_t* frame = nullptr;
    std::uint32_t frameBytes = 0;
    std::uint32_t replyBits = 0;
    const std::uint8_t* reply = nullptr;
    const HighPinRecord* highPins = nullptr;
};

// The limits of one transfer.
inline constexpr std::uint32_t kMaxChipSelectLine = 4;
inline constexpr std::uint32_t kMaxWriteBits = 2040;
inline constexpr std::uint32_t kMaxWriteBytes = 255;
inline constexpr std::uint32_t kMinReadBits = 2;
inline constexpr std::uint32_t kMaxReadBits = 524280;

// The first check that fails, in the library's order, or success. `highOutputs` holds a bit for
// each high line set as an output; a four-channel bridge (`hasHighLines` false) has none to check.
FtcStatus checkTransfer(const TransferParameters& p, bool hasHighLines, std::uint8_t highOutputs);

} // namespace brenvik::device
