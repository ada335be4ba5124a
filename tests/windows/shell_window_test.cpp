// The main window as the program builds it, run on a thread of the test program and examined
// live: controls against their template, start-up state, menus, fonts, status bar, About box
// and the ways the modal run ends.

#include "framework/module_path.h"
#include "res/resource.h"
#include "shell/app_paths.h"
#include "shell/brenvik_dlg_win32.h"
#include "tests/support/fake_clock.h"
#include "tests/windows/support/dialog_template.h"
#include "tests/windows/support/live_dialog.h"
#include "tests/windows/support/program_driver.h"
#include "virtual_supply/virtual_bridge.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace brenvik::wintest {
namespace {

std::wstring testApplicationName() {
    return applicationName(framework::modulePath()).wstring();
}

// The main window, with a record of what it showed the moment its initialisation ended (later
// timer work may change the status line and the enabled states).
// What the program keeps outside the window: a virtual bridge stands in for the adapter and
// waits are only counted.
struct ProgramParts {
    vsupply::VirtualBridge bridge;
    ProgramState state{bridge};
    testing::FakeClock clock;
};

class ObservedMainWindow : private ProgramParts, public CBrenvikforCustomDlg {
public:
    ObservedMainWindow()
        : CBrenvikforCustomDlg(framework::modulePath(), testApplicationName(), state, clock) {}

    const ProgramState& programState() const { return state; }

    std::wstring statusLabel;
    std::wstring statusLine;
    std::vector<std::wstring> chargeItems;
    int chargeSelection = -2;
    std::vector<int> disabledControls;
    bool markerGoneAtDestroy = false;

protected:
    framework::Reply handleMessage(const framework::Message& message) override {
        const framework::Reply reply = CBrenvikforCustomDlg::handleMessage(message);
        if (message.id == WM_DESTROY) {
            markerGoneAtDestroy = ::GetPropW(hwnd(), testApplicationName().c_str()) == nullptr;
        }
        return reply;
    }

    bool onInitDialog() override {
        const bool result = CBrenvikforCustomDlg::onInitDialog();
        statusLabel = statusBar().text(0);
        statusLine = statusBar().text(1);
        chargeItems = comboItems(hwnd(), IDC_CMB_CHARGE_CURRENT);
        chargeSelection = comboSelection(hwnd(), IDC_CMB_CHARGE_CURRENT);
        for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (::IsWindowEnabled(child) == FALSE) {
                disabledControls.push_back(::GetDlgCtrlID(child));
            }
        }
        return result;
    }
};

std::unique_ptr<LiveDialog> startMainWindow() {
    auto live = std::make_unique<LiveDialog>([] { return std::make_unique<ObservedMainWindow>(); });
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
    ObservedMainWindow& dialog() { return static_cast<ObservedMainWindow&>(shared->dialog()); }

    RECT dialogUnits(short x, short y, short cx, short cy) const {
        // The dialog maps position and size separately, each rounded on its own.
        RECT units{x, y, cx, cy};
        ::MapDialogRect(window, &units);
        return RECT{units.left, units.top, units.left + units.right, units.top + units.bottom};
    }
};

// Tests that end the modal run get a window of their own.
class MainWindowRun : public ::testing::Test {
protected:
    std::unique_ptr<LiveDialog> live = startMainWindow();
    HWND window = live->hwnd();
};

std::vector<HWND> templateControls(HWND window) {
    std::vector<HWND> controls;
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (className(child) != STATUSCLASSNAMEW) {
            controls.push_back(child);
        }
    }
    return controls;
}

TEST_F(MainWindow, EveryTemplateControlIsCreatedInOrderWhereTheTemplatePutsIt) {
    ASSERT_NE(window, nullptr);
    const DialogTemplate layout = loadDialogTemplate(brenvikExecutable(), IDD_BRENVIK_DIALOG);
    const std::vector<HWND> controls = templateControls(window);
    ASSERT_EQ(controls.size(), layout.items.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const DialogItem& item = layout.items[i];
        SCOPED_TRACE("id " + std::to_string(item.id));
        EXPECT_EQ(::GetDlgCtrlID(controls[i]), item.id);
        EXPECT_EQ(_wcsicmp(className(controls[i]).c_str(), item.windowClass.c_str()), 0);
        const RECT want = dialogUnits(item.x, item.y, item.cx, item.cy);
        const RECT got = rectInParent(controls[i], window);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right, want.right);
        if (_wcsicmp(item.windowClass.c_str(), L"ComboBox") !=
            0) { // the height of a closed combo is its edit's
            EXPECT_EQ(got.bottom, want.bottom);
        }
        EXPECT_EQ(::IsWindowVisible(controls[i]) != FALSE, (item.style & WS_VISIBLE) != 0);
        if (_wcsicmp(item.windowClass.c_str(), L"Static") == 0 ||
            _wcsicmp(item.windowClass.c_str(), L"Button") == 0) {
            EXPECT_EQ(windowText(controls[i]), item.text);
        }
    }
}

TEST_F(MainWindow, TabOrderFollowsTheTemplateFromTheChargeSelectorBox) {
    const DialogTemplate layout = loadDialogTemplate(brenvikExecutable(), IDD_BRENVIK_DIALOG);
    std::vector<int> expected;
    for (const DialogItem& item : layout.items) {
        if ((item.style & WS_TABSTOP) != 0 && (item.style & WS_VISIBLE) != 0) {
            expected.push_back(item.id);
        }
    }
    ASSERT_EQ(expected.front(), IDC_CHK_CHARGE_SELECTOR);
    std::vector<int> visited;
    HWND control = ::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR);
    do {
        visited.push_back(::GetDlgCtrlID(control));
        control = ::GetNextDlgTabItem(window, control, FALSE);
    } while (control != nullptr && control != ::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR) &&
             visited.size() <= expected.size());
    EXPECT_EQ(visited, expected);
}

TEST_F(MainWindow, StartsWithFocusOnTheChargeSelectorBoxAndNothingDisabled) {
    EXPECT_TRUE(dialog().disabledControls.empty());
    EXPECT_EQ(focusedWindow(window), ::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR));
    EXPECT_EQ(windowText(window), L"Brenvik-USB");
}

TEST_F(MainWindow, ChargeSelectorStartsWithTheFourDefaultEntries) {
    EXPECT_EQ(
        dialog().chargeItems,
        (std::vector<std::wstring>{L"Default Charge Current", L"1/2 Default Charge Current",
                                   L"1/4 Default Charge Current", L"1/8 Default Charge Current"}));
    EXPECT_EQ(dialog().chargeSelection, 0);
}

TEST_F(MainWindow, StatusBarHasTheLabelAndReadyAlongTheBottomEdge) {
    EXPECT_EQ(dialog().statusLabel, L"Pass/Failure Status");
    EXPECT_EQ(dialog().statusLine, L"Ready");

    const HWND bar = statusBar(window);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(::GetDlgCtrlID(bar), 0);
    EXPECT_TRUE(::IsWindowVisible(bar));
    EXPECT_EQ(style(bar) & SBARS_SIZEGRIP, 0u);
    EXPECT_EQ(statusBarParts(bar), (std::vector<int>{130, -1}));
    RECT client{};
    ::GetClientRect(window, &client);
    const RECT barRect = rectInParent(bar, window);
    EXPECT_EQ(barRect.bottom, client.bottom);
    EXPECT_EQ(barRect.left, 0);
    EXPECT_EQ(barRect.right, client.right);
    // The bar keeps the system's font rather than the panel's.
    EXPECT_NE(::SendMessageW(bar, WM_GETFONT, 0, 0),
              ::SendDlgItemMessageW(window, IDC_CHK_CHARGE_SELECTOR, WM_GETFONT, 0, 0));
}

TEST_F(MainWindow, MenuBarAndTheSystemMenuAboutEntry) {
    const HMENU menu = ::GetMenu(window);
    ASSERT_NE(menu, nullptr);
    struct Entry {
        std::wstring popup;
        std::wstring item;
        UINT command;
    };
    std::vector<Entry> entries;
    wchar_t text[128];
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        ::GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
        const std::wstring popup = text;
        const HMENU sub = ::GetSubMenu(menu, i);
        for (int j = 0; j < ::GetMenuItemCount(sub); ++j) {
            ::GetMenuStringW(sub, j, text, 128, MF_BYPOSITION);
            entries.push_back({popup, text, ::GetMenuItemID(sub, j)});
        }
    }
    ASSERT_EQ(entries.size(), 4u);
    const std::vector<Entry> expected = {{L"File", L"Save Configuration", 32775},
                                         {L"File", L"Load Configuration", 32773},
                                         {L"Connect", L"Connect Device", 32779},
                                         {L"Help", L"About", 32774}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].popup, expected[i].popup);
        EXPECT_EQ(entries[i].item, expected[i].item);
        EXPECT_EQ(entries[i].command, expected[i].command);
        EXPECT_EQ(::GetMenuState(menu, expected[i].command, MF_BYCOMMAND) & MF_GRAYED, 0u);
    }

    const HMENU system = ::GetSystemMenu(window, FALSE);
    const int count = ::GetMenuItemCount(system);
    ASSERT_GE(count, 2);
    EXPECT_NE(::GetMenuState(system, count - 2, MF_BYPOSITION) & MF_SEPARATOR, 0u);
    EXPECT_EQ(::GetMenuItemID(system, count - 1), UINT(IDM_ABOUTBOX));
    ::GetMenuStringW(system, count - 1, text, 128, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&About Brenvik...");
}

LOGFONTW fontOf(HWND control) {
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    ::GetObjectW(handle, sizeof(font), &font);
    return font;
}

TEST_F(MainWindow, ControlsCarryTheFontsOfTheirRole) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    struct Expected {
        int id;
        const wchar_t* face;
        int points;
    };
    for (const Expected& want :
         {Expected{IDC_LBL_TITLE, L"Arial Bold", 24},
          Expected{IDC_LBL_TRADEMARK, L"Arial Bold", 11},
          Expected{IDC_LBL_PROGRAMMING, L"Arial Bold", 15},
          Expected{IDC_LBL_MONITORING, L"Arial Bold", 15},
          Expected{IDC_BTN_APPLY, L"Arial Bold", 18}, Expected{IDC_BTN_START, L"Arial Bold", 18},
          Expected{IDC_LBL_FOOTER, L"Arial", 11},
          Expected{IDC_CHK_CHARGE_SELECTOR, L"Arial Bold", 13},
          Expected{IDC_EDT_AC_HOURS, L"Arial Bold", 13},
          Expected{IDC_CMB_CHARGE_CURRENT, L"Arial Bold", 13},
          Expected{IDC_EDT_PART_NUMBER, L"Arial Bold", 13},
          Expected{IDC_BTN_HIDDEN, L"Arial Bold", 13}}) {
        SCOPED_TRACE(want.id);
        const LOGFONTW font = fontOf(::GetDlgItem(window, want.id));
        EXPECT_STREQ(font.lfFaceName, want.face);
        EXPECT_EQ(font.lfHeight, -::MulDiv(want.points, dpi, 72));
        EXPECT_EQ(font.lfWeight, FW_DONTCARE);
    }
    // Every template control with an id has one of the program's fonts.
    for (HWND control : templateControls(window)) {
        if (::GetDlgCtrlID(control) != IDC_STATIC) {
            EXPECT_NE(::SendMessageW(control, WM_GETFONT, 0, 0), 0) << ::GetDlgCtrlID(control);
        }
    }
}

TEST_F(MainWindow, IconMarkerAndColourButtonsAreSetUp) {
    const auto big = reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    const auto small = reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(small, &info));
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, ::GetSystemMetrics(SM_CXSMICON));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    // Dragging the minimised window shows the big icon.
    EXPECT_EQ(::SendMessageW(window, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(big));

    EXPECT_NE(::GetPropW(window, testApplicationName().c_str()), nullptr);

    for (CColorButton* button : {&dialog().applyButton(), &dialog().startStopButton()}) {
        EXPECT_EQ(button->textColour, RGB(255, 255, 255));
        EXPECT_EQ(button->faceColour, RGB(0, 128, 0));
        EXPECT_EQ(button->disabledFaceColour, ::GetSysColor(COLOR_BTNFACE));
        EXPECT_EQ(button->darkShadowColour, ::GetSysColor(COLOR_3DDKSHADOW));
    }
    EXPECT_EQ(dialog().applyButton().hwnd(), ::GetDlgItem(window, IDC_BTN_APPLY));
    EXPECT_EQ(dialog().startStopButton().hwnd(), ::GetDlgItem(window, IDC_BTN_START));
    EXPECT_EQ(dialog().field1017DefaultColour(), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(dialog().programState().files.current,
              framework::modulePath().parent_path() / "Brenvik.ini");
}

void expectAboutBoxOpensAndCloses(HWND window, UINT message, WPARAM wParam) {
    ::PostMessageW(window, message, wParam, 0);
    const HWND about = waitForWindow(::GetCurrentProcessId(), L"About Brenvik-USB", 10s);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(::GetWindow(about, GW_OWNER), window);
    pressButton(about, IDOK);
    EXPECT_TRUE(waitUntilGone(about, 10s));
}

TEST_F(MainWindow, AboutBoxFromTheSystemMenuAndFromHelpAbout) {
    expectAboutBoxOpensAndCloses(window, WM_SYSCOMMAND, IDM_ABOUTBOX);
    // The low four bits of a system command carry no meaning of their own.
    expectAboutBoxOpensAndCloses(window, WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3);
    expectAboutBoxOpensAndCloses(window, WM_COMMAND, ID_HELP_ABOUT);
    EXPECT_TRUE(::IsWindow(window));
}

TEST_F(MainWindow, OtherSystemCommandsKeepTheirDefaultHandling) {
    ::SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(window));
    ::SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_TRUE(::IsWindow(window));
}

TEST_F(MainWindowRun, EscapeEndsTheModalRunAndTheMarkerGoes) {
    ASSERT_NE(::GetPropW(window, testApplicationName().c_str()), nullptr);
    postKey(::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR), VK_ESCAPE);
    EXPECT_EQ(live->waitForResult(10s), std::optional<INT_PTR>(IDCANCEL));
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(static_cast<ObservedMainWindow&>(live->dialog()).markerGoneAtDestroy);
}

TEST_F(MainWindowRun, EnterPressesTheHiddenDefaultButtonAndDoesNotEndTheRun) {
    postKey(::GetDlgItem(window, IDC_EDT_AC_HOURS), VK_RETURN);
    // Handled after the key: had Enter ended the run, the result would be IDOK.
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(live->waitForResult(10s), std::optional<INT_PTR>(IDCANCEL));
}

TEST_F(MainWindowRun, CloseBoxAndSystemMenuCloseEndTheModalRun) {
    ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(live->waitForResult(10s), std::optional<INT_PTR>(IDCANCEL));
}

TEST_F(MainWindowRun, AltF4EndsTheModalRun) {
    const HWND box = ::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR);
    ::PostMessageW(box, WM_SYSKEYDOWN, VK_F4, 1 | (LPARAM(1) << 29));
    ::PostMessageW(box, WM_SYSKEYUP, VK_F4, 1 | (LPARAM(1) << 29) | (LPARAM(3) << 30));
    EXPECT_EQ(live->waitForResult(10s), std::optional<INT_PTR>(IDCANCEL));
}

} // namespace
} // namespace brenvik::wintest
