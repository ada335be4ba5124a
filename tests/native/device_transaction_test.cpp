#include "device/transaction.h"
#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace brenvik::device {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Records the arguments of the last transfer and answers with a scripted reply; every other call
// is the virtual bridge's.
class TransferRecorder final : public vsupply::VirtualBridge {
public:
    FtcStatus writeRead(FtcHandle handle, const StartCondition* start, std::uint32_t frameBitOrder,
                        std::uint32_t frameClockEdge, std::uint32_t frameBits,
                        const std::uint8_t* frame, std::uint32_t frameBytes,
                        std::uint32_t replyBitOrder, std::uint32_t replyClockEdge,
                        std::uint32_t replyBits, std::uint8_t* reply,
                        std::uint32_t* replyBytesDelivered, HighPinRecord* highPins) override {
        arguments = {handle,     frameBitOrder, frameClockEdge, frameBits,
                     frameBytes, replyBitOrder, replyClockEdge, replyBits};
        records = {start, highPins};
        frameSent.assign(frame, frame + 12);
        replyArea.assign(reply, reply + 12);
        std::copy(answer.begin(), answer.end(), reply);
        *replyBytesDelivered = delivered;
        return status;
    }

    std::vector<std::uint32_t> arguments;        // the scalar arguments, in order
    std::pair<const void*, const void*> records; // start condition, high pins
    Bytes frameSent;
    Bytes replyArea; // as the library received it
    Bytes answer;
    std::uint32_t delivered = 0;
    FtcStatus status = 0;
};

// Bit counts are eight per byte: a frame of 8 bytes and a reply of 4 here.
TEST(Transaction, PassesTheThirteenArgumentsInOrder) {
    TransferRecorder adapter;
    DeviceLink link(adapter);
    link.handle = 0x42;
    adapter.answer = {0x55, 0, 0, 0};
    adapter.delivered = 4;

    const Reply reply = transact(link, 13, Bytes{7, 18, 20, 11, 0, 0x9A}, 8, 4);

    EXPECT_EQ(adapter.arguments, (std::vector<std::uint32_t>{0x42, 1, 0, 64, 8, 1, 0, 32}));
    EXPECT_EQ(adapter.records,
              (std::pair<const void*, const void*>{&link.startCondition, &link.highPins}));
    EXPECT_EQ(adapter.frameSent, (Bytes{0x0D, 0x55, 7, 18, 20, 11, 0, 0x9A, 0, 0, 0, 0}));
    EXPECT_TRUE(acknowledged(reply));
    EXPECT_EQ(std::pair(reply.requested, reply.delivered), std::pair(4u, 4u));
}

// A transfer that delivered nothing must never be judged on an earlier transfer's bytes.
TEST(Transaction, StaleReplyBytesNeverCount) {
    TransferRecorder adapter;
    DeviceLink link(adapter);
    link.linkOk = true;
    adapter.answer = {0x55};
    adapter.delivered = 1;
    ASSERT_TRUE(acknowledged(transact(link, 10, {}, 2, 1)));

    // The library writes nothing, delivers nothing, yet reports success.
    adapter.answer.clear();
    adapter.delivered = 0;
    EXPECT_FALSE(acknowledged(transact(link, 10, {}, 2, 1)));
    EXPECT_EQ(adapter.replyArea, Bytes(12, 0));

    // A short transfer: the undelivered tail reads as zero, and the reply is incomplete.
    adapter.answer = {0x55, 0x55, 0x55, 0x55};
    adapter.delivered = 2;
    const Reply partial = transact(link, 12, {}, 2, 4);
    EXPECT_FALSE(partial.complete());
    EXPECT_EQ(Bytes(partial.bytes.begin(), partial.bytes.begin() + 4), (Bytes{0x55, 0x55, 0, 0}));
}

} // namespace
} // namespace brenvik::device
