#pragma once
// Drives Brenvik-USB from a test or a tool, across processes: starts it (in a folder of its own
// with the stand-in FTCSPI.dll, for tests), finds its windows, reads and fills the programming
// panel as the operator does, answers its file dialogs and message boxes, and closes it. A window
// that does not answer within seconds makes the call throw, so a test fails instead of hanging.

#include "framework/handles.h"
#include "framework/win32.h"
#include "res/resource.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace brenvik::wintest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Polls `done` every few milliseconds until it holds; false after the timeout.
template <class Predicate>
bool waitUntil(std::chrono::milliseconds timeout, Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class RunningProgram {
public:
    // Starts `executable` with `arguments` in `folder` (its own folder when empty); throws when
    // the process cannot be created.
    static RunningProgram start(const fs::path& executable, std::wstring_view arguments = {},
                                const fs::path& folder = {});

    RunningProgram(RunningProgram&&) noexcept = default;
    RunningProgram& operator=(RunningProgram&&) noexcept = default;
    // A process still running when the test ends is terminated, so a failing test leaves
    // nothing behind.
    ~RunningProgram();

    DWORD processId() const { return processId_; }
    bool running() const;
    // The visible main window of the process, once it appears; nullptr after the timeout.
    HWND waitForMainWindow(std::chrono::milliseconds timeout = 30s) const;
    // The exit code once the process has ended; nothing after the timeout.
    std::optional<DWORD> waitForExit(std::chrono::milliseconds timeout = 30s) const;
    // Closes the main window the way a user would (WM_CLOSE) and waits for the process to end.
    std::optional<DWORD> close() const;

private:
    RunningProgram(framework::UniqueHandle process, DWORD processId)
        : process_(std::move(process)), processId_(processId) {}

    framework::UniqueHandle process_;
    DWORD processId_ = 0;
};

// The visible top-level windows of `processId` (of any process for 0) with `caption`, and of
// `windowClass` unless it is nullptr.
std::vector<HWND> visibleWindows(DWORD processId, std::wstring_view caption,
                                 const wchar_t* windowClass = nullptr);
// The visible main window of `processId` (of any process for 0), or nullptr.
HWND findMainWindow(DWORD processId);
HWND findAnyMainWindow();
// The first visible top-level window of `processId` whose caption is `caption`, once it
// appears; nullptr after the timeout. Finds message boxes and dialogs.
HWND waitForWindow(DWORD processId, std::wstring_view caption,
                   std::chrono::milliseconds timeout = 30s);
// Waits until `window` is gone; false after the timeout.
bool waitUntilGone(HWND window, std::chrono::milliseconds timeout = 30s);
// Waits until the status line of `window` reads `text` (the connect step blocks the window while
// it runs); the status line as last read.
std::wstring waitForStatus(HWND window, std::wstring_view text);

std::wstring controlText(HWND dialog, int id);
int comboSelection(HWND dialog, int id);
// The window with the keyboard focus in the thread that owns `window`.
HWND focusedWindow(HWND window);
// The status bar child of a window, and the text of one of its parts.
HWND statusBar(HWND window);
std::wstring statusBarText(HWND bar, int part);

// Posted, so they return at once: a button or menu command of a window, dialog or message box
// by its id (IDOK, ...), a key press (down and up) as the keyboard delivers it.
void pressButton(HWND dialog, int id);
void postKey(HWND window, UINT virtualKey);
// Sent, returning once the program has handled them.
void typeText(HWND window, int id, std::wstring_view text);
void click(HWND window, int id);
void runCommand(HWND window, int id);

// What the operator's mouse can reach in the main window.
enum class MouseTarget { Start, Apply, FileMenu };
// Clicks `target` with real mouse input, as the operator's hand does (a posted command would
// reach a window that input cannot), once the window is enabled, in the foreground and no menu of
// it is open, and returns what the program showed for it within `wait`: START's new caption, else
// the caption of the program's first new top-level window ("#32768" for a menu, which is closed
// again before it returns); empty when nothing changed. Throws when the window does not become
// ready for the click.
std::wstring mouseClick(HWND window, MouseTarget target, std::chrono::milliseconds wait = 3s);
// With `box` open (moved clear of the main window first, so that no click lands on it) and in the
// foreground, what mouse clicks on START, APPLY and the "File" menu of `window` showed, in this
// order.
std::vector<std::wstring> clicksBehind(HWND box, HWND window);

// The sixteen entries of the programming panel in the order of the configuration file's keys:
// the nine numeric edits, the charge selector's selected index (-1 for none) and the six option
// boxes ("1" ticked, "0" clear), all as text.
using Panel = std::array<std::wstring, 16>;

Panel readPanel(HWND window);
// Clicks the boxes that differ from `panel`, types the fields and selects the charge selection.
void enterPanel(HWND window, const Panel& panel);
// The controls enabled against their box: a field or label of each box must be enabled exactly
// when the box is ticked, APPLY when any box is.
std::vector<int> controlsAgainstTheirBoxes(HWND window);

// The configuration file text ("SystemParameter" section, CRLF lines) that holds `panel`.
std::string configurationText(const Panel& panel);
// A value of the "SystemParameter" section, and all sixteen of them, as the platform's own
// profile functions read them.
std::wstring profileValue(const fs::path& file, const wchar_t* key);
Panel panelInFile(const fs::path& file);
std::string fileBytes(const fs::path& file);
void writeFile(const fs::path& file, std::string_view bytes);

// A fresh folder under the temporary folder, removed at the end with everything in it,
// read-only files and paths of any length included.
class TestFolder {
public:
    TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    ~TestFolder();

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// A copy of the program and the stand-in adapter library in a TestFolder, so that the working
// configuration file, scenario and trace belong to one test. The programs it starts keep no
// supply state across runs and trace every adapter library call.
class ProgramSession {
public:
    ProgramSession();

    const fs::path& folder() const { return folder_.path(); }
    fs::path executable() const { return programFolder_ / "Brenvik-USB.exe"; }
    fs::path workingFile() const { return programFolder_ / "Brenvik.ini"; }
    std::string trace() const { return fileBytes(folder() / "trace.txt"); }
    // Moves the program and the library into a new folder `name` of folder().
    void moveProgramInto(const std::wstring& name);
    // Scenario lines for the virtual supply of the programs started from now on.
    void useScenario(std::string_view lines);

    // Starts the program and waits for its main window, which `window()` then returns; throws
    // when none appears.
    RunningProgram start();
    HWND window() const { return window_; }
    // waitForStatus on window().
    std::wstring waitForStatus(std::wstring_view text) const;
    // Answers the file dialog with `caption` (of the last program started): types `file` into
    // its file name box and presses its default button. Returns once the program has carried
    // out the command; throws when no such dialog appears or it does not close.
    void answerFileDialog(std::wstring_view caption, const fs::path& file) const;

private:
    TestFolder folder_;
    fs::path programFolder_;
    DWORD processId_ = 0;
    HWND window_ = nullptr;
};

} // namespace brenvik::wintest
