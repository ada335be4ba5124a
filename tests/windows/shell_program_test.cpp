// Brenvik-USB as a user starts it: one copy at a time, copies under other names side by side,
// and the ways the program ends. Each test starts real processes.

#include "res/resource.h"
#include "tests/windows/support/program_driver.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <system_error>

namespace brenvik::wintest {
namespace {

namespace fs = std::filesystem;

TEST(Program, ShowsItsWindowEndsOnEscapeAndStartsAgainAfterwards) {
    {
        RunningProgram program = RunningProgram::start(brenvikExecutable());
        const HWND window = program.waitForMainWindow();
        ASSERT_NE(window, nullptr);
        const HWND bar = statusBar(window);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(statusBarText(bar, 0), L"Pass/Failure Status");
        EXPECT_EQ(focusedWindow(window), ::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR));
        postKey(::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR), VK_ESCAPE);
        EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    }
    // Once the first copy has ended, a new one starts normally.
    RunningProgram program = RunningProgram::start(brenvikExecutable());
    ASSERT_NE(program.waitForMainWindow(), nullptr);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

TEST(Program, ASecondCopyRestoresTheFirstShowsNothingAndExitsWithOne) {
    RunningProgram first = RunningProgram::start(brenvikExecutable());
    const HWND window = first.waitForMainWindow();
    ASSERT_NE(window, nullptr);
    ::ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(window));

    RunningProgram second = RunningProgram::start(brenvikExecutable());
    EXPECT_EQ(second.waitForExit(), std::optional<DWORD>(1));
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_EQ(::GetForegroundWindow(), window);
    EXPECT_TRUE(first.running());
    EXPECT_EQ(findMainWindow(second.processId()), nullptr);
    EXPECT_EQ(first.close(), std::optional<DWORD>(0));
}

TEST(Program, ASecondCopyHandsTheForegroundToTheFirstCopyWithItsOpenDialog) {
    RunningProgram first = RunningProgram::start(brenvikExecutable());
    const HWND window = first.waitForMainWindow();
    ASSERT_NE(window, nullptr);
    postCommand(window, ID_HELP_ABOUT);
    const HWND about = waitForWindow(first.processId(), L"About Brenvik-USB");
    ASSERT_NE(about, nullptr);
    // Another program's window has the foreground when the second copy starts.
    const HWND other =
        ::CreateWindowExW(0, L"Static", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                          200, 100, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(other);
    ASSERT_EQ(::GetForegroundWindow(), other);
    EXPECT_EQ(::GetLastActivePopup(window), about);

    RunningProgram second = RunningProgram::start(brenvikExecutable());
    EXPECT_EQ(second.waitForExit(), std::optional<DWORD>(1));
    // Wine activates across processes asynchronously, and may settle on the owner rather than
    // its pop-up; either way the first copy has the foreground and its dialog is still open.
    const HWND foreground = ::GetForegroundWindow();
    EXPECT_TRUE(foreground == about || foreground == window) << windowText(foreground);
    EXPECT_TRUE(::IsWindowVisible(about));
    ::DestroyWindow(other);
    pressButton(about, IDOK);
    EXPECT_TRUE(waitUntilGone(about));
    EXPECT_EQ(first.close(), std::optional<DWORD>(0));
}

TEST(Program, CopiesUnderDifferentFileNamesBothRun) {
    const fs::path folder =
        fs::temp_directory_path() / ("brenvik-copy-" + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(folder);
    fs::copy_file(brenvikExecutable(), folder / "Brenvik-USB-bench.exe",
                  fs::copy_options::overwrite_existing);
    {
        RunningProgram first = RunningProgram::start(brenvikExecutable());
        EXPECT_NE(first.waitForMainWindow(), nullptr);
        RunningProgram second = RunningProgram::start(folder / "Brenvik-USB-bench.exe");
        EXPECT_NE(second.waitForMainWindow(), nullptr);
        EXPECT_TRUE(first.running());
        EXPECT_EQ(second.close(), std::optional<DWORD>(0));
        EXPECT_EQ(first.close(), std::optional<DWORD>(0));
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

} // namespace
} // namespace brenvik::wintest
