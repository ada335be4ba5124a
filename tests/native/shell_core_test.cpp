#include "config/configuration.h"
#include "programming/panel.h"
#include "res/resource.h"
#include "shell/app_paths.h"
#include "shell/main_window_core.h"
#include "shell/status_texts.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/virtual_bridge.h"

#include <array>
#include <bit>
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

TEST_F(MainWindowCoreTest, InitialisationFillsTheSelectorArmsTheTimerAndShowsNothing) {
    window.setComboItems(IDC_CMB_CHARGE_CURRENT, {"7 AH", "12 AH", "18 AH", "26 AH", "40 AH"});
    window.setComboSelection(IDC_CMB_CHARGE_CURRENT, 4);
    state.files.current = "elsewhere.ini";
    core.fillDefaultChargeSelector();
    core.armConnectTimer();
    core.useWorkingConfigurationFile();

    EXPECT_EQ(
        window.comboItems(IDC_CMB_CHARGE_CURRENT),
        (std::vector<std::string>{"Default Charge Current", "1/2 Default Charge Current",
                                  "1/4 Default Charge Current", "1/8 Default Charge Current"}));
    EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 0);
    EXPECT_EQ(window.timers, (std::map<int, unsigned>{{IDT_CONNECT, 500u}}));
    EXPECT_EQ(state.files.working, folder / "Brenvik.ini");
    EXPECT_EQ(state.files.current, folder / "Brenvik.ini");
    EXPECT_TRUE(window.statusHistory.empty());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.fileDialogs.empty());
    EXPECT_TRUE(window.disabled.empty());
    using Values = std::array<std::int32_t, 16>;
    EXPECT_EQ(std::bit_cast<Values>(core.model().settings),
              (Values{0, 0, 0, 0, 0, 0, 0, 2, 7, 2010, 0, 0, 0, 0, 0, 0}))
        << "the start values";
}

TEST_F(MainWindowCoreTest, AFailedTimerIsNotReportedToTheOperator) {
    window.timersFail = true;
    core.armConnectTimer();
    EXPECT_TRUE(window.timers.empty());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.statusHistory.empty());
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

} // namespace
} // namespace brenvik
