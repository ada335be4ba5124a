#pragma once
// Drives a running Brenvik-USB (or any dialog program) from a Windows test: starts it, finds
// its main window, reads its controls and status bar, answers its message boxes, sends it keys
// and commands, and closes it. Works across processes.

#include "framework/handles.h"
#include "framework/win32.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::wintest {

using namespace std::chrono_literals;

// Folder of the running test program; the build puts Brenvik-USB.exe beside it.
std::filesystem::path programDirectory();
std::filesystem::path brenvikExecutable();

// Caption and class of the Brenvik-USB main window.
inline constexpr std::wstring_view kMainWindowCaption = L"Brenvik-USB";
inline constexpr std::wstring_view kDialogClass = L"#32770";

class RunningProgram {
public:
    // Starts `executable` with `arguments`, in `workingDirectory` (default: the executable's
    // folder). Throws when the process cannot be created.
    static RunningProgram start(const std::filesystem::path& executable,
                                std::wstring_view arguments = {},
                                const std::filesystem::path& workingDirectory = {});

    RunningProgram(RunningProgram&&) noexcept = default;
    RunningProgram& operator=(RunningProgram&&) noexcept = default;
    // A process still running when the test ends is terminated, so a failing test leaves
    // nothing behind.
    ~RunningProgram();

    DWORD processId() const { return processId_; }
    HANDLE process() const { return process_.get(); }
    bool running() const;

    // The visible main window of the process, once it appears; nullptr after the timeout.
    HWND waitForMainWindow(std::chrono::milliseconds timeout = 30s) const;
    // The exit code once the process has ended; nothing after the timeout.
    std::optional<DWORD> waitForExit(std::chrono::milliseconds timeout = 30s) const;
    // Closes the main window the way a user would (WM_CLOSE) and waits for the process to end.
    std::optional<DWORD> close(std::chrono::milliseconds timeout = 30s) const;

private:
    RunningProgram(framework::UniqueHandle process, DWORD processId)
        : process_(std::move(process)), processId_(processId) {}

    framework::UniqueHandle process_;
    DWORD processId_ = 0;
};

// The visible top-level dialog of `processId` with the main window's caption, or nullptr.
HWND findMainWindow(DWORD processId);
// The same for whichever process shows one.
HWND findAnyMainWindow();
// The first visible top-level window of `processId` whose caption is `caption`, once it
// appears; nullptr after the timeout. Finds message boxes and dialogs.
HWND waitForWindow(DWORD processId, std::wstring_view caption,
                   std::chrono::milliseconds timeout = 30s);
// Waits until `window` is gone; false after the timeout.
bool waitUntilGone(HWND window, std::chrono::milliseconds timeout = 30s);

std::wstring windowText(HWND window);
std::wstring className(HWND window);
std::wstring controlText(HWND dialog, int id);
bool isChecked(HWND dialog, int id);
bool isEnabled(HWND dialog, int id);
bool isVisible(HWND dialog, int id);
DWORD style(HWND window);
DWORD exStyle(HWND window);
// Window rectangle of `window` in the client coordinates of `parent`.
RECT rectInParent(HWND window, HWND parent);
std::vector<std::wstring> comboItems(HWND dialog, int id);
int comboSelection(HWND dialog, int id);
// The window with the keyboard focus in the thread that owns `window`.
HWND focusedWindow(HWND window);

// The status bar child of a window, and the text of one of its parts (read through memory in
// the owning process, as the bar's messages are not marshalled between processes).
HWND statusBar(HWND window);
std::wstring statusBarText(HWND bar, int part);
// Right edges of the bar's parts.
std::vector<int> statusBarParts(HWND bar);

// Presses a button of a dialog or message box by its id (IDOK, IDRETRY, ...).
void pressButton(HWND dialog, int id);
// Posts a key press (down and up) to `window`, as the keyboard would deliver it.
void postKey(HWND window, UINT virtualKey);
// Posts a menu command to `window`.
void postCommand(HWND window, int id);

} // namespace brenvik::wintest
