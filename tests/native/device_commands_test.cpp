// The commands' frames and the checks of their replies that every sequence relies on.

#include "device/commands.h"
#include "device/transaction.h"
#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::device {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A reply that delivered every byte asked for.
Reply replyOf(const Bytes& bytes) {
    Reply reply;
    std::copy(bytes.begin(), bytes.end(), reply.bytes.begin());
    reply.requested = reply.delivered = static_cast<std::uint32_t>(bytes.size());
    return reply;
}

// AC delay 1 h 2 min 3 s, system delay 0, charge selection 1; installed 7/18/2011.
const SettingsPayload kSettings{3, 2, 1, 0, 0, 0, 1};
const DateBytes kDate{7, 18, 20, 11};

// The worked frames are checked on the wire with the write sequence; here the checksums' ends.
TEST(CommandFrames, ChecksumWrapsAndCodesWithoutAShapeNeverPass) {
    const Frame plain = plainFrame(12);
    EXPECT_EQ(Bytes(plain.bytes.begin(), plain.bytes.begin() + plain.length), (Bytes{0x0C, 0x55}));
    EXPECT_EQ(settingsWriteRequest({}).bytes[10], 0x56);
    EXPECT_EQ(settingsWriteRequest({255, 255, 255, 255, 255, 255, 255}).bytes[10], 0x4F)
        << "the checksum wraps at 256";
    for (std::uint8_t code : {0, 7, 8, 9, 15, 255}) {
        EXPECT_FALSE(commandShape(code)) << int{code};
    }
    // A code without a shape is sent asking for one byte, and no reply to it passes.
    EXPECT_EQ(matchingConfirmBytes(plainFrame(3), replyOf({0x55})), 0u) << "not a confirm";
    EXPECT_FALSE(replyPasses(plainFrame(7), replyOf({0x55})));
    vsupply::VirtualLink rig;
    EXPECT_EQ(send(rig.link, plainFrame(7)).requested, 1u);
}

// Each command's frame and reply have the lengths of its shape. Its good reply passes; changing a
// byte its check covers fails it, the others are free. A reply the transfer did not deliver whole
// never passes: an all-zero area is exactly what a silent transfer leaves, so the reset confirms
// must not take it.
TEST(ReplyChecks, EachCheckCoversItsBytesAndOnlyCompleteTransfersPass) {
    // A frame, its good reply, and how many leading bytes of it the check covers.
    const std::tuple<Frame, Bytes, std::size_t> cases[] = {
        {plainFrame(3), {0x55}, 1},
        {plainFrame(5), {0x55}, 1},
        {plainFrame(10), {0x55}, 1},
        {plainFrame(11), {0x55}, 1},
        {installDateRequest(kDate), {0x55, 9, 9, 9}, 1},
        {settingsWriteRequest(kSettings), {0x55, 3, 2, 1, 0, 0, 0, 1, 0, 0x5D}, 9},
        {settingsWriteConfirm(kSettings), {3, 2, 1, 0, 0, 0, 1, 0xAA, 0xBB, 0xCC}, 7},
        {installDateConfirm(kDate), {7, 18, 20, 11}, 4},
        {plainFrame(6), {0, 0, 0}, 3},
        {plainFrame(12), {0, 0, 0, 0}, 4},
        {plainFrame(4), Bytes(12, 0), 0}};
    for (const auto& [frame, good, covered] : cases) {
        SCOPED_TRACE(::testing::Message() << "command " << int{frame.code()});
        const auto shape = commandShape(frame.code());
        ASSERT_TRUE(shape);
        EXPECT_EQ(std::pair(shape->frameLength, shape->replyLength),
                  std::pair(frame.length, good.size()));
        EXPECT_TRUE(replyPasses(frame, replyOf(good)));
        for (std::size_t i = 0; i < good.size(); ++i) {
            Bytes changed = good;
            changed[i] ^= 0x10;
            EXPECT_EQ(replyPasses(frame, replyOf(changed)), i >= covered) << "byte " << i;
        }
        for (std::uint32_t delivered : {0u, static_cast<std::uint32_t>(good.size() - 1)}) {
            Reply incomplete = replyOf(good);
            incomplete.delivered = delivered;
            EXPECT_FALSE(replyPasses(frame, incomplete)) << delivered << " bytes delivered";
        }
    }
}

// Answers every transfer with a scripted reply and count, and keeps the reply area as the
// library received it; every other call is the virtual bridge's. (The serial engine's tests
// check the transfer's arguments on the wire.)
class TransferRecorder final : public vsupply::VirtualBridge {
public:
    FtcStatus writeRead(FtcHandle, const StartCondition*, std::uint32_t, std::uint32_t,
                        std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t,
                        std::uint32_t, std::uint32_t, std::uint8_t* reply,
                        std::uint32_t* replyBytesDelivered, HighPinRecord*) override {
        replyArea.assign(reply, reply + 12);
        std::copy(answer.begin(), answer.end(), reply);
        *replyBytesDelivered = delivered;
        return 0;
    }

    Bytes replyArea;
    Bytes answer;
    std::uint32_t delivered = 0;
};

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
