#include "res/resource.h"
#include "shell/app_paths.h"
#include "shell/main_window_core.h"
#include "tests/support/fake_window.h"

#include <gtest/gtest.h>
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

TEST(AppPaths, WorkingConfigurationFileSitsBesideTheExecutable) {
    const fs::path folder = fs::path("opt") / "Brenvik USB";
    EXPECT_EQ(workingConfigurationFile(folder / "Brenvik-USB.exe"), folder / "Brenvik.ini");
    // A bare file name keeps the file in the same (current) folder.
    EXPECT_EQ(workingConfigurationFile("Brenvik-USB.exe"), fs::path("Brenvik.ini"));
    EXPECT_EQ(workingConfigurationFile(fs::path(u8"Zähler") / u8"Prüfer.exe"),
              fs::path(u8"Zähler") / "Brenvik.ini");
}

TEST(AppPaths, LongPathsAreKeptWhole) {
    // Far beyond the 200 characters a fixed buffer would hold: nothing may be cut off.
    fs::path folder = "root";
    for (int i = 0; i < 60; ++i) {
        folder /= "folder-" + std::to_string(i) + std::string(40, 'x');
    }
    const fs::path exe = folder / "Brenvik-USB.exe";
    ASSERT_GT(exe.native().size(), 2500u);
    const fs::path working = workingConfigurationFile(exe);
    EXPECT_EQ(working.parent_path(), folder);
    EXPECT_EQ(working.filename(), fs::path("Brenvik.ini"));
    EXPECT_EQ(working.native().size(), folder.native().size() + 1 + 11);
    EXPECT_EQ(applicationName(exe), fs::path("Brenvik-USB"));
}

class MainWindowCoreTest : public ::testing::Test {
protected:
    testing::FakeWindow window;
    fs::path folder = fs::path("srv") / "bench";
    MainWindowCore core{window, folder / "Brenvik-USB.exe"};
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
    EXPECT_TRUE(core.currentConfigurationFile().empty());
    core.useWorkingConfigurationFile();
    EXPECT_EQ(core.currentConfigurationFile(), folder / "Brenvik.ini");
    EXPECT_EQ(core.workingConfigurationFile(), folder / "Brenvik.ini");
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

} // namespace
} // namespace brenvik
