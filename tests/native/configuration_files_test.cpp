#include "config/configuration.h"
#include "programming/panel.h"
#include "res/resource.h"
#include "tests/support/fake_window.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>

namespace brenvik::testing {
namespace {

namespace fs = std::filesystem;
using config::ConfigurationFiles;

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("brenvik-config-" + std::to_string(std::random_device{}()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The main window after its initialisation, with the four default selector entries.
struct Panel {
    Panel() {
        window.setComboItems(IDC_CMB_CHARGE_CURRENT,
                             {"Default Charge Current", "1/2 Default Charge Current",
                              "1/4 Default Charge Current", "1/8 Default Charge Current"});
        panelRedisplay(window, model);
    }
    FakeWindow window;
    MainWindowModel model;
};

const std::string kSavedFile = "[SystemParameter]\r\n"
                               "AcFltDelayHr=1\r\n"
                               "AcFltDelayMin=2\r\n"
                               "AcFltDelaySec=3\r\n"
                               "SysFltDelayHr=4\r\n"
                               "SysFltDelayMin=5\r\n"
                               "SysFltDelaySec=6\r\n"
                               "InstallMM=7\r\n"
                               "InstallDD=8\r\n"
                               "InstallYYYY=2019\r\n"
                               "ICharge=2\r\n"
                               "bChargeCurrent=1\r\n"
                               "bAcFltDelay=0\r\n"
                               "bSysFltDelay=1\r\n"
                               "bResetBatCon=0\r\n"
                               "bResetFaultCounts=1\r\n"
                               "bInstallDate=0\r\n";

void typeSavedValues(FakeWindow& window) {
    window.texts[IDC_EDT_AC_HOURS] = "1";
    window.texts[IDC_EDT_AC_MINUTES] = "2";
    window.texts[IDC_EDT_AC_SECONDS] = "3";
    window.texts[IDC_EDT_SYS_HOURS] = "4";
    window.texts[IDC_EDT_SYS_MINUTES] = "5";
    window.texts[IDC_EDT_SYS_SECONDS] = "6";
    window.texts[IDC_EDT_INSTALL_MONTH] = "7";
    window.texts[IDC_EDT_INSTALL_DAY] = " 8";
    window.texts[IDC_EDT_INSTALL_YEAR] = "2019";
    window.setComboSelection(IDC_CMB_CHARGE_CURRENT, 2);
    window.checked = {IDC_CHK_CHARGE_SELECTOR, IDC_CHK_SYS_FAULT_DELAY, IDC_CHK_RESET_FAULT_COUNTS};
}

TEST(ConfigurationWriter, WritesTheSixteenKeysInOrderFromThePanel) {
    TempDir dir;
    Panel p;
    typeSavedValues(p.window);
    const fs::path file = dir.path() / "a.ini";
    ASSERT_TRUE(config::writeConfiguration(p.window, p.model, file));
    EXPECT_EQ(readBytes(file), kSavedFile);
    EXPECT_EQ(p.window.texts[IDC_EDT_INSTALL_DAY], "8") << "the writer ends with a redisplay";
}

TEST(ConfigurationWriter, SavingOverAFileKeepsItsOtherContent) {
    TempDir dir;
    const fs::path file = dir.path() / "a.ini";
    writeBytes(file, "; site 4\r\n[Site]\r\nName=North\r\n\r\n[systemparameter]\r\n"
                     "installyyyy = 1999 \r\nComment=keep me\r\n");
    Panel p;
    typeSavedValues(p.window);
    ASSERT_TRUE(config::writeConfiguration(p.window, p.model, file));
    const std::string saved = readBytes(file);
    EXPECT_EQ(saved, "; site 4\r\n[Site]\r\nName=North\r\n\r\n[systemparameter]\r\n"
                     "installyyyy = 2019\r\nComment=keep me\r\n"
                     "AcFltDelayHr=1\r\nAcFltDelayMin=2\r\nAcFltDelaySec=3\r\nSysFltDelayHr=4\r\n"
                     "SysFltDelayMin=5\r\nSysFltDelaySec=6\r\nInstallMM=7\r\nInstallDD=8\r\n"
                     "ICharge=2\r\nbChargeCurrent=1\r\nbAcFltDelay=0\r\nbSysFltDelay=1\r\n"
                     "bResetBatCon=0\r\nbResetFaultCounts=1\r\nbInstallDate=0\r\n");
}

TEST(ConfigurationReader, RestoresValuesBoxesAndEnabledFields) {
    TempDir dir;
    const fs::path file = dir.path() / "a.ini";
    writeBytes(file, kSavedFile);
    Panel p;
    config::readConfiguration(p.window, p.model, file);

    const DeviceSettings& s = p.model.settings;
    EXPECT_EQ(s.acFaultHours, 1);
    EXPECT_EQ(s.sysFaultMinutes, 5);
    EXPECT_EQ(s.sysFaultSeconds, 6);
    EXPECT_EQ(s.installYear, 2019);
    EXPECT_EQ(s.chargeSelection, 2);
    EXPECT_EQ(p.model.fileOptionFlags, (std::array<std::int32_t, 6>{1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(s.optChargeSelector, 1);
    EXPECT_EQ(s.optAcFaultDelay, 0);
    EXPECT_EQ(s.optSysFaultDelay, 1);
    EXPECT_EQ(s.optResetFaultCounts, 1);
    EXPECT_EQ(p.window.texts[IDC_EDT_SYS_MINUTES], "5");
    EXPECT_EQ(p.window.texts[IDC_EDT_INSTALL_YEAR], "2019");
    EXPECT_EQ(p.window.comboSelection(IDC_CMB_CHARGE_CURRENT), 2);
    EXPECT_EQ(p.window.checked, (std::set<int>{IDC_CHK_CHARGE_SELECTOR, IDC_CHK_SYS_FAULT_DELAY,
                                               IDC_CHK_RESET_FAULT_COUNTS}));
    EXPECT_TRUE(p.window.isEnabled(IDC_CMB_CHARGE_CURRENT));
    EXPECT_TRUE(p.window.isEnabled(IDC_EDT_SYS_HOURS));
    EXPECT_FALSE(p.window.isEnabled(IDC_EDT_AC_HOURS));
    EXPECT_FALSE(p.window.isEnabled(IDC_LBL_AC_SEC));
    EXPECT_FALSE(p.window.isEnabled(IDC_EDT_INSTALL_DAY));
    EXPECT_TRUE(p.window.isEnabled(IDC_BTN_APPLY));
    EXPECT_TRUE(p.window.messages.empty());
}

TEST(ConfigurationReader, MissingFileSectionOrKeysReadAsZero) {
    TempDir dir;
    writeBytes(dir.path() / "partial.ini",
               "[SystemParameter]\r\nAcFltDelayHr=9\r\nbAcFltDelay=1\r\n");
    writeBytes(dir.path() / "other.ini", "[Other]\r\nAcFltDelayHr=9\r\n");
    for (const char* name : {"partial.ini", "other.ini", "missing.ini"}) {
        Panel p;
        p.window.checked = {IDC_CHK_INSTALL_DATE, IDC_CHK_RESET_BATTERY_TIMER};
        p.window.texts[IDC_EDT_SYS_HOURS] = "77";
        config::readConfiguration(p.window, p.model, dir.path() / name);
        const bool partial = std::string(name) == "partial.ini";
        const DeviceSettings& s = p.model.settings;
        EXPECT_EQ(s.acFaultHours, partial ? 9 : 0) << name;
        EXPECT_EQ(s.sysFaultHours, 0) << name;
        EXPECT_EQ(s.installMonth, 0) << name;
        EXPECT_EQ(s.installYear, 0) << name;
        EXPECT_EQ(s.chargeSelection, 0) << name;
        EXPECT_EQ(p.window.checked,
                  partial ? std::set<int>{IDC_CHK_AC_FAULT_DELAY} : std::set<int>{})
            << name;
        EXPECT_EQ(p.window.isEnabled(IDC_BTN_APPLY), partial) << name;
        EXPECT_EQ(p.window.texts[IDC_EDT_INSTALL_YEAR], "0") << name;
    }
}

TEST(ConfigurationReader, ValuesAreReadInFullAndSaturate) {
    TempDir dir;
    const fs::path file = dir.path() / "a.ini";
    writeBytes(file, "[SystemParameter]\r\n"
                     "AcFltDelayHr=-2147483648\r\n"
                     "AcFltDelayMin=2147483647\r\n"
                     "AcFltDelaySec=99999999999999999999\r\n"
                     "SysFltDelayHr=-4294967296\r\n"
                     "SysFltDelayMin= +12abc\r\n"
                     "SysFltDelaySec=abc\r\n"
                     "InstallMM=-\r\n"
                     "InstallDD=0000000000000000031\r\n"
                     "ICharge=7\r\n"
                     "bChargeCurrent=1\r\n");
    Panel p;
    config::readConfiguration(p.window, p.model, file);
    const DeviceSettings& s = p.model.settings;
    EXPECT_EQ(s.acFaultHours, INT32_MIN);
    EXPECT_EQ(s.acFaultMinutes, INT32_MAX);
    EXPECT_EQ(s.acFaultSeconds, INT32_MAX);
    EXPECT_EQ(s.sysFaultHours, INT32_MIN);
    EXPECT_EQ(s.sysFaultMinutes, 12);
    EXPECT_EQ(s.sysFaultSeconds, 0);
    EXPECT_EQ(s.installMonth, 0);
    EXPECT_EQ(s.installDay, 31);
    EXPECT_EQ(p.window.comboSelection(IDC_CMB_CHARGE_CURRENT), -1)
        << "an index outside the list selects nothing";
    EXPECT_EQ(s.chargeSelection, -1);
    EXPECT_EQ(p.window.texts[IDC_EDT_AC_HOURS], "-2147483648");

    // Extreme values survive a save and a load.
    ASSERT_TRUE(config::writeConfiguration(p.window, p.model, file));
    Panel q;
    config::readConfiguration(q.window, q.model, file);
    EXPECT_EQ(q.model.settings.acFaultHours, INT32_MIN);
    EXPECT_EQ(q.model.settings.acFaultSeconds, INT32_MAX);
}

// A file dialog that wanders off to another folder before answering, as real ones may.
class WanderingWindow : public FakeWindow {
public:
    explicit WanderingWindow(fs::path elsewhere) : elsewhere_(std::move(elsewhere)) {}
    std::optional<fs::path> chooseConfigurationFile(FileDialogKind kind) override {
        fs::current_path(elsewhere_);
        return FakeWindow::chooseConfigurationFile(kind);
    }

private:
    fs::path elsewhere_;
};

class ConfigurationCommands : public ::testing::Test {
protected:
    ConfigurationCommands() : window(dir.path() / "elsewhere") {
        fs::create_directories(dir.path() / "start");
        fs::create_directories(dir.path() / "elsewhere");
        previous = fs::current_path();
        fs::current_path(dir.path() / "start");
        start = fs::current_path();
        window.setComboItems(IDC_CMB_CHARGE_CURRENT, {"a", "b", "c", "d"});
        panelRedisplay(window, model);
        files.working = config::workingConfigurationPath(dir.path() / "bin" / "Brenvik-USB.exe");
        files.useWorking();
    }
    ~ConfigurationCommands() override { fs::current_path(previous); }

    TempDir dir;
    WanderingWindow window;
    MainWindowModel model;
    ConfigurationFiles files;
    fs::path previous;
    fs::path start;
};

TEST_F(ConfigurationCommands, CancellingChangesNothing) {
    const FakeWindow before = window;
    config::saveConfiguration(window, model, files);
    config::loadConfiguration(window, model, files);
    EXPECT_EQ(window.fileDialogs,
              (std::vector<FileDialogKind>{FileDialogKind::Save, FileDialogKind::Open}));
    EXPECT_EQ(fs::current_path(), start);
    EXPECT_EQ(files.current, files.working);
    EXPECT_EQ(window.texts, before.texts);
    EXPECT_EQ(window.invalidations, std::vector<bool>{false}) << "load repaints all the same";
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "start"), fs::directory_iterator()),
              0);
}

TEST_F(ConfigurationCommands, SaveThenLoadThroughTheDialogs) {
    const fs::path chosen = dir.path() / "chosen.ini";
    // Typed into the panel and not read yet (no focus-loss read for the date edits): what the
    // panel shows is what is saved.
    typeSavedValues(window);
    window.fileAnswers.push_back(chosen);
    config::saveConfiguration(window, model, files);
    EXPECT_EQ(files.current, chosen);
    EXPECT_EQ(fs::current_path(), start);
    EXPECT_EQ(readBytes(chosen), kSavedFile);
    EXPECT_EQ(window.texts[IDC_EDT_INSTALL_DAY], "8");

    window.texts[IDC_EDT_AC_HOURS] = "55";
    window.checked.clear();
    window.fileAnswers.push_back(chosen);
    config::loadConfiguration(window, model, files);
    EXPECT_EQ(fs::current_path(), start);
    EXPECT_EQ(files.current, chosen);
    EXPECT_EQ(window.texts[IDC_EDT_AC_HOURS], "1");
    EXPECT_EQ(window.checked, (std::set<int>{IDC_CHK_CHARGE_SELECTOR, IDC_CHK_SYS_FAULT_DELAY,
                                             IDC_CHK_RESET_FAULT_COUNTS}));
    EXPECT_FALSE(window.isEnabled(IDC_EDT_AC_HOURS));
    EXPECT_EQ(window.invalidations, std::vector<bool>{false});
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(ConfigurationCommands, SaveThatCannotWriteTellsTheOperator) {
    const fs::path locked = dir.path() / "locked.ini";
    writeBytes(locked, "[Site]\r\nName=North\r\n");
    fs::permissions(locked, fs::perms::owner_read);
    for (const fs::path& target : {locked, dir.path() / "missing" / "a.ini"}) {
        window.messages.clear();
        window.fileAnswers.push_back(target);
        config::saveConfiguration(window, model, files);
        ASSERT_EQ(window.messages.size(), 1u) << target;
        EXPECT_EQ(window.messages[0].text, config::kSaveFailedText);
        EXPECT_EQ(window.messages[0].caption, "Fail");
        EXPECT_EQ(window.messages[0].icon, MessageIcon::Error);
        EXPECT_EQ(window.messages[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(fs::current_path(), start);
    }
    EXPECT_EQ(readBytes(locked), "[Site]\r\nName=North\r\n");
    fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(ConfigurationCommands, ClosingWritesTheWorkingFileWhateverWasLoaded) {
    fs::create_directories(files.working.parent_path());
    const fs::path chosen = dir.path() / "chosen.ini";
    writeBytes(chosen, kSavedFile);
    window.fileAnswers.push_back(chosen);
    config::loadConfiguration(window, model, files);
    window.texts[IDC_EDT_AC_HOURS] = "42";

    config::saveWorkingConfiguration(window, model, files);
    EXPECT_EQ(files.current, dir.path() / "bin" / "Brenvik.ini");
    EXPECT_NE(readBytes(files.working).find("AcFltDelayHr=42\r\n"), std::string::npos);
    EXPECT_EQ(readBytes(chosen), kSavedFile) << "the loaded file is left unchanged";
}

TEST_F(ConfigurationCommands, ClosingIsSilentWhenTheWorkingFileCannotBeWritten) {
    config::saveWorkingConfiguration(window, model, files); // "bin" does not exist
    EXPECT_FALSE(fs::exists(files.working));
    EXPECT_TRUE(window.messages.empty());
}

} // namespace
} // namespace brenvik::testing
