// The main window as the program builds it, run on a thread of the test program and examined
// live: controls against their template, start-up state, status bar, menus, fonts, the About
// box and the Enter key.

#include "framework/handles.h"
#include "framework/module_path.h"
#include "shell/brenvik_dlg_win32.h"
#include "tests/support/fake_clock.h"
#include "tests/windows/support/dialog_template.h"
#include "tests/windows/support/live_dialog.h"
#include "tests/windows/support/program_driver.h"
#include "ui/app_paths.h"
#include "virtual_supply/virtual_bridge.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <tuple>

namespace brenvik::wintest {
namespace {

// What the program keeps outside the window: a virtual bridge stands in for the adapter and
// waits are only counted.
struct ProgramParts {
    vsupply::VirtualBridge bridge;
    ProgramState state{bridge};
    testing::FakeClock clock;
};

// The main window without its connection attempt, so it stays as its initialisation left it.
class QuietMainWindow : private ProgramParts, public CBrenvikforCustomDlg {
public:
    QuietMainWindow()
        : CBrenvikforCustomDlg(framework::modulePath(),
                               applicationName(framework::modulePath()).wstring(), state, clock) {}

protected:
    bool onInitDialog() override {
        const bool result = CBrenvikforCustomDlg::onInitDialog();
        ::KillTimer(hwnd(), IDT_CONNECT);
        return result;
    }
};

std::unique_ptr<LiveDialog> startMainWindow() {
    auto live = std::make_unique<LiveDialog>([] { return std::make_unique<QuietMainWindow>(); });
    for (int i = 0; i < 1000 && ::IsWindowVisible(live->hwnd()) == FALSE; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return live;
}

// One main window shared by the tests that only look at it or leave it as they found it:
// ending a window with a taskbar button costs Wine about two seconds.
class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shared = startMainWindow(); }
    static void TearDownTestSuite() { shared.reset(); }

    static inline std::unique_ptr<LiveDialog> shared;
    HWND window = shared->hwnd();
};

TEST_F(MainWindow, StartsWithFocusOnTheChargeSelectorBoxNothingDisabledAndReady) {
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(focusedWindow(window), ::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR));
    for (HWND child = ::GetWindow(window, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        EXPECT_TRUE(::IsWindowEnabled(child)) << ::GetDlgCtrlID(child);
    }
    EXPECT_EQ(
        shared->dialog().port().comboItems(IDC_CMB_CHARGE_CURRENT),
        (std::vector<std::string>{"Default Charge Current", "1/2 Default Charge Current",
                                  "1/4 Default Charge Current", "1/8 Default Charge Current"}));
    EXPECT_EQ(comboSelection(window, IDC_CMB_CHARGE_CURRENT), 0);

    // The status bar: the label in a part of 130 pixels, the status line beside it.
    const HWND bar = statusBar(window);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(std::pair(statusBarText(bar, 0), statusBarText(bar, 1)),
              std::pair(std::wstring(L"Pass/Failure Status"), std::wstring(L"Ready")));
    int edges[3] = {};
    EXPECT_EQ(::SendMessageW(bar, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(std::pair(edges[0], edges[1]), std::pair(130, -1));
}

TEST_F(MainWindow, TheTemplatesControlsAreCreatedInItsOrderAndTabInThatOrder) {
    const DialogTemplate layout = loadDialogTemplate(brenvikExecutable(), IDD_BRENVIK_DIALOG);
    std::vector<std::pair<int, bool>> expected;
    std::vector<int> tabOrder;
    for (const DialogItem& item : layout.items) {
        expected.emplace_back(item.id, (item.style & WS_VISIBLE) != 0);
        if ((item.style & (WS_TABSTOP | WS_VISIBLE)) == (WS_TABSTOP | WS_VISIBLE)) {
            tabOrder.push_back(item.id);
        }
    }
    // Id and visibility of every control but the status bar, in creation order.
    std::vector<std::pair<int, bool>> created;
    for (HWND child = ::GetWindow(window, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (child != statusBar(window)) {
            created.emplace_back(::GetDlgCtrlID(child), ::IsWindowVisible(child) != FALSE);
        }
    }
    EXPECT_EQ(created, expected);

    const HWND first = ::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR);
    std::vector<int> visited{IDC_CHK_CHARGE_SELECTOR};
    for (HWND control = ::GetNextDlgTabItem(window, first, FALSE);
         control != first && visited.size() <= tabOrder.size();
         control = ::GetNextDlgTabItem(window, control, FALSE)) {
        visited.push_back(::GetDlgCtrlID(control));
    }
    EXPECT_EQ(visited, tabOrder);
}

std::wstring menuText(HMENU menu, int position) {
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

TEST_F(MainWindow, MenuBarAndTheSystemMenuAboutEntry) {
    // Popup, item and command of every entry, none greyed.
    const HMENU menu = ::GetMenu(window);
    std::vector<std::wstring> entries;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        const HMENU sub = ::GetSubMenu(menu, i);
        for (int j = 0; j < ::GetMenuItemCount(sub); ++j) {
            const UINT command = ::GetMenuItemID(sub, j);
            EXPECT_EQ(::GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED, 0u) << command;
            entries.push_back(menuText(menu, i) + L"/" + menuText(sub, j) + L"/" +
                              std::to_wstring(command));
        }
    }
    EXPECT_EQ(entries, (std::vector<std::wstring>{
                           L"File/Save Configuration/32775", L"File/Load Configuration/32773",
                           L"Connect/Connect Device/32779", L"Help/About/32774"}));

    const HMENU system = ::GetSystemMenu(window, FALSE);
    const int count = ::GetMenuItemCount(system);
    ASSERT_GE(count, 2);
    EXPECT_NE(::GetMenuState(system, count - 2, MF_BYPOSITION) & MF_SEPARATOR, 0u);
    EXPECT_EQ(::GetMenuItemID(system, count - 1), UINT(IDM_ABOUTBOX));
    EXPECT_EQ(menuText(system, count - 1), L"&About Brenvik...");
}

TEST_F(MainWindow, ControlsCarryTheFontsOfTheirRoleAndTheWindowItsIcons) {
    const int dpi = ::GetDeviceCaps(framework::WindowDc(nullptr).get(), LOGPIXELSY);
    const std::tuple<int, std::wstring, int> fonts[] = {
        {IDC_LBL_TITLE, L"Arial Bold", 24},     {IDC_LBL_PROGRAMMING, L"Arial Bold", 15},
        {IDC_BTN_START, L"Arial Bold", 18},     {IDC_EDT_AC_HOURS, L"Arial Bold", 13},
        {IDC_LBL_TRADEMARK, L"Arial Bold", 11}, {IDC_LBL_FOOTER, L"Arial", 11}};
    for (const auto& [id, face, points] : fonts) {
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendDlgItemMessageW(window, id, WM_GETFONT, 0, 0)),
                     sizeof(font), &font);
        EXPECT_EQ(std::tuple(std::wstring(font.lfFaceName), font.lfHeight, font.lfWeight),
                  std::tuple(face, -::MulDiv(points, dpi, 72), LONG{FW_DONTCARE}))
            << id;
    }
    // Dragging the minimised window shows the big icon.
    const LRESULT big = ::SendMessageW(window, WM_GETICON, ICON_BIG, 0);
    EXPECT_NE(big, 0);
    EXPECT_EQ(::SendMessageW(window, WM_QUERYDRAGICON, 0, 0), big);
}

TEST_F(MainWindow, AboutBoxFromTheSystemMenuAndHelpAboutOtherSystemCommandsAsUsual) {
    // The low four bits of a system command carry no meaning of their own.
    for (const auto& [message, command] : {std::pair<UINT, WPARAM>(WM_SYSCOMMAND, IDM_ABOUTBOX),
                                           std::pair<UINT, WPARAM>(WM_SYSCOMMAND, IDM_ABOUTBOX | 3),
                                           std::pair<UINT, WPARAM>(WM_COMMAND, ID_HELP_ABOUT)}) {
        ::PostMessageW(window, message, command, 0);
        const HWND about = waitForWindow(::GetCurrentProcessId(), L"About Brenvik-USB", 10s);
        ASSERT_NE(about, nullptr) << command;
        EXPECT_EQ(::GetWindow(about, GW_OWNER), window);
        pressButton(about, IDOK);
        EXPECT_TRUE(waitUntilGone(about, 10s));
    }
    // Other system commands keep their default handling.
    ::SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(window));
    ::SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(::IsIconic(window));
}

// The menu is another process's to read only in Windows, not in Wine: START and STOP are
// checked here on a window of the test's own.
TEST(MainWindowEnd, StartGreysSaveConfigurationAndTurnsTheButtonRedStopUndoesBoth) {
    const std::unique_ptr<LiveDialog> live = startMainWindow();
    const HWND window = live->hwnd();
    const CColorButton& button =
        static_cast<CBrenvikforCustomDlg&>(live->dialog()).startStopButton();
    for (const auto& [text, face, greyed] : {std::tuple(L"STOP", RGB(255, 0, 0), UINT{MF_GRAYED}),
                                             std::tuple(L"START", RGB(0, 128, 0), UINT{0})}) {
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BTN_START, BN_CLICKED), 0);
        EXPECT_EQ(controlText(window, IDC_BTN_START), text);
        EXPECT_EQ(::GetMenuState(::GetMenu(window), ID_FILE_SAVECONFIGURATION, MF_BYCOMMAND) &
                      MF_GRAYED,
                  greyed);
        EXPECT_EQ(std::pair(button.textColour, button.faceColour),
                  std::pair(RGB(255, 255, 255), face));
    }
}

// Enter presses the hidden default button, which does not end the run: the Cancel that follows
// it does, which a run ended by Enter would have reported as IDOK.
TEST(MainWindowEnd, EnterDoesNotEndTheModalRun) {
    const std::unique_ptr<LiveDialog> live = startMainWindow();
    postKey(::GetDlgItem(live->hwnd(), IDC_EDT_AC_HOURS), VK_RETURN);
    ::PostMessageW(live->hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(live->waitForResult(10s), std::optional<INT_PTR>(IDCANCEL));
}

} // namespace
} // namespace brenvik::wintest
