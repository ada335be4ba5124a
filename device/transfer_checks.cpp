#include "device/transfer_checks.h"

#include "device/library_status.h"

namespace brenvik::device {

FtcStatus checkTransfer(const TransferParameters& p, bool hasHighLines, std::uint8_t highOutputs) {
    if (p.start == nullptr) {
        return status::kNullStartCondition;
    }
    if (p.frame == nullptr) {
        return status::kNullWriteBuffer;
    }
    if (p.start->chipSelectLine > kMaxChipSelectLine) {
        return status::kInvalidChipSelectPin;
    }
    if ((p.start->clockPinState != 0) != (p.frameClockEdge != 0)) {
        return status::kClockStateMismatch;
    }
    if (p.frameBits > kMaxWriteBits) {
        return status::kInvalidWriteBits;
    }
    if (p.frameBytes < 1 || p.frameBytes > kMaxWriteBytes) {
        return status::kInvalidWriteBytes;
    }
    if (p.frameBytes * 8 < p.frameBits) {
        return status::kWriteBytesTooFew;
    }
    if (p.reply == nullptr) {
        return status::kNullReadBuffer;
    }
    if (p.replyBits < kMinReadBits || p.replyBits > kMaxReadBits) {
        return status::kInvalidReadBits;
    }
    if (p.highPins == nullptr) {
        return status::kNullHighOutputRecord;
    }
    // Only an output line can be made active during the transfer.
    for (std::size_t pin = 0; pin < p.highPins->pins.size(); ++pin) {
        if (hasHighLines && p.highPins->pins[pin].state != 0 && (highOutputs >> pin & 1u) == 0) {
            return status::kHighPinNotOutput;
        }
    }
    return kStatusSuccess;
}

} // namespace brenvik::device
