#include "config/configuration.h"
#include "res/resource.h"
#include "shell/main_window_core.h"
#include "tests/support/operator_texts.h"
#include "tests/support/window_rig.h"
#include "ui/app_paths.h"

#include <array>
#include <bit>
#include <gtest/gtest.h>
#include <string>

namespace brenvik {
namespace {

namespace fs = std::filesystem;

// Only the last extension goes; dots and blanks inside the name stay, and a path far beyond
// what a fixed buffer would hold is kept whole.
TEST(AppPaths, ApplicationNameAndWorkingFileFromTheProgramsPath) {
    fs::path deep = "root";
    for (int i = 0; i < 60; ++i) {
        deep /= "folder-" + std::to_string(i) + std::string(40, 'x');
    }
    ASSERT_GT(deep.native().size(), 2500u);
    const std::pair<fs::path, fs::path> names[] = {
        {"opt/tools/Brenvik-USB copy.exe", "Brenvik-USB copy"},
        {"brenvik.v1.05.exe", "brenvik.v1.05"},
        {"brenvik", "brenvik"},
        {deep / "Brenvik-USB.exe", "Brenvik-USB"}};
    for (const auto& [exe, name] : names) {
        EXPECT_EQ(applicationName(exe), name);
        EXPECT_EQ(config::workingConfigurationPath(exe), exe.parent_path() / "Brenvik.ini");
    }
}

TEST(MainWindowCore, InitialisationFillsTheSelectorArmsTheTimerAndShowsNothing) {
    testing::WindowRig rig;
    const fs::path folder = fs::path("srv") / "bench";
    MainWindowCore core{rig.window, rig.clock, rig.state, folder / "Brenvik-USB.exe"};
    rig.window.setComboItems(IDC_CMB_CHARGE_CURRENT, {"7 AH", "12 AH", "18 AH", "26 AH", "40 AH"});
    rig.state.files.current = "elsewhere.ini";
    core.fillDefaultChargeSelector();
    core.armConnectTimer();
    core.useWorkingConfigurationFile();

    EXPECT_EQ(rig.window.comboItems(IDC_CMB_CHARGE_CURRENT), testing::text::kDefaultItems);
    EXPECT_EQ(rig.window.comboSelection(IDC_CMB_CHARGE_CURRENT), 0);
    EXPECT_EQ(rig.window.timers, (std::map<int, unsigned>{{IDT_CONNECT, 500u}}));
    EXPECT_EQ(std::pair(rig.state.files.working, rig.state.files.current),
              std::pair(folder / "Brenvik.ini", folder / "Brenvik.ini"));
    EXPECT_TRUE(rig.window.statusHistory.empty());
    using Values = std::array<std::int32_t, 16>;
    EXPECT_EQ(std::bit_cast<Values>(core.model().settings),
              (Values{0, 0, 0, 0, 0, 0, 0, 2, 7, 2010, 0, 0, 0, 0, 0, 0}))
        << "the start values";

    // The Connect Device command connects at once, without waiting for the timer.
    core.onConnectDevice();
    EXPECT_EQ(rig.window.statusText(), "Pass, Connect device success! ");
}

} // namespace
} // namespace brenvik
