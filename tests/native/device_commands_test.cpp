#include "device/commands.h"
#include "shell/status_texts.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/virtual_bridge.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::device {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sent(const Frame& frame) {
    return Bytes(frame.bytes.begin(), frame.bytes.begin() + frame.length);
}

Reply replyOf(const Bytes& bytes, std::size_t requested) {
    Reply reply;
    std::copy(bytes.begin(), bytes.end(), reply.bytes.begin());
    reply.requested = static_cast<std::uint32_t>(requested);
    reply.delivered = static_cast<std::uint32_t>(requested);
    return reply;
}

std::vector<std::string> strings(std::initializer_list<std::string_view> texts) {
    return {texts.begin(), texts.end()};
}

TEST(CommandFrames, WorkedSettingsFramesByteForByte) {
    // AC delay 1 h 2 min 3 s, system delay 0, charge selection 1.
    const SettingsPayload settings{3, 2, 1, 0, 0, 0, 1};
    EXPECT_EQ(sent(settingsWriteRequest(settings)),
              (Bytes{0x01, 0x55, 0x03, 0x02, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x5D}));
    EXPECT_EQ(sent(settingsWriteConfirm(settings)),
              (Bytes{0x02, 0x55, 0x03, 0x02, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}));

    const SettingsPayload zero{};
    EXPECT_EQ(settingsWriteRequest(zero).bytes[10], 0x56);
    EXPECT_EQ(sent(settingsWriteConfirm(zero)), (Bytes{2, 0x55, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // The checksum wraps at 256.
    const SettingsPayload large{255, 255, 255, 255, 255, 255, 255};
    EXPECT_EQ(settingsWriteRequest(large).bytes[10],
              static_cast<std::uint8_t>((1 + 0x55 + 7 * 255) % 256));
}

TEST(CommandFrames, WorkedDateFramesByteForByte) {
    const DateBytes date = dateBytes(7, 18, 2011);
    EXPECT_EQ(date, (DateBytes{7, 18, 20, 11}));
    EXPECT_EQ(sent(installDateRequest(date)),
              (Bytes{0x0D, 0x55, 0x07, 0x12, 0x14, 0x0B, 0x00, 0x9A}));
    EXPECT_EQ(sent(installDateConfirm(date)),
              (Bytes{0x0E, 0x55, 0x07, 0x12, 0x14, 0x0B, 0x00, 0x00}));

    EXPECT_EQ(dateBytes(2, 7, 2010), (DateBytes{2, 7, 20, 10}));
    EXPECT_EQ(yearOf(DateBytes{2, 7, 20, 10}), 2010);
    EXPECT_EQ(yearOf(DateBytes{1, 1, 19, 99}), 1999);
}

TEST(CommandFrames, EveryCommandHasItsShapeAndOthersNone) {
    const std::vector<std::pair<std::uint8_t, CommandShape>> table{
        {1, {11, 10}}, {2, {11, 10}}, {3, {2, 1}},  {4, {2, 12}}, {5, {2, 1}}, {6, {2, 3}},
        {10, {2, 1}},  {11, {2, 1}},  {12, {2, 4}}, {13, {8, 4}}, {14, {8, 4}}};
    for (const auto& [code, shape] : table) {
        const auto found = commandShape(code);
        ASSERT_TRUE(found) << int(code);
        EXPECT_EQ(found->frameLength, shape.frameLength) << int(code);
        EXPECT_EQ(found->replyLength, shape.replyLength) << int(code);
    }
    for (std::uint8_t code : {0, 7, 8, 9, 15, 255}) {
        EXPECT_FALSE(commandShape(code)) << int(code);
    }
    for (std::uint8_t code : {3, 4, 5, 6, 10, 11, 12}) {
        EXPECT_EQ(sent(plainFrame(code)), (Bytes{code, 0x55}));
    }
}

TEST(ReplyChecks, AcknowledgementIsTheMarkerInByteZero) {
    for (std::uint8_t code : {3, 5, 10, 11}) {
        EXPECT_TRUE(replyPasses(plainFrame(code), replyOf({0x55}, 1))) << int(code);
        EXPECT_FALSE(replyPasses(plainFrame(code), replyOf({0x54}, 1))) << int(code);
        EXPECT_FALSE(replyPasses(plainFrame(code), replyOf({0x00}, 1))) << int(code);
    }
    const Frame date = installDateRequest(dateBytes(7, 18, 2011));
    EXPECT_TRUE(replyPasses(date, replyOf({0x55, 9, 9, 9}, 4)));
    EXPECT_FALSE(replyPasses(date, replyOf({0xFF, 0, 0, 0}, 4)));
}

TEST(ReplyChecks, SettingsEchoCoversMarkerPayloadAndTheZeroButNotByteNine) {
    const Frame request = settingsWriteRequest({3, 2, 1, 0, 0, 0, 1});
    const Bytes echo{0x55, 3, 2, 1, 0, 0, 0, 1, 0, 0x5D};
    EXPECT_TRUE(replyPasses(request, replyOf(echo, 10)));
    Bytes otherLast = echo;
    otherLast[9] = 0x77;
    EXPECT_TRUE(replyPasses(request, replyOf(otherLast, 10)));
    for (std::size_t i = 0; i < 9; ++i) {
        Bytes wrong = echo;
        wrong[i] ^= 0x10;
        EXPECT_FALSE(replyPasses(request, replyOf(wrong, 10))) << i;
    }
}

TEST(ReplyChecks, ConfirmsMustReturnTheValuesSent) {
    const Frame settings = settingsWriteConfirm({3, 2, 1, 0, 0, 0, 1});
    const Bytes stored{3, 2, 1, 0, 0, 0, 1, 0xAA, 0xBB, 0xCC};
    EXPECT_TRUE(replyPasses(settings, replyOf(stored, 10)));
    EXPECT_EQ(matchingConfirmBytes(settings, replyOf(stored, 10)), 7u);
    Bytes byte3 = stored;
    byte3[3] = 9;
    EXPECT_FALSE(replyPasses(settings, replyOf(byte3, 10)));
    EXPECT_EQ(matchingConfirmBytes(settings, replyOf(byte3, 10)), 3u);

    const Frame date = installDateConfirm(dateBytes(7, 18, 2011));
    EXPECT_TRUE(replyPasses(date, replyOf({7, 18, 20, 11}, 4)));
    for (std::size_t i = 0; i < 4; ++i) {
        Bytes wrong{7, 18, 20, 11};
        wrong[i] = 0;
        EXPECT_FALSE(replyPasses(date, replyOf(wrong, 4))) << i;
    }
}

TEST(ReplyChecks, ResetConfirmsNeedEveryByteZero) {
    EXPECT_TRUE(replyPasses(plainFrame(6), replyOf({0, 0, 0}, 3)));
    EXPECT_FALSE(replyPasses(plainFrame(6), replyOf({0, 0, 1}, 3)));
    EXPECT_TRUE(replyPasses(plainFrame(12), replyOf({0, 0, 0, 0}, 4)));
    EXPECT_FALSE(replyPasses(plainFrame(12), replyOf({0, 1, 0, 0}, 4)));
    EXPECT_FALSE(replyPasses(plainFrame(12), replyOf({0, 0, 0, 0x80}, 4)));
}

// An all-zero area is exactly what a silent transfer leaves: it must not pass any check.
TEST(ReplyChecks, IncompleteOrFailedTransfersNeverPass) {
    Reply nothing = replyOf({}, 3);
    nothing.delivered = 0;
    EXPECT_FALSE(replyPasses(plainFrame(6), nothing));
    nothing.requested = 4;
    EXPECT_FALSE(replyPasses(plainFrame(12), nothing));

    Reply failed = replyOf({0, 0, 0, 0}, 4);
    failed.status = 4;
    EXPECT_FALSE(replyPasses(plainFrame(12), failed));

    Reply ackFailed = replyOf({0x55}, 1);
    ackFailed.status = 1;
    EXPECT_FALSE(replyPasses(plainFrame(10), ackFailed));

    Reply shortChunk = replyOf(Bytes(12, 0), 12);
    shortChunk.delivered = 11;
    EXPECT_FALSE(replyPasses(plainFrame(4), shortChunk));
    EXPECT_TRUE(replyPasses(plainFrame(4), replyOf(Bytes(12, 0), 12)));

    const Frame date = installDateConfirm({0, 0, 0, 0});
    Reply silentDate = replyOf({}, 4);
    silentDate.delivered = 0;
    EXPECT_FALSE(replyPasses(date, silentDate));
    EXPECT_EQ(matchingConfirmBytes(date, silentDate), 0u);
}

TEST(LinkFlag, ChecksSetOrClearItExceptTheResetConfirms) {
    vsupply::VirtualBridge bridge;
    DeviceLink link(bridge);
    for (std::uint8_t code : {1, 2, 3, 4, 5, 10, 11, 13, 14}) {
        link.linkOk = true;
        recordCheck(link, code, false);
        EXPECT_FALSE(link.linkOk) << int(code);
        recordCheck(link, code, true);
        EXPECT_TRUE(link.linkOk) << int(code);
    }
    for (std::uint8_t code : {6, 12}) {
        link.linkOk = true;
        recordCheck(link, code, false);
        EXPECT_TRUE(link.linkOk);
        link.linkOk = false;
        recordCheck(link, code, true);
        EXPECT_FALSE(link.linkOk);
    }
}

class TwoStep : public ::testing::Test {
protected:
    vsupply::VirtualLink rig;
    testing::FakeClock clock;
    testing::FakeWindow window;
};

TEST_F(TwoStep, EachOperationReportsItsTextsAndWaitsASecondBeforeTheConfirm) {
    struct Case {
        TwoStepOperation operation;
        std::vector<std::string> texts;
        Bytes commands;
    };
    const std::vector<Case> cases{
        {settingsWrite({3, 2, 1, 0, 0, 0, 1}),
         strings({status::kWritingEeprom, status::kWriteEepromSuccess}),
         {1, 2}},
        {batteryTimerReset(),
         strings({status::kResettingBatteryTime, status::kResetBatteryTimeSuccess}),
         {5, 6}},
        {faultCountReset(),
         strings({status::kResettingFaultCounts, status::kResetFaultCountsSuccess}),
         {11, 12}},
        {installDateSet(dateBytes(7, 18, 2011)),
         strings({status::kSettingInstallDate, status::kSetInstallDateSuccess}),
         {13, 14}},
    };
    for (const auto& c : cases) {
        window.statusHistory.clear();
        clock.waits.clear();
        rig.bridge.forgetCalls();
        rig.link.linkOk = false;
        const auto outcome = runTwoStep(rig.link, clock, window, c.operation);
        EXPECT_TRUE(outcome.requestPassed);
        EXPECT_TRUE(outcome.confirmPassed);
        EXPECT_TRUE(rig.link.linkOk);
        EXPECT_EQ(window.statusHistory, c.texts);
        EXPECT_EQ(rig.bridge.commandsSent(), c.commands);
        EXPECT_EQ(clock.waits, std::vector<std::chrono::milliseconds>{kConfirmDelay});
    }
    EXPECT_EQ(rig.bridge.supply().state().settings, (SettingsPayload{3, 2, 1, 0, 0, 0, 1}));
    EXPECT_EQ(rig.bridge.supply().state().installDate, (DateBytes{7, 18, 20, 11}));
}

TEST_F(TwoStep, AFailedRequestSendsNoConfirmAndWaitsNot) {
    const std::vector<std::pair<TwoStepOperation, std::string_view>> cases{
        {settingsWrite({}), status::kCommErrorStop},
        {batteryTimerReset(), status::kCommErrorBang},
        {faultCountReset(), status::kCommErrorBang},
        {installDateSet(dateBytes(1, 2, 2003)), status::kCommErrorBang},
    };
    for (const auto& [operation, failText] : cases) {
        rig.bridge.supply().faults().unacknowledged = {operation.request.code()};
        rig.bridge.forgetCalls();
        window.statusHistory.clear();
        clock.waits.clear();
        rig.link.linkOk = true;
        const auto outcome = runTwoStep(rig.link, clock, window, operation);
        EXPECT_FALSE(outcome.requestPassed);
        EXPECT_FALSE(outcome.confirmReply);
        EXPECT_FALSE(rig.link.linkOk);
        EXPECT_EQ(window.statusHistory, std::vector<std::string>{std::string(failText)});
        EXPECT_EQ(rig.bridge.commandsSent(), Bytes{operation.request.code()});
        EXPECT_TRUE(clock.waits.empty());
    }
}

TEST_F(TwoStep, AFailedResetConfirmKeepsTheLinkFlagOtherConfirmsClearIt) {
    rig.bridge.supply().faults().nonZeroConfirm = {6, 12};
    rig.bridge.supply().faults().wrongEcho = {{2, 5}, {14, 1}};
    for (const auto& operation : {batteryTimerReset(), faultCountReset()}) {
        const auto outcome = runTwoStep(rig.link, clock, window, operation);
        EXPECT_TRUE(outcome.requestPassed);
        EXPECT_FALSE(outcome.confirmPassed);
        EXPECT_TRUE(rig.link.linkOk);
        EXPECT_EQ(window.statusText(), status::kCommErrorStop);
    }
    for (const auto& operation :
         {settingsWrite({1, 2, 3, 4, 5, 6, 2}), installDateSet(dateBytes(12, 31, 2024))}) {
        rig.link.linkOk = true;
        const auto outcome = runTwoStep(rig.link, clock, window, operation);
        EXPECT_TRUE(outcome.requestPassed);
        EXPECT_FALSE(outcome.confirmPassed);
        EXPECT_FALSE(rig.link.linkOk);
        EXPECT_EQ(window.statusText(), status::kCommErrorStop);
    }
}

// A supply that vanishes between request and confirm leaves the reset confirms with nothing to
// check; that must read as a failure, never as the all-zero success answer.
TEST_F(TwoStep, UnpluggedSupplyNeverYieldsAPass) {
    for (const auto& operation : {batteryTimerReset(), faultCountReset()}) {
        rig.bridge.plugIn();
        rig.bridge.forgetCalls();
        rig.bridge.faults().plugEvents = {{false, 1, 0, 1}};
        const auto outcome = runTwoStep(rig.link, clock, window, operation);
        EXPECT_TRUE(outcome.requestPassed);
        ASSERT_TRUE(outcome.confirmReply);
        EXPECT_EQ(outcome.confirmReply->delivered, 0u);
        EXPECT_FALSE(outcome.confirmPassed);
        EXPECT_EQ(window.statusText(), status::kCommErrorStop);
    }

    rig.bridge.faults().plugEvents.clear();
    rig.bridge.unplug();
    for (std::uint8_t code : {1, 2, 3, 4, 5, 6, 10, 11, 12, 13, 14}) {
        Frame frame = plainFrame(code);
        frame.length = commandShape(code)->frameLength;
        EXPECT_FALSE(replyPasses(frame, send(rig.link, frame))) << int(code);
        EXPECT_NE(rig.link.adapterStatus, kStatusSuccess);
    }
}

} // namespace
} // namespace brenvik::device
