#include "config/configuration.h"
#include "programming/panel.h"
#include "res/resource.h"
#include "shell/app_paths.h"
#include "shell/main_window_core.h"
#include "shell/status_texts.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/virtual_bridge.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace brenvik {
namespace {

namespace fs = std::filesystem;

TEST(AppPaths, ApplicationNameIsTheFileNameWithoutFolderAndExtension) {
    const fs::path folder = fs::path("opt") / "tools";
    EXPECT_EQ(applicationName(folder / "Brenvik-USB.exe"), fs::path("Brenvik-USB"));
    EXPECT_EQ(applicationName(folder / "Brenvik-USB copy.exe"), fs::path("Brenvik-USB copy"));
    // Only the last extension goes; dots inside the name stay.
    EXPECT_EQ(applicationName(folder / "brenvik.v1.05.exe"), fs::path("brenvik.v1.05"));
    EXPECT_EQ(applicationName(folder / "brenvik"), fs::path("brenvik"));
    EXPECT_EQ(applicationName("Brenvik-USB.exe"), fs::path("Brenvik-USB"));
}

TEST(AppPaths, LongPathsAreKeptWhole) {
    // Far beyond the 200 characters a fixed buffer would hold: nothing may be cut off.
    fs::path folder = "root";
    for (int i = 0; i < 60; ++i) {
        folder /= "folder-" + std::to_string(i) + std::string(40, 'x');
    }
    const fs::path exe = folder / "Brenvik-USB.exe";
    ASSERT_GT(exe.native().size(), 2500u);
    const fs::path working = config::workingConfigurationPath(exe);
    EXPECT_EQ(working.parent_path(), folder);
    EXPECT_EQ(working.filename(), fs::path("Brenvik.ini"));
    EXPECT_EQ(working.native().size(), folder.native().size() + 1 + 11);
    EXPECT_EQ(applicationName(exe), fs::path("Brenvik-USB"));
}

class MainWindowCoreTest : public ::testing::Test {
protected:
    testing::FakeWindow window;
    testing::FakeClock clock;
    vsupply::VirtualBridge bridge;
    ProgramState state{bridge};
    fs::path folder = fs::path("srv") / "bench";
    MainWindowCore core{window, clock, state, folder / "Brenvik-USB.exe"};
};

TEST_F(MainWindowCoreTest, DefaultChargeSelectorListsFourEntriesWithTheFirstSelected) {
    core.fillDefaultChargeSelector();
    EXPECT_EQ(
        window.comboItems(IDC_CMB_CHARGE_CURRENT),
        (std::vector<std::string>{"Default Charge Current", "1/2 Default Charge Current",
                                  "1/4 Default Charge Current", "1/8 Default Charge Current"}));
    EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 0);
}

TEST_F(MainWindowCoreTest, DefaultChargeSelectorReplacesAModelList) {
    window.setComboItems(IDC_CMB_CHARGE_CURRENT, {"7 AH", "12 AH", "18 AH", "26 AH", "40 AH"});
    window.setComboSelection(IDC_CMB_CHARGE_CURRENT, 4);
    core.fillDefaultChargeSelector();
    EXPECT_EQ(window.comboItems(IDC_CMB_CHARGE_CURRENT).size(), 4u);
    EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 0);
}

TEST_F(MainWindowCoreTest, ConnectTimerIsArmedOnceAtHalfASecond) {
    core.armConnectTimer();
    EXPECT_EQ(window.timers, (std::map<int, unsigned>{{IDT_CONNECT, 500u}}));
}

TEST_F(MainWindowCoreTest, AFailedTimerIsNotReportedToTheOperator) {
    window.timersFail = true;
    core.armConnectTimer();
    EXPECT_TRUE(window.timers.empty());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.statusHistory.empty());
}

TEST_F(MainWindowCoreTest, WorkingConfigurationFileBecomesTheCurrentOne) {
    state.files.current = "elsewhere.ini";
    core.useWorkingConfigurationFile();
    EXPECT_EQ(state.files.working, folder / "Brenvik.ini");
    EXPECT_EQ(state.files.current, folder / "Brenvik.ini");
}

TEST_F(MainWindowCoreTest, InitialisationShowsNothingAndKeepsTheStartValues) {
    core.fillDefaultChargeSelector();
    core.armConnectTimer();
    core.useWorkingConfigurationFile();
    EXPECT_TRUE(window.statusHistory.empty());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.fileDialogs.empty());
    EXPECT_TRUE(window.disabled.empty());
    const DeviceSettings& s = core.model().settings;
    EXPECT_EQ(s.chargeSelection, 0);
    EXPECT_EQ(s.installMonth, 2);
    EXPECT_EQ(s.installDay, 7);
    EXPECT_EQ(s.installYear, 2010);
    EXPECT_EQ(s.optChargeSelector + s.optAcFaultDelay + s.optSysFaultDelay +
                  s.optResetBatteryTimer + s.optResetFaultCounts + s.optInstallDate,
              0);
}

TEST_F(MainWindowCoreTest, ConnectTimerTickConnectsOnceAndStopsTheTimer) {
    core.fillDefaultChargeSelector();
    core.armConnectTimer();
    core.useWorkingConfigurationFile();
    bridge.supply().state().modelCode = 2;
    core.onTimer(IDT_CONNECT);
    EXPECT_EQ(window.statusText(), status::kConnectSuccess);
    EXPECT_TRUE(window.timers.empty());
    EXPECT_EQ(window.controlText(IDC_EDT_PART_NUMBER), "TRQ 120-80");
    EXPECT_FALSE(window.isEnabled(IDC_BTN_APPLY));
}

TEST_F(MainWindowCoreTest, OtherTimerTicksOnlyReadThePanel) {
    panelRedisplay(window, core.model());
    window.setControlText(IDC_EDT_AC_HOURS, "12");
    core.onTimer(7);
    EXPECT_EQ(core.model().settings.acFaultHours, 12);
    EXPECT_TRUE(bridge.calls().empty());
    EXPECT_TRUE(window.statusHistory.empty());
}

TEST_F(MainWindowCoreTest, ConnectDeviceWithoutABridgeFallsBackToTheCurrentFile) {
    bridge.devices().clear();
    core.useWorkingConfigurationFile();
    core.onConnectDevice();
    EXPECT_EQ(window.statusHistory.front(), status::kCheckCable);
    EXPECT_EQ(window.statusText(), status::kConnectFail);
    EXPECT_FALSE(state.link.linkOk);
}

class MainWindowCoreFiles : public MainWindowCoreTest {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("brenvik-core-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "bin");
        fs::create_directories(dir / "chosen");
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir;
};

TEST_F(MainWindowCoreFiles, ClosingWritesTheWorkingFileEvenAfterAnotherWasLoaded) {
    MainWindowCore local{window, clock, state, dir / "bin" / "Brenvik-USB.exe"};
    local.fillDefaultChargeSelector();
    local.useWorkingConfigurationFile();
    panelRedisplay(window, local.model());

    const fs::path chosen = dir / "chosen" / "site.ini";
    std::ofstream(chosen, std::ios::binary) << "[SystemParameter]\r\nAcFltDelayHr=9\r\n";
    const std::string chosenBefore = read(chosen);
    window.fileAnswers.push_back(chosen);
    local.onLoadConfiguration();
    EXPECT_EQ(state.files.current, chosen);
    EXPECT_EQ(window.controlText(IDC_EDT_AC_HOURS), "9");

    window.setControlText(IDC_EDT_AC_HOURS, "17");
    local.onDestroy();
    EXPECT_EQ(state.files.current, dir / "bin" / "Brenvik.ini");
    EXPECT_NE(read(dir / "bin" / "Brenvik.ini").find("AcFltDelayHr=17"), std::string::npos);
    EXPECT_EQ(read(chosen), chosenBefore);
    EXPECT_TRUE(window.messages.empty());
}

} // namespace
} // namespace brenvik
