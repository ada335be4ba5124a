// Any reply to any command: the checks of the command table never read past what was delivered,
// an incomplete reply never passes, and a confirm never matches more bytes than it carries.

#include "device/commands.h"
#include "device/transaction.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brenvik::device;
    if (size < 4) {
        return 0;
    }
    const auto shape = commandShape(data[0]);
    if (!shape) {
        return 0;
    }
    Frame frame;
    frame.bytes[0] = data[0];
    frame.bytes[1] = kFrameMarker;
    frame.length = shape->frameLength;
    std::copy_n(data + 4, std::min<std::size_t>(size - 4, frame.length - 2),
                frame.bytes.begin() + 2);
    Reply reply;
    reply.requested = static_cast<std::uint32_t>(shape->replyLength);
    reply.delivered = std::min<std::uint32_t>(data[1], reply.requested);
    reply.status = data[2] & 1U;
    const std::size_t replyAt = 4 + frame.length - 2;
    if (size > replyAt) {
        std::copy_n(data + replyAt, std::min(size - replyAt, std::size_t{reply.delivered}),
                    reply.bytes.begin());
    }
    const bool passes = replyPasses(frame, reply);
    if (passes && !reply.complete()) {
        std::abort();
    }
    if (matchingConfirmBytes(frame, reply) > reply.delivered) {
        std::abort();
    }
    return 0;
}
