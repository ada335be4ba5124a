#include "device/commands.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "tests/support/operator_texts.h"
#include "virtual_supply/virtual_bridge.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::device {
namespace {

namespace text = testing::text;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;
using Waits = std::vector<std::chrono::milliseconds>;

// A reply that delivered every byte asked for.
Reply replyOf(const Bytes& bytes) {
    Reply reply;
    std::copy(bytes.begin(), bytes.end(), reply.bytes.begin());
    reply.requested = reply.delivered = static_cast<std::uint32_t>(bytes.size());
    return reply;
}

Texts texts(std::initializer_list<std::string_view> list) {
    return {list.begin(), list.end()};
}

// AC delay 1 h 2 min 3 s, system delay 0, charge selection 1; installed 7/18/2011.
const SettingsPayload kSettings{3, 2, 1, 0, 0, 0, 1};
const DateBytes kDate{7, 18, 20, 11};

// The worked frames are checked on the wire with the write sequence; here the checksums' ends.
TEST(CommandFrames, ChecksumWrapsAndCodesWithoutAShapeNeverPass) {
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
// byte its check covers fails it, the others are free. A reply the transfer did not deliver whole,
// or whose transfer failed, never passes: an all-zero area is exactly what a silent transfer
// leaves, so the reset confirms must not take it. Nor does anything pass with the supply unplugged.
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
    vsupply::VirtualLink unplugged;
    unplugged.bridge.unplug();
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
        Reply failed = replyOf(good);
        failed.status = 4;
        EXPECT_FALSE(replyPasses(frame, failed));
        EXPECT_FALSE(replyPasses(frame, send(unplugged.link, frame)));
        EXPECT_NE(unplugged.link.adapterStatus, kStatusSuccess);
    }
}

// Each write operation: both steps with a second between them, each with its texts; a failed
// request sends no confirm and waits not. A passed check sets the link flag and a failed one
// clears it: a failed confirm (a wrong answer, or a supply gone after the request) too, except
// for the reset confirms, which leave it.
TEST(TwoStep, EachOperationWithItsTextsWaitAndFailures) {
    struct Row {
        TwoStepOperation operation;
        std::string_view requestText, confirmText, requestFail;
        bool reset;
    };
    const Row rows[] = {{settingsWrite(kSettings), text::kWriting, text::kWriteSuccess,
                         text::kCommErrorStop, false},
                        {batteryTimerReset(), text::kResettingBattery, text::kResetBatterySuccess,
                         text::kCommErrorBang, true},
                        {faultCountReset(), text::kResettingFaults, text::kResetFaultsSuccess,
                         text::kCommErrorBang, true},
                        {installDateSet(kDate), text::kSettingDate, text::kSetDateSuccess,
                         text::kCommErrorBang, false}};
    enum class Fault { None, Request, WrongAnswer, Unplugged };
    for (const Row& row : rows) {
        const std::uint8_t request = row.operation.request.code();
        const std::uint8_t confirm = row.operation.confirm.code();
        for (const Fault fault :
             {Fault::None, Fault::Request, Fault::WrongAnswer, Fault::Unplugged}) {
            SCOPED_TRACE(::testing::Message()
                         << "command " << int{request} << ", fault " << static_cast<int>(fault));
            vsupply::VirtualLink rig;
            testing::FakeClock clock;
            testing::FakeWindow window;
            auto& faults = rig.bridge.supply().faults();
            if (fault == Fault::Request) {
                faults.unacknowledged = {request};
            } else if (fault == Fault::WrongAnswer && row.reset) {
                faults.nonZeroConfirm = {confirm};
            } else if (fault == Fault::WrongAnswer) {
                faults.wrongEcho = {{confirm, 1}};
            } else if (fault == Fault::Unplugged) {
                rig.bridge.faults().plugEvents = {{false, 1, 0, 1}};
            }
            rig.link.linkOk = fault != Fault::None;

            const auto outcome = runTwoStep(rig.link, clock, window, row.operation);

            const bool requestOk = fault != Fault::Request;
            const bool confirmOk = fault == Fault::None;
            EXPECT_EQ(outcome.requestPassed, requestOk);
            EXPECT_EQ(outcome.confirmReply.has_value(), requestOk);
            EXPECT_EQ(outcome.confirmPassed, confirmOk);
            EXPECT_EQ(rig.link.linkOk, confirmOk || (requestOk && row.reset));
            EXPECT_EQ(rig.bridge.commandsSent(),
                      (requestOk ? Bytes{request, confirm} : Bytes{request}));
            EXPECT_EQ(clock.waits, (requestOk ? Waits{1000ms} : Waits{}));
            EXPECT_EQ(window.statusHistory, !requestOk ? texts({row.requestFail})
                                            : confirmOk
                                                ? texts({row.requestText, row.confirmText})
                                                : texts({row.requestText, text::kCommErrorStop}));
        }
    }
}

} // namespace
} // namespace brenvik::device
