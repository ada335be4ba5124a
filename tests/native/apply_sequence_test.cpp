#include "operations/apply.h"
#include "programming/change_summary.h"
#include "tests/support/operator_texts.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_rig.h"
#include "virtual_supply/scenario.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace brenvik {
namespace {

namespace text = testing::text;

using Texts = std::vector<std::string>;
using Box = std::tuple<std::string, std::string, MessageIcon, MessageButtons>;
using Boxes = std::vector<Box>;
using enum MessageResult;
using operations::WriteOutcome;

const Box kCommError{text::kApplyCommError, text::kFailCaption, MessageIcon::Error,
                     MessageButtons::RetryCancel};
const Box kNoDevice{text::kApplyNoDevice, text::kFailCaption, MessageIcon::Error,
                    MessageButtons::RetryCancel};
const Box kSuccess{text::kApplySuccess, text::kPassCaption, MessageIcon::None, MessageButtons::Ok};

TEST(ChangeSummary, ValueLinesByOptionAndPartNumberActionLinesPackedFromTheTop) {
    const std::string no = "No change", timer = "Battery installed time will be reset to 0",
                      counts = "AC and System Fault counts will be reset to 0",
                      date = "Enter installation date (mm/dd/yyyy): 07/ 18/ 2011 ";
    const DeviceSettings dated{.installMonth = 7, .installDay = 18, .installYear = 2011};
    auto actions = [&](int battery, int dateOn, int faults) {
        auto s = dated;
        std::tie(s.optResetBatteryTimer, s.optInstallDate, s.optResetFaultCounts) =
            std::tie(battery, dateOn, faults);
        return s;
    };
    auto charge = [](int selection) {
        return DeviceSettings{.chargeSelection = selection, .optChargeSelector = 1};
    };
    const std::tuple<DeviceSettings, std::string, ConfirmationTexts> cases[] = {
        {actions(0, 0, 0), "", {no, no, no, "", "", ""}},
        {actions(0, 1, 1), "", {no, no, no, date, counts, ""}},
        {actions(1, 1, 1), "", {no, no, no, timer, date, counts}},
        {{1, 2, 3, 255, 0, 30, 0, 2, 7, 2010, 0, 1, 1},
         "",
         {no, "01: 02: 03 ", "255: 00: 30 ", "", "", ""}},
        {{.optSysFaultDelay = 1}, "", {no, no, "00: 00: 00 ", "", "", ""}},
        {{10, 9, 10, 0, 0, 0, 0, 2, 7, 2010, 0, 1}, "", {no, "10: 09: 10 ", no, "", "", ""}},
    };
    for (const auto& [settings, partNumber, expected] : cases) {
        EXPECT_EQ(buildChangeSummary(settings, partNumber), expected) << expected.actionLine1;
    }
    // The charge selection in words for each selection; one the selector never offers shows
    // nothing, and a part number matches only as written.
    const std::pair<std::string, const Texts*> wordings[] = {
        {"TRQ 60-40-20", &text::kSummaryModel1},
        {"TRQ 120-80", &text::kSummaryModel23},
        {"TRQ 220-160", &text::kSummaryModel23},
        {"", &text::kSummaryUnknown},
        {"trq 60-40-20", &text::kSummaryUnknown}};
    for (const auto& [partNumber, lines] : wordings) {
        Texts shown;
        for (int selection = 0; selection <= 4; ++selection) {
            shown.push_back(buildChangeSummary(charge(selection), partNumber).chargeSelection);
        }
        Texts expected = *lines;
        expected.push_back("");
        EXPECT_EQ(shown, expected) << partNumber;
    }
}

// The main window connected to a model-1 supply, showing AC delay 1 h 2 min 3 s, system delay 0,
// charge selection 1 and 07/18/2011. The supply last reported AC delay 2 h 15 min 30 s, system
// delay 7 h 8 min 9 s and selection 3.
struct Rig : testing::WindowRig {
    explicit Rig(const std::set<int>& boxes, std::string_view faults = "") {
        state.files = {directory / "Brenvik.ini", directory / "other.ini"};
        bridge.supply().state().settings = {30, 15, 2, 9, 8, 7, 3};
        state.monitor.lastRead = {3, 2, 15, 30, 7, 8, 9};
        model.settings = {1, 2, 3, 0, 0, 0, 1, 7, 18, 2011};
        model.texts.partNumber = "TRQ 60-40-20";
        face.showPanel(model);
        for (int box : boxes) {
            window.setChecked(box, true);
        }
        vsupply::Scenario scenario;
        vsupply::applyText(faults, scenario, vsupply::KeySet::Control);
        bridge.supply().faults() = scenario.supplyFaults;
        bridge.faults() = scenario.bridgeFaults;
        if (!scenario.plugged) {
            bridge.unplug();
        }
        follow();
    }
    WriteOutcome write() {
        face.readPanel(model);
        return operations::runWriteSequence(ctx);
    }

    testing::TempFolder directory{"brenvik-apply"};
};

TEST(WriteSequence, AllSixOptionsSendTheWorkedFramesInOrderWithASecondBeforeEachConfirm) {
    Rig rig({1000, 1001, 1002, 1004, 1031, 1032});
    EXPECT_EQ(rig.write(), (WriteOutcome{{true, true}, {true, true}, {true, true}, {true, true}}));
    // Each status text as its check is made, a second before each confirm, APPLY and START off
    // around each one-off action.
    EXPECT_EQ(
        rig.clock.timeline,
        testing::inSteps(
            {{"015503020100000001005d", "status " + text::kWriting, "wait 1000",
              "0255030201000000010000", "status " + text::kWriteSuccess},
             {"off 1011", "off 1012", "0555", "status " + text::kResettingBattery, "wait 1000",
              "0655", "status " + text::kResetBatterySuccess, "on 1011", "on 1012"},
             {"off 1011", "off 1012", "0b55", "status " + text::kResettingFaults, "wait 1000",
              "0c55", "status " + text::kResetFaultsSuccess, "on 1011", "on 1012"},
             {"off 1011", "off 1012", "0d550712140b009a", "status " + text::kSettingDate,
              "wait 1000", "0e550712140b0000", "status " + text::kSetDateSuccess, "on 1011",
              "on 1012"}}));
    EXPECT_EQ(rig.state.monitor.lastRead, (monitor::LastReadSettings{1, 1, 2, 3, 0, 0, 0}));
    EXPECT_EQ(rig.bridge.supply().state().installDate,
              (std::array<std::uint8_t, 4>{7, 18, 20, 11}));
    EXPECT_EQ(std::tuple(rig.window.controlText(1058), rig.window.controlText(1059),
                         rig.window.controlText(1060)),
              std::tuple("7", "18", "2011"))
        << "the confirmed date is taken over";
    EXPECT_EQ(rig.bridge.supply().state().acFaultCount, 0);
}

// A settings confirm differing in one byte is not what the supply holds: nothing of it is taken
// over, and the next write with only the charge selector ticked sends the last-read delays.
TEST(WriteSequence, ConfirmDifferingInOneByteChangesNothingSoTheNextWriteSendsTheOldValues) {
    Rig rig({1000}, "wrong_echo = 2:3");
    EXPECT_EQ(rig.write(), (WriteOutcome{{true, false}, {}, {}, {}}));
    EXPECT_EQ(rig.window.statusText(), text::kCommErrorStop);
    EXPECT_EQ(rig.state.monitor.lastRead, (monitor::LastReadSettings{3, 2, 15, 30, 7, 8, 9}));
    EXPECT_EQ(rig.model.settings.acFaultHours, 1);

    rig.bridge.supply().faults().wrongEcho.clear();
    rig.clock.timeline.clear();
    EXPECT_TRUE(rig.write().allSucceeded());
    EXPECT_EQ(rig.clock.timeline,
              (Texts{"01551e0f0209080701009e", "status " + text::kWriting, "wait 1000",
                     "02551e0f02090807010000", "status " + text::kWriteSuccess}));
    EXPECT_EQ(rig.state.monitor.lastRead, (monitor::LastReadSettings{1, 2, 15, 30, 7, 8, 9}));
}

TEST(ApplySequence, ClicksEndAsTheOperatorAnswers) {
    // What a click did in order: APPLY, START and the Save Configuration command (32775) turned
    // on and off, the confirmation, the command codes sent, the waits and the boxes shown.
    const auto click = [](const std::set<int>& boxes, const std::string& faults,
                          std::deque<bool> confirmations, std::deque<MessageResult> answers,
                          const Boxes& shown, const Texts& events) {
        Rig rig(boxes, faults);
        rig.window.confirmationAnswers = std::move(confirmations);
        rig.window.retryCancelAnswers = std::move(answers);
        operations::runApplySequence(rig.ctx);
        Texts happened;
        for (const std::string& event : rig.clock.timeline) {
            if (event.find(' ') == std::string::npos) {
                happened.push_back(event.substr(0, 2));
            } else if (!event.starts_with("status ") &&
                       ((!event.starts_with("on 10") && !event.starts_with("off 10")) ||
                        event.ends_with(" 1011") || event.ends_with(" 1012"))) {
                happened.push_back(event);
            }
        }
        EXPECT_EQ(happened, events) << faults;
        Boxes boxesShown;
        for (const auto& m : rig.window.messages) {
            boxesShown.emplace_back(m.text, m.caption, m.icon, m.buttons);
        }
        EXPECT_EQ(boxesShown, shown) << faults;
        EXPECT_FALSE(rig.state.reconnectFirst) << faults;
    };
    click({1031}, "", {true}, {}, {kSuccess},
          {"off 1011", "off 1012", "off menu 32775", "show confirmation", "0b", "wait 1000", "0c",
           "on 1011", "on 1012", "box " + text::kApplySuccess, "on menu 32775"});
    click({1001, 1031}, "", {false}, {}, {},
          {"off 1011", "off 1012", "off menu 32775", "show confirmation", "on 1011", "on 1012",
           "on menu 32775"});
    // Retry in the box saying no device is found reconnects again; no wait after a request that
    // failed.
    click({1001, 1004}, "plugged = no", {true}, {Retry, Retry, Cancel},
          {kCommError, kNoDevice, kNoDevice},
          testing::inSteps(
              {{"off 1011", "off 1012", "off menu 32775", "show confirmation", "01", "05",
                "on 1011", "on 1012"},
               {"box " + text::kApplyCommError, "wait 200", "wait 200", "wait 1000", "03"},
               {"box " + text::kApplyNoDevice, "wait 200", "wait 200", "wait 1000", "03",
                "box " + text::kApplyNoDevice, "on menu 32775"}}));
    click({1031}, "plugged = no\nplug_after = 1", {true, true}, {Retry}, {kCommError, kSuccess},
          testing::inSteps(
              {{"off 1011", "off 1012", "off menu 32775", "show confirmation", "0b", "on 1011",
                "on 1012"},
               {"box " + text::kApplyCommError, "wait 200", "wait 200", "wait 1000", "03",
                "wait 1000", "04", "wait 100", "04", "wait 100", "04", "wait 100", "04"},
               {"off 1011", "off 1012", "show confirmation", "0b", "wait 1000", "0c", "on 1011",
                "on 1012", "box " + text::kApplySuccess, "on menu 32775"}}));
}

// After a Retry whose checks fail, the next click saves the panel to the working file and
// reconnects before it sends, although the link is up.
TEST(ApplySequence, AfterRetryTheNextClickSavesThePanelAndReconnectsFirst) {
    Rig rig({1031}, "nonzero_confirm = 12");
    rig.window.confirmationAnswers = {true, true};
    rig.window.retryCancelAnswers = {Retry, Cancel};
    // The operator ticks an impossible date while the closing box is up.
    rig.window.whileMessageOpen = [&w = rig.window] {
        w.setChecked(1032, true);
        w.texts[1058] = "2";
        w.texts[1059] = "30";
    };
    operations::runApplySequence(rig.ctx);
    rig.window.whileMessageOpen = nullptr;
    rig.window.texts[1005] = "4";
    rig.window.texts[1058] = "7";
    operations::runApplySequence(rig.ctx);

    EXPECT_EQ(rig.bridge.commandsSent(),
              (std::vector<std::uint8_t>{11, 12, 3, 4, 4, 4, 4, 11, 12, 13, 14}));
    EXPECT_EQ(rig.window.messageTexts(),
              (Texts{text::kApplyCommError, text::kDateError, text::kApplyCommError}));
    EXPECT_NE(rig.directory.read("Brenvik.ini").find("AcFltDelayHr=4"), std::string::npos);
}

} // namespace
} // namespace brenvik
