// Brenvik-USB as a user starts it: without the adapter library beside it, one copy at a time,
// copies under other names side by side, and Escape ending it.

#include "tools/driver/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

constexpr std::wstring_view kNoLibrary = L"Connect device fail, please check the cable.";

class Program : public ::testing::Test, protected ProgramSession {};

TEST_F(Program, ASecondCopyRestoresTheFirstAndItsOpenDialogOtherNamesRunEscapeEnds) {
    // No FTCSPI.dll anywhere the program looks: every adapter call fails and the connect step is
    // over at once.
    fs::remove(folder() / "FTCSPI.dll");
    // Once started up, so that nothing of the start-up shows the window again.
    RunningProgram first = start();
    ASSERT_EQ(waitForStatus(kNoLibrary), kNoLibrary);
    ::ShowWindow(window(), SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(window()));
    RunningProgram second = RunningProgram::start(executable());
    EXPECT_EQ(second.waitForExit(), std::optional<DWORD>(1));
    EXPECT_FALSE(::IsIconic(window()));
    EXPECT_EQ(::GetForegroundWindow(), window());

    pressButton(window(), ID_HELP_ABOUT);
    const HWND about = waitForWindow(first.processId(), L"About Brenvik-USB");
    ASSERT_NE(about, nullptr);
    // Another program's window has the foreground when the next copy starts.
    const HWND other =
        ::CreateWindowExW(0, L"Static", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                          200, 100, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(other);
    ASSERT_EQ(::GetForegroundWindow(), other);
    EXPECT_EQ(RunningProgram::start(executable()).waitForExit(), std::optional<DWORD>(1));
    // Wine activates across processes asynchronously, and may settle on the owner rather than
    // its pop-up; either way the first copy gets the foreground and its dialog is still open.
    EXPECT_TRUE(waitUntil(2s, [&] {
        return ::GetForegroundWindow() == about || ::GetForegroundWindow() == window();
    }));
    EXPECT_TRUE(::IsWindowVisible(about));
    ::DestroyWindow(other);
    pressButton(about, IDOK);
    EXPECT_TRUE(waitUntilGone(about));

    fs::copy_file(executable(), folder() / "Brenvik-USB-bench.exe");
    RunningProgram renamed = RunningProgram::start(folder() / "Brenvik-USB-bench.exe");
    EXPECT_NE(renamed.waitForMainWindow(), nullptr);
    EXPECT_EQ(renamed.close(), std::optional<DWORD>(0));
    postKey(::GetDlgItem(window(), IDC_CHK_CHARGE_SELECTOR), VK_ESCAPE);
    EXPECT_EQ(first.waitForExit(), std::optional<DWORD>(0));
}

} // namespace
} // namespace brenvik::wintest
