#include "device/transaction.h"

#include <algorithm>
#include <cassert>

namespace brenvik::device {

namespace {

// Bit order and clock edge flags passed for both the frame and the reply.
constexpr std::uint32_t kMostSignificantBitFirst = 1;
constexpr std::uint32_t kClockEdge = 0;

// Put in the delivered-byte count before each transfer. No reply is longer than 12 bytes, so a
// library that fills the count in always overwrites it; one that leaves the count alone (not
// every path of the vendor's library sets it) hands this value back.
constexpr std::uint32_t kCountUntouched = 0xFFFFFFFF;

} // namespace

bool Reply::complete() const {
    return status == kStatusSuccess && requested > 0 && delivered >= requested;
}

Reply transact(DeviceLink& link, std::uint8_t code, std::span<const std::uint8_t> payload,
               std::size_t frameLength, std::size_t replyLength) {
    assert(frameLength >= 2 && frameLength <= kMaxFrameLength);
    assert(replyLength >= 1 && replyLength <= kMaxReplyLength);
    assert(payload.size() <= frameLength - 2);

    std::array<std::uint8_t, kMaxFrameLength + 1> frame{};
    frame[0] = code;
    frame[1] = kFrameMarker;
    std::copy_n(payload.begin(), std::min(payload.size(), frameLength - 2), frame.begin() + 2);

    Reply reply;
    reply.requested = static_cast<std::uint32_t>(replyLength);
    // A handle of 0 stands for "never opened"; the library refuses it like any unknown handle.
    const FtcHandle handle = link.handle.value_or(0);
    std::uint32_t delivered = kCountUntouched;
    reply.status =
        link.library.writeRead(handle, &link.startCondition, kMostSignificantBitFirst, kClockEdge,
                               static_cast<std::uint32_t>(frameLength * 8), frame.data(),
                               static_cast<std::uint32_t>(frameLength), kMostSignificantBitFirst,
                               kClockEdge, static_cast<std::uint32_t>(replyLength * 8),
                               reply.bytes.data(), &delivered, &link.highPins);
    if (delivered == kCountUntouched) {
        // The library did not say how much arrived: its status alone tells.
        delivered = reply.status == kStatusSuccess ? reply.requested : 0;
    }
    reply.delivered = std::min<std::uint32_t>(delivered, reply.requested);
    // Whatever a short transfer left beyond what it delivered is not part of the reply.
    std::fill(reply.bytes.begin() + reply.delivered, reply.bytes.end(), 0);
    link.adapterStatus = reply.status;
    if (link.observer != nullptr) {
        link.observer->onTransaction(std::span<const std::uint8_t>(frame.data(), frameLength),
                                     reply);
    }
    return reply;
}

bool acknowledged(const Reply& reply) {
    return reply.complete() && reply.bytes[0] == kFrameMarker;
}

} // namespace brenvik::device
