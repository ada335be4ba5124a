#include "programming/apply_sequence.h"
#include "programming/change_summary.h"
#include "programming/panel.h"
#include "res/resource.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/virtual_bridge.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Codes = std::vector<int>;
using Texts = std::vector<std::string>;
using Waits = std::vector<std::chrono::milliseconds>;
// Text, caption, icon and buttons of a message box.
using Box = std::tuple<std::string, std::string, MessageIcon, MessageButtons>;
using Boxes = std::vector<Box>;

constexpr auto kError = MessageIcon::Error;
constexpr auto kOk = MessageButtons::Ok;
constexpr auto kRetryCancel = MessageButtons::RetryCancel;
const Box kCommError{"Communicate error,please try again.", "Fail", kError, kRetryCancel};
const Box kNoDevice{"Can not find device,please check device and try again.", "Fail", kError,
                    kRetryCancel};
const Box kSuccess{"Write EEPROM success.", "Pass", MessageIcon::None, kOk};

TEST(ChangeSummary, TextsForEachCombinationOfOptionsAndPartNumber) {
    const std::string noChange = "No change";
    const std::string timer = "Battery installed time will be reset to 0";
    const std::string counts = "AC and System Fault counts will be reset to 0";
    const std::string date = "Enter installation date (mm/dd/yyyy): 07/ 18/ 2011 ";
    const DeviceSettings dated{.installMonth = 7, .installDay = 18, .installYear = 2011};
    auto with = [&](int battery, int dateOn, int faults) {
        auto s = dated;
        s.optResetBatteryTimer = battery;
        s.optInstallDate = dateOn;
        s.optResetFaultCounts = faults;
        return s;
    };
    auto charge = [](std::int32_t selection) {
        return DeviceSettings{.chargeSelection = selection, .optChargeSelector = 1};
    };
    const struct {
        DeviceSettings settings;
        std::string partNumber;
        ConfirmationTexts expected;
    } cases[] = {
        {with(0, 0, 0), "", {noChange, noChange, noChange, "", "", ""}},
        {with(1, 0, 0), "", {noChange, noChange, noChange, timer, "", ""}},
        {with(0, 1, 0), "", {noChange, noChange, noChange, date, "", ""}},
        {with(0, 0, 1), "", {noChange, noChange, noChange, counts, "", ""}},
        {with(1, 1, 0), "", {noChange, noChange, noChange, timer, date, ""}},
        {with(1, 0, 1), "", {noChange, noChange, noChange, timer, counts, ""}},
        {with(0, 1, 1), "", {noChange, noChange, noChange, date, counts, ""}},
        {with(1, 1, 1), "", {noChange, noChange, noChange, timer, date, counts}},
        {{.optResetFaultCounts = 1, .optInstallDate = 1},
         "",
         {noChange, noChange, noChange, "Enter installation date (mm/dd/yyyy): 02/ 07/ 2010 ",
          counts, ""}},
        {{.acFaultHours = 1,
          .acFaultMinutes = 2,
          .acFaultSeconds = 3,
          .sysFaultHours = 255,
          .sysFaultSeconds = 30,
          .optAcFaultDelay = 1,
          .optSysFaultDelay = 1},
         "TRQ 60-40-20",
         {noChange, "01: 02: 03 ", "255: 00: 30 ", "", "", ""}},
        {{.optAcFaultDelay = 1}, "", {noChange, "00: 00: 00 ", noChange, "", "", ""}},
        {charge(0), "TRQ 60-40-20", {"9 to 40 Ah Battery .", noChange, noChange, "", "", ""}},
        {charge(3), "TRQ 60-40-20", {"2 Ah Battery.", noChange, noChange, "", "", ""}},
        {charge(0), "TRQ 220-160", {"18 to >80 Ah Battery.", noChange, noChange, "", "", ""}},
        {charge(1), "TRQ 120-80", {"9 to 12 Ah Battery.", noChange, noChange, "", "", ""}},
        {charge(0), "", {"Full scale.", noChange, noChange, "", "", ""}},
        {charge(3), "", {"1/8 Full scale.", noChange, noChange, "", "", ""}},
        {charge(2), "trq 60-40-20", {"1/4 Full scale.", noChange, noChange, "", "", ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(buildChangeSummary(c.settings, c.partNumber), c.expected)
            << c.partNumber << " line1=" << c.expected.actionLine1;
    }
}

// A window that notes whether APPLY, START and "Save Configuration" were off while the
// confirmation was up, and lets the operator edit the panel while a Retry/Cancel box is up.
class ApplyWindow : public testing::FakeWindow {
public:
    MessageResult messageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                             MessageButtons buttons) override {
        if (buttons == MessageButtons::RetryCancel && whileRetryBoxUp) {
            whileRetryBoxUp();
        }
        return FakeWindow::messageBox(text, caption, icon, buttons);
    }
    std::function<void()> whileRetryBoxUp;
    bool showConfirmation(const ConfirmationTexts& texts) override {
        lockedDuringConfirmation.push_back(!isEnabled(1011) && !isEnabled(1012) &&
                                           disabledMenuCommands.contains(32775));
        return FakeWindow::showConfirmation(texts);
    }
    std::vector<bool> lockedDuringConfirmation;
};

// The main window connected to a model-1 supply: the panel shows AC delay 1 h 2 min 3 s, system
// delay 0, charge selection 1 and the date 07/18/2011, with the boxes a test ticks. The supply
// last reported AC delay 2 h 15 min 30 s, system delay 7 h 8 min 9 s and selection 3.
struct Rig {
    Rig() {
        fs::create_directories(directory);
        link.bridge.setTrace([this](std::string_view line) {
            const auto at = line.find("frame=");
            if (at != std::string_view::npos) {
                frames.emplace_back(line.substr(at + 6, line.find(' ', at) - at - 6));
            }
        });
        link.bridge.supply().state().settings = {30, 15, 2, 9, 8, 7, 3};
        monitor.lastRead = {3, 2, 15, 30, 7, 8, 9};
        window.setComboItems(IDC_CMB_CHARGE_CURRENT, {"9 to 40 Ah Battery", "5 to 8 Ah Battery",
                                                      "4 Ah Battery", "2 Ah Battery"});
        auto& s = model.settings;
        s = {.acFaultHours = 1,
             .acFaultMinutes = 2,
             .acFaultSeconds = 3,
             .chargeSelection = 1,
             .installMonth = 7,
             .installDay = 18,
             .installYear = 2011};
        model.texts.partNumber = "TRQ 60-40-20";
    }
    ~Rig() { fs::remove_all(directory); }

    void tick(const std::set<int>& boxes) {
        auto& s = model.settings;
        s.optChargeSelector = boxes.contains(IDC_CHK_CHARGE_SELECTOR);
        s.optAcFaultDelay = boxes.contains(IDC_CHK_AC_FAULT_DELAY);
        s.optSysFaultDelay = boxes.contains(IDC_CHK_SYS_FAULT_DELAY);
        s.optResetBatteryTimer = boxes.contains(IDC_CHK_RESET_BATTERY_TIMER);
        s.optResetFaultCounts = boxes.contains(IDC_CHK_RESET_FAULT_COUNTS);
        s.optInstallDate = boxes.contains(IDC_CHK_INSTALL_DATE);
        panelRedisplay(window, model);
    }
    Codes codes() const {
        const auto& sent = link.bridge.commandsSent();
        return {sent.begin(), sent.end()};
    }
    Boxes boxes() const {
        Boxes out;
        for (const auto& m : window.messages) {
            out.emplace_back(m.text, m.caption, m.icon, m.buttons);
        }
        return out;
    }
    bool controlsEnabled() const {
        return window.isEnabled(1011) && window.isEnabled(1012) &&
               !window.disabledMenuCommands.contains(32775);
    }

    fs::path directory =
        fs::temp_directory_path() /
        ("apply_test_" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    config::ConfigurationFiles files{directory / "Brenvik.ini", directory / "other.ini"};
    vsupply::VirtualLink link;
    ApplyWindow window;
    testing::FakeClock clock;
    MainWindowModel model;
    monitor::MonitorState monitor;
    bool reconnectFirst = false;
    ApplyContext ctx{window, clock, link.link, model, monitor, files, reconnectFirst};
    Texts frames;
};

class WriteSequence : public ::testing::Test, protected Rig {};

TEST_F(WriteSequence, AllSixOptionsSendTheWorkedFramesInOrderWithASecondBeforeEachConfirm) {
    tick({1000, 1001, 1002, 1004, 1031, 1032});
    const auto outcome = runWriteSequence(ctx);

    EXPECT_EQ(frames, (Texts{"015503020100000001005d", "0255030201000000010000", "0555", "0655",
                             "0b55", "0c55", "0d550712140b009a", "0e550712140b0000"}));
    EXPECT_EQ(clock.waits, (Waits{1000ms, 1000ms, 1000ms, 1000ms}));
    EXPECT_EQ(window.statusHistory,
              (Texts{"Pass, Writing EEPROM ... ", "Pass, Write EEPROM success. ",
                     "Pass, Resting battery connect time ... ",
                     "Pass, Rest battery connect time success. ",
                     "Pass, Resting AC and System Fault counts ... ",
                     "Pass, Rest AC and System Fault counts success. ",
                     "Pass, Setting battery installation date  ... ",
                     "Pass, Setting battery installation date success. "}));
    EXPECT_EQ(outcome, (WriteOutcome{{true, true}, {true, true}, {true, true}, {true, true}}));
    EXPECT_TRUE(outcome.allSucceeded());

    const auto& supply = link.bridge.supply().state();
    EXPECT_EQ(supply.settings, (std::array<std::uint8_t, 7>{3, 2, 1, 0, 0, 0, 1}));
    EXPECT_EQ(supply.installDate, (std::array<std::uint8_t, 4>{7, 18, 20, 11}));
    EXPECT_EQ(std::tie(supply.batteryHours, supply.acFaultCount, supply.sysFaultCount),
              std::make_tuple(0u, std::uint16_t{0}, std::uint16_t{0}));
    EXPECT_EQ(monitor.lastRead, (monitor::LastReadSettings{1, 1, 2, 3, 0, 0, 0}));
    EXPECT_EQ(std::tie(model.settings.installMonth, model.settings.installDay,
                       model.settings.installYear),
              std::make_tuple(7, 18, 2011));
    EXPECT_EQ(std::tie(window.texts[1005], window.texts[1058], window.texts[1060]),
              std::make_tuple("1", "7", "2011"));
    EXPECT_TRUE(window.isEnabled(1011) && window.isEnabled(1012));
}

// Each failed check ends only its own action; the later actions still run.
TEST_F(WriteSequence, FailedChecksEndTheirActionAndReportIt) {
    const struct {
        const char* name;
        std::set<int> boxes;
        std::function<void(vsupply::SupplyFaults&)> fault;
        Codes codes;
        std::string lastStatus;
        WriteOutcome outcome;
        bool linkOk;
    } cases[] = {
        {"1 not echoed",
         {1001, 1004, 1031},
         [](auto& f) { f.unacknowledged = {1}; },
         {1, 5, 6, 11, 12},
         "Pass, Rest AC and System Fault counts success. ",
         {{true, false}, {true, true}, {true, true}, {}},
         true},
        {"5 not acknowledged",
         {1004, 1031},
         [](auto& f) { f.unacknowledged = {5}; },
         {5, 11, 12},
         "Pass, Rest AC and System Fault counts success. ",
         {{}, {true, false}, {true, true}, {}},
         true},
        {"6 not zero",
         {1004},
         [](auto& f) { f.nonZeroConfirm = {6}; },
         {5, 6},
         "Fail, Communicate error,please try again. ",
         {{}, {true, false}, {}, {}},
         true},
        {"12 not zero",
         {1031},
         [](auto& f) { f.nonZeroConfirm = {12}; },
         {11, 12},
         "Fail, Communicate error,please try again. ",
         {{}, {}, {true, false}, {}},
         true},
        {"13 not acknowledged",
         {1032},
         [](auto& f) { f.unacknowledged = {13}; },
         {13},
         "Fail, Communicate error,please try again! ",
         {{}, {}, {}, {true, false}},
         false},
        {"14 differs",
         {1032},
         [](auto& f) {
             f.wrongEcho = {{14, 1}};
         },
         {13, 14},
         "Fail, Communicate error,please try again. ",
         {{}, {}, {}, {true, false}},
         false},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.tick(c.boxes);
        c.fault(rig.link.bridge.supply().faults());
        const auto outcome = runWriteSequence(rig.ctx);
        EXPECT_EQ(rig.codes(), c.codes) << c.name;
        EXPECT_EQ(rig.window.statusText(), c.lastStatus) << c.name;
        EXPECT_EQ(outcome, c.outcome) << c.name;
        EXPECT_FALSE(outcome.allSucceeded()) << c.name;
        EXPECT_EQ(rig.link.link.linkOk, c.linkOk) << c.name;
        EXPECT_EQ(rig.model.settings.installDay, 18) << c.name;
    }
}

// A settings confirm that differs in one byte is not what the supply holds: nothing of it is
// taken over, so the next write with the delay options off sends the supply's own delays again.
// With only the charge selector ticked, both frames carry the last-read delays.
TEST_F(WriteSequence, ConfirmDifferingInOneByteChangesNothingAndTheNextWriteSendsTheOldValues) {
    tick({1000});
    link.bridge.supply().faults().wrongEcho = {{2, 3}};
    window.setComboSelection(IDC_CMB_CHARGE_CURRENT, 1);
    EXPECT_EQ(runWriteSequence(ctx), (WriteOutcome{{true, false}, {}, {}, {}}));
    EXPECT_FALSE(link.link.linkOk);
    EXPECT_EQ(window.statusText(), "Fail, Communicate error,please try again. ");
    EXPECT_EQ(monitor.lastRead, (monitor::LastReadSettings{3, 2, 15, 30, 7, 8, 9}));
    EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 1);
    EXPECT_EQ(model.settings.acFaultHours, 1);

    link.bridge.supply().faults().wrongEcho.clear();
    frames.clear();
    EXPECT_TRUE(runWriteSequence(ctx).allSucceeded());
    EXPECT_EQ(frames, (Texts{"01551e0f0209080701009e", "02551e0f02090807010000"}));
    EXPECT_EQ(monitor.lastRead, (monitor::LastReadSettings{1, 2, 15, 30, 7, 8, 9}));
}

class ApplySequence : public ::testing::Test, protected Rig {};

TEST_F(ApplySequence, ClicksEndAsTheOperatorAnswers) {
    const struct {
        const char* name;
        std::set<int> boxes;
        std::function<void(Rig&)> setUp;
        std::deque<bool> confirmations;
        std::deque<MessageResult> retries;
        Codes codes;
        Boxes boxes_;
        std::size_t confirmationsShown;
        bool reconnectFirst;
    } cases[] = {
        {"fault counts only", {1031}, [](Rig&) {}, {true}, {}, {11, 12}, {kSuccess}, 1, false},
        {"cancelled", {1001, 1031}, [](Rig&) {}, {false}, {}, {}, {}, 1, false},
        {"two range errors",
         {1001, 1002},
         [](Rig& r) {
             r.window.texts[1005] = "300";
             r.window.texts[1009] = "75";
         },
         {true},
         {},
         {},
         {{"Enter an integer between 0 and 255.", "Brenvik", kError, kOk},
          {"Enter an integer between 0 and 59.", "Brenvik", kError, kOk}},
         0,
         false},
        {"no such date",
         {1032},
         [](Rig& r) { r.window.texts[1059] = "29", r.window.texts[1058] = "2"; },
         {true},
         {},
         {},
         {{"Enter installation date error.", "Error", kError, kOk}},
         0,
         false},
        {"refused reset confirm, cancelled",
         {1031},
         [](Rig& r) { r.link.bridge.supply().faults().nonZeroConfirm = {12}; },
         {true},
         {MessageResult::Cancel},
         {11, 12},
         {kCommError},
         1,
         false},
        {"failed settings write before a good reset",
         {1000, 1031},
         [](Rig& r) { r.link.bridge.supply().faults().unacknowledged = {1}; },
         {true},
         {},
         {1, 11, 12},
         {kCommError},
         1,
         false},
        {"unplugged, retried, then given up",
         {1001, 1004, 1031, 1032},
         [](Rig& r) { r.link.bridge.unplug(); },
         {true},
         {MessageResult::Retry, MessageResult::Cancel},
         {1, 5, 11, 13, 3},
         {kCommError, kNoDevice},
         1,
         false},
        {"unplugged, plugged back in, retried",
         {1031},
         [](Rig& r) {
             r.link.bridge.unplug();
             r.link.bridge.faults().plugEvents = {{.plugged = true, .afterTransfers = 1}};
         },
         {true, true},
         {MessageResult::Retry},
         {11, 3, 4, 4, 4, 4, 11, 12},
         {kCommError, kSuccess},
         2,
         false},
        {"link down before the click, no supply, retried once",
         {1031},
         [](Rig& r) {
             r.link.link.linkOk = false;
             r.link.bridge.unplug();
         },
         {},
         {MessageResult::Retry, MessageResult::Cancel},
         {3, 3},
         {kNoDevice, kNoDevice},
         0,
         false},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.tick(c.boxes);
        c.setUp(rig);
        rig.window.confirmationAnswers = c.confirmations;
        rig.window.retryCancelAnswers = c.retries;
        runApplySequence(rig.ctx);
        EXPECT_EQ(rig.codes(), c.codes) << c.name;
        EXPECT_EQ(rig.boxes(), c.boxes_) << c.name;
        EXPECT_EQ(rig.window.confirmations.size(), c.confirmationsShown) << c.name;
        EXPECT_EQ(rig.window.lockedDuringConfirmation,
                  std::vector<bool>(c.confirmationsShown, true))
            << c.name;
        EXPECT_EQ(rig.reconnectFirst, c.reconnectFirst) << c.name;
        EXPECT_TRUE(rig.controlsEnabled()) << c.name;
    }
}

TEST_F(ApplySequence, ConfirmationShowsTheSummaryOfThePanel) {
    tick({1000, 1001, 1031, 1032});
    window.confirmationAnswers = {false};
    window.texts[1007] = "3 seconds";
    runApplySequence(ctx);
    EXPECT_EQ(window.confirmations, (std::vector<ConfirmationTexts>{
                                        {"5 to 8 Ah Battery.", "01: 02: 03 ", "No change",
                                         "Enter installation date (mm/dd/yyyy): 07/ 18/ 2011 ",
                                         "AC and System Fault counts will be reset to 0", ""}}));
    EXPECT_EQ(window.texts[1007], "3") << "redisplayed after the cancel";
    EXPECT_TRUE(link.link.linkOk);
}

// After a Retry the next attempt saves the panel to the working file and reconnects before it
// sends; when that attempt's checks fail, the next click does it instead.
TEST_F(ApplySequence, AfterRetryTheNextAttemptSavesThePanelAndReconnectsFirst) {
    tick({1031});
    link.bridge.supply().faults().nonZeroConfirm = {12};
    window.confirmationAnswers = {true};
    window.retryCancelAnswers = {MessageResult::Retry};
    // The operator ticks an impossible date before choosing Retry: nothing more is sent.
    window.whileRetryBoxUp = [this] {
        window.setChecked(1032, true);
        window.texts[1058] = "2";
        window.texts[1059] = "30";
    };
    runApplySequence(ctx);
    window.whileRetryBoxUp = nullptr;
    ASSERT_EQ(codes(), (Codes{11, 12}));
    EXPECT_TRUE(reconnectFirst);

    window.texts[1005] = "x";
    runApplySequence(ctx);
    EXPECT_EQ(codes(), (Codes{11, 12})) << "nothing sent while a field does not read";
    EXPECT_EQ(window.texts[1005], "x") << "no redisplay over the bad text";
    EXPECT_TRUE(reconnectFirst);

    window.texts[1005] = "4";
    window.texts[1059] = "28";
    link.bridge.supply().faults().nonZeroConfirm.clear();
    window.confirmationAnswers = {true};
    runApplySequence(ctx);
    EXPECT_EQ(codes(), (Codes{11, 12, 3, 4, 4, 4, 4, 11, 12, 13, 14}));
    EXPECT_FALSE(reconnectFirst);
    std::ifstream saved(files.working);
    const std::string text{std::istreambuf_iterator<char>(saved), {}};
    EXPECT_NE(text.find("AcFltDelayHr=4"), std::string::npos) << text;
    EXPECT_NE(text.find("bResetFaultCounts=1"), std::string::npos) << text;
    EXPECT_EQ(files.current, files.working);
    EXPECT_EQ(boxes(), (Boxes{kCommError,
                              {"Enter installation date error.", "Error", kError, kOk},
                              {"Enter an integer.", "Brenvik-USB", kError, kOk},
                              kSuccess}));
}

} // namespace
} // namespace brenvik
