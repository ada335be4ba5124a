#pragma once
// What the tests of the whole program share: a folder of its own for every test with a copy of
// Brenvik-USB.exe and the stand-in FTCSPI.dll, the stand-in's scenario and trace files, and the
// ways a user reads and fills the programming panel, answers the file dialogs and message boxes.

#include "res/resource.h"
#include "tests/windows/support/program_driver.h"

#include <array>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brenvik::wintest::gui {

namespace fs = std::filesystem;

// Status line texts, as the operator reads them.
inline constexpr std::wstring_view kCheckCable = L"Connect device fail, please check the cable.";
inline constexpr std::wstring_view kConnectSuccess = L"Pass, Connect device success! ";
inline constexpr std::wstring_view kConnectFail = L"Fail, Connect device fail ";

// Captions of the platform's file dialogs.
inline constexpr std::wstring_view kSaveDialogCaption = L"Save As";
inline constexpr std::wstring_view kOpenDialogCaption = L"Open";

// The programming panel as the operator sees it: the nine numeric edits in the order 1005 to
// 1010, 1058 to 1060, the selected charge selector item (-1 for none) and the six option boxes in
// the order 1000, 1001, 1002, 1004, 1031, 1032.
struct Panel {
    std::array<std::wstring, 9> fields;
    int chargeSelection = 0;
    std::array<bool, 6> boxes{};

    bool operator==(const Panel&) const = default;
};
void PrintTo(const Panel& panel, std::ostream* out);

inline constexpr std::array<int, 9> kPanelFields{
    IDC_EDT_AC_HOURS,      IDC_EDT_AC_MINUTES,  IDC_EDT_AC_SECONDS,
    IDC_EDT_SYS_HOURS,     IDC_EDT_SYS_MINUTES, IDC_EDT_SYS_SECONDS,
    IDC_EDT_INSTALL_MONTH, IDC_EDT_INSTALL_DAY, IDC_EDT_INSTALL_YEAR};
inline constexpr std::array<int, 6> kOptionBoxes{
    IDC_CHK_CHARGE_SELECTOR,     IDC_CHK_AC_FAULT_DELAY,     IDC_CHK_SYS_FAULT_DELAY,
    IDC_CHK_RESET_BATTERY_TIMER, IDC_CHK_RESET_FAULT_COUNTS, IDC_CHK_INSTALL_DATE};
// The keys of a configuration file, in the order of the panel's fields, the charge selection and
// the option boxes above.
inline constexpr std::array<const wchar_t*, 16> kConfigurationKeys{
    L"AcFltDelayHr",   L"AcFltDelayMin",  L"AcFltDelaySec",     L"SysFltDelayHr",
    L"SysFltDelayMin", L"SysFltDelaySec", L"InstallMM",         L"InstallDD",
    L"InstallYYYY",    L"ICharge",        L"bChargeCurrent",    L"bAcFltDelay",
    L"bSysFltDelay",   L"bResetBatCon",   L"bResetFaultCounts", L"bInstallDate"};

// The configuration file text ("SystemParameter" section, CRLF lines) that holds `panel`.
std::string configurationText(const Panel& panel);
// The sixteen values of `file` as the platform's own profile functions read them, as a panel.
Panel panelInFile(const fs::path& file);

// Sets environment variables of this process, which the programs it starts inherit, and puts
// the previous values back at the end.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();

    // An empty value removes the variable.
    void set(const std::wstring& name, const std::wstring& value);

private:
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved_;
};

// A fresh folder holding a copy of the program and the stand-in adapter library, so that the
// working configuration file, scenario and trace belong to one test. Removed at the end,
// read-only files included.
class ProgramFolder {
public:
    ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
    ~ProgramFolder();

    const fs::path& path() const { return path_; }
    fs::path executable() const { return programFolder_ / "Brenvik-USB.exe"; }
    fs::path workingFile() const { return programFolder_ / "Brenvik.ini"; }

    // Moves the program and the library into `subfolder` of this folder, however long the path
    // becomes.
    void moveProgramInto(const fs::path& subfolder);

private:
    fs::path path_;
    fs::path programFolder_;
};

// Every test starts Brenvik-USB from a ProgramFolder of its own, with a scenario for the
// virtual supply, no state kept across runs and a trace of every adapter library call.
class ProgramTest : public ::testing::Test {
protected:
    ProgramTest();

    ProgramFolder& folder() { return folder_; }
    const ProgramFolder& folder() const { return folder_; }
    fs::path traceFile() const { return folder_.path() / "trace.txt"; }

    // Scenario lines for the virtual supply; an empty text leaves its default supply.
    void useScenario(const std::string& lines);
    // Starts the program and waits for its main window, which `window()` then returns.
    RunningProgram start();
    HWND window() const { return window_; }
    // Waits until the status line reads `text` (the connect step blocks the window while it
    // runs); the status line as last read.
    std::wstring waitForStatus(std::wstring_view text) const;
    // The trace of the stand-in adapter library.
    std::string trace() const;

private:
    ProgramFolder folder_;
    ScopedEnvironment environment_;
    HWND window_ = nullptr;
};

// Reading and filling the main window as the operator does. Each call is answered by the
// program within a few seconds, or fails the test instead of waiting for ever (a message box
// nobody expected keeps the program from answering).
void typeText(HWND window, int id, std::wstring_view text);
void click(HWND window, int id);
// A menu command that opens no dialog, returning once the program has carried it out.
void runCommand(HWND window, int id);
void selectItem(HWND window, int id, int index);
Panel readPanel(HWND window);
// Types the fields, selects the charge selection and clicks the boxes that differ from `panel`.
void enterPanel(HWND window, const Panel& panel);
// Each box's fields and labels are enabled exactly when it is ticked, APPLY when any box is.
void expectEnablingFollowsBoxes(HWND window);

// Answers the file dialog of `program` that has `caption`: types `file` into its file name box
// and presses its default button. Returns once the program has carried out the command; false
// when no such dialog appears or it does not close.
[[nodiscard]] bool answerFileDialog(const RunningProgram& program, std::wstring_view caption,
                                    const fs::path& file);
// The message text of a message box.
std::wstring messageText(HWND box);

// `path` (absolute) in the extended form, which reaches paths of any length.
std::wstring extendedPath(const fs::path& path);
std::string fileBytes(const fs::path& file);
void writeFile(const fs::path& file, std::string_view bytes);

} // namespace brenvik::wintest::gui
