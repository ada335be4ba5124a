// Brenvik-USB as a user starts it: one copy at a time, copies under other names side by side,
// and Escape ending it.

#include "tests/windows/support/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

// The bridge's device count call fails, so the connect step is over at once.
class Program : public ::testing::Test, protected ProgramSession {
protected:
    Program() { useScenario("fail_call = 20\r\n"); }
};

TEST_F(Program, EndsOnEscapeAndStartsAgainAfterwards) {
    {
        RunningProgram program = start();
        EXPECT_EQ(statusBarText(statusBar(window()), 0), L"Pass/Failure Status");
        postKey(::GetDlgItem(window(), IDC_CHK_CHARGE_SELECTOR), VK_ESCAPE);
        EXPECT_EQ(program.waitForExit(), std::optional<DWORD>(0));
    }
    RunningProgram program = start();
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

TEST_F(Program, ASecondCopyRestoresTheFirstShowsNothingAndExitsWithOne) {
    RunningProgram first = start();
    // Once started up, so that nothing of the start-up shows the window again.
    const std::wstring_view idle = L"Connect device fail, please check the cable.";
    ASSERT_EQ(waitForStatus(idle), idle);
    ::ShowWindow(window(), SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(window()));

    RunningProgram second = RunningProgram::start(executable());
    EXPECT_EQ(second.waitForExit(), std::optional<DWORD>(1));
    EXPECT_FALSE(::IsIconic(window()));
    EXPECT_EQ(::GetForegroundWindow(), window());
    EXPECT_EQ(findMainWindow(second.processId()), nullptr);
    EXPECT_EQ(first.close(), std::optional<DWORD>(0));
}

TEST_F(Program, ASecondCopyHandsTheForegroundToTheFirstCopyWithItsOpenDialog) {
    RunningProgram first = start();
    postCommand(window(), ID_HELP_ABOUT);
    const HWND about = waitForWindow(first.processId(), L"About Brenvik-USB");
    ASSERT_NE(about, nullptr);
    // Another program's window has the foreground when the second copy starts.
    const HWND other =
        ::CreateWindowExW(0, L"Static", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                          200, 100, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(other);
    ASSERT_EQ(::GetForegroundWindow(), other);

    RunningProgram second = RunningProgram::start(executable());
    EXPECT_EQ(second.waitForExit(), std::optional<DWORD>(1));
    // Wine activates across processes asynchronously, and may settle on the owner rather than
    // its pop-up; either way the first copy has the foreground and its dialog is still open.
    const HWND foreground = ::GetForegroundWindow();
    EXPECT_TRUE(foreground == about || foreground == window());
    EXPECT_TRUE(::IsWindowVisible(about));
    ::DestroyWindow(other);
    pressButton(about, IDOK);
    EXPECT_TRUE(waitUntilGone(about));
    EXPECT_EQ(first.close(), std::optional<DWORD>(0));
}

TEST_F(Program, CopiesUnderDifferentFileNamesBothRun) {
    fs::copy_file(executable(), folder() / "Brenvik-USB-bench.exe");
    RunningProgram first = start();
    RunningProgram second = RunningProgram::start(folder() / "Brenvik-USB-bench.exe");
    EXPECT_NE(second.waitForMainWindow(), nullptr);
    EXPECT_TRUE(first.running());
    EXPECT_EQ(second.close(), std::optional<DWORD>(0));
    EXPECT_EQ(first.close(), std::optional<DWORD>(0));
}

} // namespace
} // namespace brenvik::wintest
