// Any reply to any command: the checks of the command table never read past what was delivered,
// an incomplete reply never passes, and a confirm never matches more bytes than it carries.
// Input: command, delivered count, status, one spare byte, the frame's payload, the reply.

#include "device/commands.h"
#include "device/transaction.h"
#include "tests/fuzz/fuzz_input.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brenvik::device;
    const auto shape = size < 4 ? std::nullopt : commandShape(data[0]);
    if (!shape) {
        return 0;
    }
    Frame frame;
    frame.bytes[0] = data[0];
    frame.bytes[1] = kFrameMarker;
    frame.length = shape->frameLength;
    const std::size_t payload = std::min<std::size_t>(size - 4, frame.length - 2);
    std::copy_n(data + 4, payload, frame.bytes.begin() + 2);
    Reply reply;
    reply.requested = static_cast<std::uint32_t>(shape->replyLength);
    reply.delivered = std::min<std::uint32_t>(data[1], reply.requested);
    reply.status = data[2] & 1U;
    const std::size_t replyAt = std::min(size, 4 + frame.length - 2);
    std::copy_n(data + replyAt, std::min(size - replyAt, std::size_t{reply.delivered}),
                reply.bytes.begin());
    brenvik::fuzz::require(!replyPasses(frame, reply) || reply.complete(), "incomplete passes");
    brenvik::fuzz::require(matchingConfirmBytes(frame, reply) <= reply.delivered,
                           "confirm matches more than delivered");
    return 0;
}
