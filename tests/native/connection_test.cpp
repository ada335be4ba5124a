#include "config/configuration.h"
#include "device/connection.h"
#include "programming/panel.h"
#include "res/resource.h"
#include "shell/status_texts.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/virtual_bridge.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::device {
namespace {

namespace fs = std::filesystem;
namespace ord = vsupply::ordinal;
using std::chrono::milliseconds;
using Calls = std::vector<std::uint32_t>;
using Texts = std::vector<std::string>;
using Waits = std::vector<milliseconds>;

const std::vector<std::string> kDefaultItems{"Default Charge Current", "1/2 Default Charge Current",
                                             "1/4 Default Charge Current",
                                             "1/8 Default Charge Current"};
const std::vector<std::string> kModel1Items{"9 to 40 Ah Battery", "5 to 8 Ah Battery",
                                            "4 Ah Battery", "2 Ah Battery"};

constexpr std::array<int, 6> kBoxes{IDC_CHK_CHARGE_SELECTOR,    IDC_CHK_AC_FAULT_DELAY,
                                    IDC_CHK_SYS_FAULT_DELAY,    IDC_CHK_RESET_BATTERY_TIMER,
                                    IDC_CHK_RESET_FAULT_COUNTS, IDC_CHK_INSTALL_DATE};

// Library calls of a complete connection up to the read-back, one device listed.
const Calls kOpenAndInitialise{
    ord::kDllVersion,     ord::kCount,       ord::kDescribe,   ord::kOpen,
    ord::kDeviceType,     ord::kInit,        ord::kGetLatency, ord::kSetLatency,
    ord::kGetLatency,     ord::kSetLatency,  ord::kGetLatency, ord::kClockQuery,
    ord::kDivideByFiveOn, ord::kClockQuery,  ord::kSetClock,   ord::kDivideByFiveOff,
    ord::kSetClock,       ord::kSetLoopback, ord::kSetPins,    ord::kGetPins};
const Waits kPinWaits{milliseconds(200), milliseconds(200)};
const Waits kConnectWaits{milliseconds(200),  milliseconds(200), milliseconds(1000),
                          milliseconds(1000), milliseconds(100), milliseconds(100),
                          milliseconds(100)};

std::string text(std::string_view view) {
    return std::string(view);
}

// A configuration file with distinctive values: delays 11:12:13 and 21:22:23, date 3/4/2015,
// selection 2, option boxes 1001 and 1031 ticked.
void writeConfigurationFile(const fs::path& file, int acHours) {
    std::ofstream out(file);
    out << "[SystemParameter]\nAcFltDelayHr=" << acHours
        << "\nAcFltDelayMin=12\nAcFltDelaySec=13\nSysFltDelayHr=21\nSysFltDelayMin=22\n"
           "SysFltDelaySec=23\nInstallMM=3\nInstallDD=4\nInstallYYYY=2015\nICharge=2\n"
           "bChargeCurrent=0\nbAcFltDelay=1\nbSysFltDelay=0\nbResetBatCon=0\n"
           "bResetFaultCounts=1\nbInstallDate=0\n";
}

class Connection : public ::testing::Test {
protected:
    Connection() {
        directory = fs::temp_directory_path() /
                    ("connection_test_" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(directory);
        files.working = directory / "Brenvik.ini";
        files.useWorking();
        writeConfigurationFile(files.working, 11);

        // As the main window starts: generic selector items, entry 0, the record displayed.
        window.combos[IDC_CMB_CHARGE_CURRENT] = kDefaultItems;
        window.comboSelections[IDC_CMB_CHARGE_CURRENT] = 0;
        panelRedisplay(window, model);

        auto& state = bridge.supply().state();
        state.settings = {30, 15, 2, 9, 8, 7, 3}; // AC s/min/h, system s/min/h, selection
        state.installDate = {12, 31, 20, 9};
        state.modelCode = 1;
        state.firmwareTenths = 15;
    }
    ~Connection() override { fs::remove_all(directory); }

    // The operator has ticked two boxes and typed into the panel.
    void operatorEntries() {
        window.setChecked(IDC_CHK_AC_FAULT_DELAY, true);
        onOptionBoxClicked(window, model, IDC_CHK_AC_FAULT_DELAY);
        window.setChecked(IDC_CHK_INSTALL_DATE, true);
        onOptionBoxClicked(window, model, IDC_CHK_INSTALL_DATE);
        window.setControlText(IDC_EDT_AC_HOURS, "5");
        window.setControlText(IDC_EDT_INSTALL_YEAR, "2020");
    }

    void failCall(std::uint32_t ordinal, std::uint32_t occurrence = 0) {
        bridge.faults().failingCalls.push_back({ordinal, occurrence});
    }

    std::string panelText(int id) const { return window.controlText(id); }

    void expectSupplyValuesShown() const {
        EXPECT_EQ(panelText(IDC_EDT_AC_HOURS), "2");
        EXPECT_EQ(panelText(IDC_EDT_AC_MINUTES), "15");
        EXPECT_EQ(panelText(IDC_EDT_AC_SECONDS), "30");
        EXPECT_EQ(panelText(IDC_EDT_SYS_HOURS), "7");
        EXPECT_EQ(panelText(IDC_EDT_INSTALL_YEAR), "2009");
        EXPECT_EQ(panelText(IDC_EDT_FIRMWARE), "1.5");
        EXPECT_EQ(panelText(IDC_EDT_PART_NUMBER), "TRQ 60-40-20");
        EXPECT_EQ(window.comboItems(IDC_CMB_CHARGE_CURRENT), kModel1Items);
        EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 3);
    }

    // The working file's entries, loaded by the configuration reader.
    void expectWorkingFileShown(int acHours = 11) const {
        EXPECT_EQ(panelText(IDC_EDT_AC_HOURS), std::to_string(acHours));
        EXPECT_EQ(panelText(IDC_EDT_SYS_SECONDS), "23");
        EXPECT_EQ(panelText(IDC_EDT_INSTALL_YEAR), "2015");
        EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 2);
        EXPECT_EQ(window.checked,
                  (std::set<int>{IDC_CHK_AC_FAULT_DELAY, IDC_CHK_RESET_FAULT_COUNTS}));
        EXPECT_TRUE(window.isEnabled(IDC_EDT_AC_HOURS));
        EXPECT_FALSE(window.isEnabled(IDC_EDT_INSTALL_YEAR));
        EXPECT_TRUE(window.isEnabled(IDC_BTN_APPLY));
    }

    // What the operator had before a stopped Connect Device.
    void expectOperatorEntriesKept() const {
        EXPECT_EQ(panelText(IDC_EDT_AC_HOURS), "5");
        EXPECT_EQ(panelText(IDC_EDT_INSTALL_YEAR), "2020");
        EXPECT_EQ(window.checked, (std::set<int>{IDC_CHK_AC_FAULT_DELAY, IDC_CHK_INSTALL_DATE}));
        EXPECT_EQ(window.comboItems(IDC_CMB_CHARGE_CURRENT), kDefaultItems);
        EXPECT_TRUE(window.isEnabled(IDC_BTN_APPLY));
    }

    fs::path directory;
    vsupply::VirtualBridge bridge;
    DeviceLink link{bridge};
    testing::FakeWindow window;
    testing::FakeClock clock;
    MainWindowModel model;
    monitor::MonitorState monitorState;
    config::ConfigurationFiles files;
    ConnectionContext ctx{window, clock, link, model, monitorState, files};
};

TEST_F(Connection, ConnectDeviceOpensInitialisesAndShowsTheSupply) {
    operatorEntries();
    link.linkOk = false;
    connectDevice(ctx);

    Calls expected = kOpenAndInitialise;
    expected.insert(expected.end(), 5, ord::kTransfer);
    EXPECT_EQ(bridge.calls(), expected);
    EXPECT_EQ(bridge.commandsSent(), (std::vector<std::uint8_t>{3, 4, 4, 4, 4}));
    EXPECT_EQ(clock.waits, kConnectWaits);
    EXPECT_EQ(window.statusHistory,
              (Texts{text(status::kSearchingDevice), text(status::kReadingStatus),
                     text(status::kConnectSuccess)}));
    EXPECT_TRUE(link.linkOk);
    EXPECT_EQ(link.handle, bridge.openHandle());
    EXPECT_EQ(link.startCondition.chipSelectPinState, 1u);
    EXPECT_EQ(link.startCondition.clockPinState + link.startCondition.dataOutPinState +
                  link.startCondition.chipSelectLine,
              0u);

    expectSupplyValuesShown();
    EXPECT_TRUE(window.checked.empty());
    EXPECT_EQ(model.settings.optAcFaultDelay + model.settings.optInstallDate, 0);
    EXPECT_FALSE(window.isEnabled(IDC_BTN_APPLY));
    for (int field : {IDC_CMB_CHARGE_CURRENT, IDC_EDT_AC_HOURS, IDC_EDT_SYS_SECONDS,
                      IDC_EDT_INSTALL_YEAR, IDC_LBL_DATE_SEP2}) {
        EXPECT_FALSE(window.isEnabled(field)) << field;
    }
}

TEST_F(Connection, FailingCountCallStopsWithTheCableMessage) {
    operatorEntries();
    failCall(ord::kCount);
    connectDevice(ctx);

    EXPECT_EQ(bridge.calls(), (Calls{ord::kDllVersion, ord::kCount}));
    EXPECT_EQ(window.statusHistory, Texts{text(status::kCheckCable)});
    EXPECT_FALSE(link.linkOk);
    EXPECT_NE(link.adapterStatus, kStatusSuccess);
    EXPECT_TRUE(clock.waits.empty());
    expectOperatorEntriesKept();
}

TEST_F(Connection, NoDeviceListedRunsTheReadBackAndLoadsTheCurrentFile) {
    operatorEntries();
    bridge.faults().countZero = true;
    connectDevice(ctx);

    EXPECT_EQ(bridge.calls(), (Calls{ord::kDllVersion, ord::kCount, ord::kTransfer}));
    EXPECT_EQ(window.statusHistory, (Texts{text(status::kCheckCable), text(status::kCommErrorStop),
                                           text(status::kConnectFail)}));
    EXPECT_EQ(clock.waits, Waits{milliseconds(1000)});
    EXPECT_FALSE(link.linkOk);
    EXPECT_FALSE(link.handle.has_value());
    expectWorkingFileShown();
}

// Each failing call that ends the search, the opening or the set-up: the last message is
// "Searching device...", the link is down and the panel keeps the operator's entries.
TEST_F(Connection, EachCheckedCallStopsTheSequence) {
    struct Case {
        std::uint32_t ordinal;
        std::uint32_t occurrence;
        bool openedFirst;
    };
    const Case cases[] = {
        {ord::kDescribe, 1, false},       {ord::kOpen, 1, false},
        {ord::kDeviceType, 1, true},      {ord::kInit, 1, true},
        {ord::kGetLatency, 1, true},      {ord::kSetLatency, 1, true},
        {ord::kGetLatency, 3, true},      {ord::kClockQuery, 1, true},
        {ord::kDivideByFiveOn, 1, true},  {ord::kSetClock, 1, true},
        {ord::kDivideByFiveOff, 1, true}, {ord::kSetClock, 2, true},
        {ord::kSetLoopback, 1, true},     {ord::kSetPins, 1, true},
        {ord::kGetPins, 1, true},
    };
    for (const Case& c : cases) {
        const std::string label =
            std::to_string(c.ordinal) + " call " + std::to_string(c.occurrence);
        vsupply::VirtualBridge failing;
        failing.faults().failingCalls.push_back({c.ordinal, c.occurrence});
        DeviceLink failingLink(failing);
        testing::FakeWindow w;
        testing::FakeClock clk;
        MainWindowModel m;
        panelRedisplay(w, m);
        w.setChecked(IDC_CHK_INSTALL_DATE, true);
        w.setControlText(IDC_EDT_AC_HOURS, "5");
        ConnectionContext failingCtx{w, clk, failingLink, m, monitorState, files};

        connectDevice(failingCtx);

        EXPECT_EQ(failing.calls().back(), c.ordinal) << label;
        EXPECT_EQ(failing.transferCount(), 0u) << label;
        EXPECT_EQ(w.statusText(), status::kSearchingDevice) << label;
        EXPECT_FALSE(failingLink.linkOk) << label;
        EXPECT_NE(failingLink.adapterStatus, kStatusSuccess) << label;
        EXPECT_EQ(failingLink.handle.has_value(), c.openedFirst) << label;
        EXPECT_EQ(clk.waits, c.ordinal == ord::kGetPins ? kPinWaits : Waits{}) << label;
        EXPECT_EQ(w.controlText(IDC_EDT_AC_HOURS), "5") << label;
        EXPECT_EQ(w.checked, std::set<int>{IDC_CHK_INSTALL_DATE}) << label;
        EXPECT_EQ(failingLink.startCondition.chipSelectPinState, 0u)
            << label << ": records are set only after a complete set-up";
    }
}

TEST_F(Connection, SecondLatencyCallsAndSecondClockQueryMayFail) {
    for (const auto& [ordinal, occurrence] :
         {std::pair{ord::kGetLatency, 2u}, std::pair{ord::kSetLatency, 2u},
          std::pair{ord::kClockQuery, 2u}}) {
        vsupply::VirtualBridge tolerant;
        tolerant.supply().state() = bridge.supply().state();
        tolerant.faults().failingCalls.push_back({ordinal, occurrence});
        DeviceLink tolerantLink(tolerant);
        testing::FakeWindow w;
        testing::FakeClock clk;
        MainWindowModel m;
        ConnectionContext tolerantCtx{w, clk, tolerantLink, m, monitorState, files};

        connectDevice(tolerantCtx);

        EXPECT_EQ(w.statusText(), status::kConnectSuccess) << ordinal;
        EXPECT_TRUE(tolerantLink.linkOk) << ordinal;
        EXPECT_EQ(tolerant.calls().size(), kOpenAndInitialise.size() + 5) << ordinal;
    }
}

TEST_F(Connection, NoChannelASetsStatus27AndOpensNothing) {
    bridge.devices() = {{"Bridge B", 1, "B"}, {"Bridge a", 2, "a"}, {"Bridge AB", 3, "AB"}};
    operatorEntries();
    connectDevice(ctx);

    EXPECT_EQ(bridge.calls(), (Calls{ord::kDllVersion, ord::kCount, ord::kDescribe, ord::kDescribe,
                                     ord::kDescribe}));
    EXPECT_EQ(link.adapterStatus, kStatusNoChannelA);
    EXPECT_EQ(window.statusHistory, Texts{text(status::kSearchingDevice)});
    EXPECT_FALSE(link.linkOk);
    EXPECT_FALSE(link.handle.has_value());
    expectOperatorEntriesKept();
}

TEST_F(Connection, FirstChannelAIsTakenWhereverItStands) {
    bridge.devices() = {
        {"Bridge B", 1, "B"}, {"Bridge C", 2, "C"}, {"Bridge A", 3, "A"}, {"Other A", 4, "A"}};
    std::vector<std::string> trace;
    bridge.setTrace([&](std::string_view line) { trace.emplace_back(line); });
    connectDevice(ctx);

    EXPECT_EQ(std::count(bridge.calls().begin(), bridge.calls().end(), ord::kDescribe), 3);
    EXPECT_EQ(window.statusText(), status::kConnectSuccess);
    const auto open = std::find_if(trace.begin(), trace.end(), [](const std::string& line) {
        return line.find("open") != std::string::npos;
    });
    ASSERT_NE(open, trace.end());
    EXPECT_NE(open->find("\"Bridge A\""), std::string::npos) << *open;
}

TEST_F(Connection, FailingDescribeOfALaterDeviceStops) {
    bridge.devices() = {{"Bridge B", 1, "B"}, {"Bridge A", 2, "A"}};
    failCall(ord::kDescribe, 2);
    connectDevice(ctx);
    EXPECT_EQ(window.statusText(), status::kSearchingDevice);
    EXPECT_FALSE(link.linkOk);
    EXPECT_FALSE(link.handle.has_value());
}

TEST_F(Connection, AnOpenHandleIsClosedBeforeTheNextAttempt) {
    connectDevice(ctx);
    ASSERT_TRUE(link.handle.has_value());
    const auto firstHandle = *link.handle;
    const auto callsBefore = bridge.calls().size();

    connectDevice(ctx);
    ASSERT_GT(bridge.calls().size(), callsBefore + 1);
    EXPECT_EQ(bridge.calls()[callsBefore], ord::kClose);
    EXPECT_EQ(bridge.calls()[callsBefore + 1], ord::kDllVersion);
    EXPECT_EQ(window.statusText(), status::kConnectSuccess);
    EXPECT_NE(link.handle, firstHandle);

    // A handle left open by a set-up that failed is closed too.
    failCall(ord::kInit, 3);
    connectDevice(ctx);
    EXPECT_TRUE(link.handle.has_value());
    EXPECT_FALSE(link.linkOk);
    failCall(ord::kCount, 4);
    connectDevice(ctx);
    EXPECT_EQ(bridge.calls().back(), ord::kCount);
    EXPECT_EQ(std::count(bridge.calls().begin(), bridge.calls().end(), ord::kClose), 3);
    EXPECT_FALSE(link.handle.has_value());
    EXPECT_FALSE(bridge.openHandle().has_value());
}

TEST_F(Connection, FailedReadBackLoadsTheCurrentFileEvenWhenItIsAChosenOne) {
    const fs::path chosen = directory / "chosen.ini";
    writeConfigurationFile(chosen, 99);
    files.current = chosen;
    bridge.supply().faults().unacknowledged = {3};
    operatorEntries();

    connectDevice(ctx);

    EXPECT_EQ(window.statusHistory,
              (Texts{text(status::kSearchingDevice), text(status::kCommErrorStop),
                     text(status::kConnectFail)}));
    EXPECT_FALSE(link.linkOk);
    EXPECT_TRUE(link.handle.has_value());
    expectWorkingFileShown(99);
    EXPECT_EQ(files.current, chosen);
}

TEST_F(Connection, SilentReconnectKeepsThePendingEntriesOfTheWorkingFile) {
    const fs::path chosen = directory / "chosen.ini";
    writeConfigurationFile(chosen, 99);
    files.current = chosen;
    link.linkOk = false;

    silentReconnect(ctx);

    EXPECT_EQ(window.statusText(), status::kConnectSuccess);
    EXPECT_TRUE(link.linkOk);
    EXPECT_EQ(files.current, files.working);
    expectWorkingFileShown();
    EXPECT_EQ(model.settings.acFaultHours, 11) << "the panel is read again at the end";
    EXPECT_EQ(model.settings.optAcFaultDelay, 1);
    EXPECT_EQ(window.comboItems(IDC_CMB_CHARGE_CURRENT), kModel1Items)
        << "the model's battery sizes stay";
    EXPECT_EQ(monitorState.lastRead, (monitor::LastReadSettings{3, 2, 15, 30, 7, 8, 9}));
}

TEST_F(Connection, SilentReconnectAfterAStopOrAFailedReadBack) {
    struct Case {
        const char* name;
        std::uint32_t failingOrdinal;
        bool silentSupply;
        std::string_view lastText;
    };
    for (const Case& c : {Case{"count call fails", ord::kCount, false, status::kCheckCable},
                          Case{"set-up fails", ord::kSetLoopback, false, status::kSearchingDevice},
                          Case{"supply silent", 0, true, status::kConnectFail}}) {
        vsupply::VirtualBridge b;
        if (c.failingOrdinal != 0) {
            b.faults().failingCalls.push_back({c.failingOrdinal, 0});
        }
        if (c.silentSupply) {
            b.supply().faults().unacknowledged = {3};
        }
        DeviceLink l(b);
        testing::FakeWindow w;
        testing::FakeClock clk;
        MainWindowModel m;
        panelRedisplay(w, m);
        config::ConfigurationFiles f{files.working, directory / "elsewhere.ini"};
        ConnectionContext reconnectCtx{w, clk, l, m, monitorState, f};

        silentReconnect(reconnectCtx);

        EXPECT_TRUE(w.messages.empty()) << c.name;
        EXPECT_EQ(w.statusText(), c.lastText) << c.name;
        EXPECT_FALSE(l.linkOk) << c.name;
        EXPECT_EQ(f.current, f.working) << c.name;
        EXPECT_EQ(m.settings.sysFaultSeconds, 23) << c.name;
        EXPECT_EQ(w.checked, (std::set<int>{IDC_CHK_AC_FAULT_DELAY, IDC_CHK_RESET_FAULT_COUNTS}))
            << c.name;
    }
}

TEST_F(Connection, ConnectTimerStepConnectsOnceBetweenTwoRepaints) {
    window.timers[IDT_CONNECT] = 500;
    window.timers[IDT_MONITOR] = 1000;
    connectTimerStep(ctx);
    EXPECT_EQ(window.invalidations, (std::vector<bool>{false, false}));
    EXPECT_FALSE(window.timers.contains(IDT_CONNECT));
    EXPECT_TRUE(window.timers.contains(IDT_MONITOR));
    EXPECT_EQ(window.statusText(), status::kConnectSuccess);
    expectSupplyValuesShown();
}

} // namespace
} // namespace brenvik::device
