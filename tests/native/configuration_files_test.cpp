#include "config/configuration.h"
#include "operations/configuration.h"
#include "res/resource.h"
#include "tests/support/operator_texts.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_rig.h"

#include <array>
#include <bit>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace brenvik::testing {
namespace {

namespace fs = std::filesystem;
using Values = std::array<std::int32_t, 16>;

// The main window after its initialisation, in a temporary folder with the program in "bin"
// (not created) and the process's current directory in "start".
class ConfigurationFilesTest : public ::testing::Test, protected WindowRig {
protected:
    ConfigurationFilesTest() {
        fs::create_directories(dir / "start");
        fs::create_directories(elsewhere);
        fs::current_path(dir / "start");
        start = fs::current_path();
        // The file dialog wanders off to another folder before answering, as real ones may.
        window.whileFileDialogOpen = [this] { fs::current_path(elsewhere); };
        files.current = files.working =
            config::workingConfigurationPath(dir / "bin" / "Brenvik-USB.exe");
    }
    ~ConfigurationFilesTest() override {
        std::error_code ec;
        fs::current_path(previous, ec);
    }

    // The record's sixteen values in their declared order.
    static Values valuesOf(const MainWindowModel& m) { return std::bit_cast<Values>(m.settings); }

    const fs::path previous = fs::current_path();
    const TempFolder dir{"brenvik-config"};
    const fs::path elsewhere = dir / "elsewhere";
    fs::path start;
    config::ConfigurationFiles& files = state.files;
};

// The dialog wanders off to another folder before answering; the process stays where it was.
TEST_F(ConfigurationFilesTest, SaveThroughTheDialogWritesWhatThePanelShows) {
    // Cancelled: nothing written, nothing said, the current file unchanged.
    operations::saveConfiguration(face, model, files);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(files.current, files.working);
    EXPECT_TRUE(fs::is_empty(start) && fs::is_empty(elsewhere));

    const fs::path chosen = dir / "chosen.ini";
    // Typed into the panel and not read yet (no focus-loss read for the date edits; the day with a
    // leading blank): what the panel shows is what is saved, the sixteen keys in order.
    for (int i = 0; i < 6; ++i) { // the delay edits, 1005 to 1010
        window.texts[IDC_EDT_AC_HOURS + i] = std::to_string(i + 1);
    }
    window.texts[IDC_EDT_INSTALL_MONTH] = "7";
    window.texts[IDC_EDT_INSTALL_DAY] = " 8";
    window.texts[IDC_EDT_INSTALL_YEAR] = "2019";
    window.setComboSelection(IDC_CMB_CHARGE_CURRENT, 2);
    window.checked = {IDC_CHK_CHARGE_SELECTOR, IDC_CHK_SYS_FAULT_DELAY, IDC_CHK_RESET_FAULT_COUNTS};
    window.fileAnswers = {chosen};
    operations::saveConfiguration(face, model, files);
    EXPECT_EQ(dir.read("chosen.ini"), text::kSavedFile);
    EXPECT_EQ(window.texts[IDC_EDT_INSTALL_DAY], "8") << "the writer ends with a redisplay";

    EXPECT_EQ(fs::current_path(), start);
    EXPECT_EQ(files.current, chosen);
}

TEST_F(ConfigurationFilesTest, ValuesAreReadInFullSaturateAndMissingOnesReadAsZero) {
    const fs::path file = dir / "a.ini";
    dir.write("a.ini",
              "[SystemParameter]\r\nAcFltDelayHr=-2147483648\r\nAcFltDelayMin=2147483647\r\n"
              "AcFltDelaySec=99999999999999999999\r\nSysFltDelayHr=-4294967296\r\n"
              "SysFltDelayMin= +12abc\r\nSysFltDelaySec=abc\r\nInstallMM=-\r\n"
              "InstallDD=0000000000000000031\r\nICharge=7\r\nbChargeCurrent=1\r\n");
    window.checked = {IDC_CHK_INSTALL_DATE, IDC_CHK_RESET_BATTERY_TIMER};
    window.texts[IDC_EDT_INSTALL_YEAR] = "77";
    operations::readConfiguration(face, model, file);
    // An index outside the list selects nothing, and the click handling reads that back.
    EXPECT_EQ(valuesOf(model), (Values{INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, 12, 0, -1, 0, 31,
                                       0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), -1);
    EXPECT_EQ(window.texts[IDC_EDT_AC_HOURS], "-2147483648");
    EXPECT_EQ(window.texts[IDC_EDT_INSTALL_YEAR], "0");
    EXPECT_EQ(window.checked, std::set<int>{IDC_CHK_CHARGE_SELECTOR});
    EXPECT_TRUE(window.isEnabled(IDC_BTN_APPLY));

    // Extreme values survive a save and a load.
    ASSERT_TRUE(operations::writeConfiguration(face, model, file));
    MainWindowModel reloaded;
    operations::readConfiguration(face, reloaded, file);
    EXPECT_EQ(valuesOf(reloaded), valuesOf(model));

    // A file without the section, or no file at all, reads as all zero with every box clear.
    dir.write("other.ini", "[Other]\r\nAcFltDelayHr=9\r\n");
    for (const char* name : {"other.ini", "missing.ini"}) {
        operations::readConfiguration(face, model, dir / name);
        EXPECT_EQ(valuesOf(model), Values{}) << name;
        EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 0) << name;
        EXPECT_TRUE(window.checked.empty()) << name;
        EXPECT_FALSE(window.isEnabled(IDC_BTN_APPLY)) << name;
    }
}

// A save that cannot write tells the operator and keeps the file; closing writes the working
// file, silently even when it cannot.
TEST_F(ConfigurationFilesTest, UnwritableFilesAreKeptAndOnlyTheOperatorsSaveComplains) {
    operations::saveWorkingConfiguration(face, model, files);
    EXPECT_FALSE(fs::exists(files.working)) << "bin does not exist";
    EXPECT_TRUE(window.messages.empty());

    const fs::path locked = dir / "locked.ini";
    dir.write("locked.ini", "[Site]\r\nName=North\r\n");
    fs::permissions(locked, fs::perms::owner_read);
    window.fileAnswers = {locked, dir / "missing" / "a.ini"};
    operations::saveConfiguration(face, model, files);
    operations::saveConfiguration(face, model, files);
    ASSERT_EQ(window.messages.size(), 2u);
    for (const RecordedMessage& m : window.messages) {
        EXPECT_EQ(std::tuple(m.text, m.caption, m.icon, m.buttons),
                  std::tuple(text::kSaveFailed, text::kFailCaption, MessageIcon::Error,
                             MessageButtons::Ok));
    }
    EXPECT_EQ(fs::current_path(), start);
    EXPECT_EQ(dir.read("locked.ini"), "[Site]\r\nName=North\r\n");

    fs::create_directories(files.working.parent_path());
    window.texts[IDC_EDT_AC_HOURS] = "42";
    operations::saveWorkingConfiguration(face, model, files);
    EXPECT_NE(dir.read("bin/Brenvik.ini").find("AcFltDelayHr=42\r\n"), std::string::npos);
}

} // namespace
} // namespace brenvik::testing
