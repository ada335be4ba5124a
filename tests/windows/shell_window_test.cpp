// The main window as the program builds it, run on a thread of the test program over a virtual
// bridge and examined live: start-up state, fonts, what the window paints (pictures, colour
// buttons, field 1017), the About box, the menu START greys, and the Enter key. Its logic is
// proven natively on the fake window; here the real controls carry it out.

#include "shell/brenvik_dlg_win32.h"
#include "tests/support/fake_clock.h"
#include "tests/windows/support/live_dialog.h"
#include "tools/driver/program_driver.h"
#include "ui/app_paths.h"
#include "virtual_supply/virtual_bridge.h"
#include "win32/module_path.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <optional>
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
        : CBrenvikforCustomDlg(win32::modulePath(), applicationName(win32::modulePath()).wstring(),
                               state, clock) {}

    ProgramState& programState() { return state; }

protected:
    bool onInitDialog() override {
        const bool result = CBrenvikforCustomDlg::onInitDialog();
        ::KillTimer(hwnd(), IDT_CONNECT);
        return result;
    }
};

// One main window for the whole file, which each test leaves as it found it (ending a window with
// a taskbar button costs Wine about two seconds); the last test ends it.
class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = std::make_unique<LiveDialog>([] { return std::make_unique<QuietMainWindow>(); });
        waitUntil(10s, [] { return ::IsWindowVisible(shared->hwnd()) != FALSE; });
    }
    static void TearDownTestSuite() { shared.reset(); }

    static inline std::unique_ptr<LiveDialog> shared;
    HWND window = shared->hwnd();
    QuietMainWindow& dialog = static_cast<QuietMainWindow&>(shared->dialog());
};

// Pixels of the window's client area as it shows after a full repaint.
std::vector<COLORREF> paintedPixels(HWND window, const std::vector<POINT>& points) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const win32::WindowDc dc(window);
    std::vector<COLORREF> pixels;
    for (const POINT& point : points) {
        pixels.push_back(::GetPixel(dc.get(), point.x, point.y));
    }
    return pixels;
}

TEST_F(MainWindow, StartsReadyWithTheAboutEntryStatusBarAndFonts) {
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(focusedWindow(window), ::GetDlgItem(window, IDC_CHK_CHARGE_SELECTOR));
    // The About entry below a separator at the end of the system menu.
    const HMENU system = ::GetSystemMenu(window, FALSE);
    const int count = ::GetMenuItemCount(system);
    wchar_t about[32] = {};
    ::GetMenuStringW(system, count - 1, about, 32, MF_BYPOSITION);
    EXPECT_NE(::GetMenuState(system, count - 2, MF_BYPOSITION) & MF_SEPARATOR, 0u);
    EXPECT_EQ(std::pair(::GetMenuItemID(system, count - 1), std::wstring(about)),
              std::pair(UINT{0x10}, std::wstring(L"&About Brenvik...")));

    // The status bar: the label in a part of 130 pixels, the status line beside it.
    const HWND bar = statusBar(window);
    EXPECT_EQ(std::pair(statusBarText(bar, 0), statusBarText(bar, 1)),
              std::pair(std::wstring(L"Pass/Failure Status"), std::wstring(L"Ready")));
    int edges[3] = {};
    EXPECT_EQ(::SendMessageW(bar, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(std::pair(edges[0], edges[1]), std::pair(130, -1));

    const int dpi = ::GetDeviceCaps(win32::WindowDc(nullptr).get(), LOGPIXELSY);
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
}

TEST_F(MainWindow, BatteryInstalledTimeBackgroundByBatteryAge) {
    const HWND field = ::GetDlgItem(window, IDC_EDT_BATTERY_TIME);
    const win32::WindowDc dc(field);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const std::pair<int, COLORREF> cases[] = {
        {1, RGB(0, 255, 0)}, {2, RGB(255, 255, 0)}, {3, RGB(255, 0, 0)}, {0, face}, {4, face}};
    for (const auto& [age, background] : cases) {
        dialog.programState().monitor.batteryAge = static_cast<monitor::BatteryAge>(age);
        ::SetBkMode(dc.get(), TRANSPARENT);
        EXPECT_NE(::SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                                 reinterpret_cast<LPARAM>(field)),
                  0);
        EXPECT_EQ(std::pair(::GetBkColor(dc.get()), ::GetBkMode(dc.get())),
                  std::pair(background, OPAQUE))
            << age;
    }
    dialog.programState().monitor.batteryAge = monitor::BatteryAge::None;
}

TEST_F(MainWindow, PicturesColourButtonsAboutBoxFromEveryEntryOtherSystemCommandsAsUsual) {
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    // The colour button's drawing steps are proven natively; here the idle APPLY draws its raised
    // frame (x = 0, 1) on green, halfway down.
    const HWND apply = ::GetDlgItem(window, IDC_BTN_APPLY);
    RECT button{};
    ::GetClientRect(apply, &button);
    const LONG half = button.bottom / 2;
    EXPECT_EQ(paintedPixels(apply, {{0, half}, {1, half}, {2, half}}),
              (std::vector<COLORREF>{::GetSysColor(COLOR_BTNHIGHLIGHT),
                                     ::GetSysColor(COLOR_3DLIGHT), RGB(0, 128, 0)}));

    const COLORREF lamp = RGB(0x3C, 0xC8, 0x5A);
    // Logo square, white beside it; the supply's lamp; the battery's frame, its inner top.
    const std::vector<POINT> points{{2, 2}, {66, 2}, {317, 101}, {735, 95}, {738, 98}};
    EXPECT_EQ(paintedPixels(window, points), (std::vector<COLORREF>{0, face, lamp, 0, face}));
    dialog.programState().activity = true;
    EXPECT_EQ(paintedPixels(window, points), (std::vector<COLORREF>{0, face, lamp, 0, lamp}));
    dialog.programState().activity = false;

    // The low four bits of a system command carry no meaning of their own. The About box's logo
    // at (20, 10): its black square, the white roof in it seen through.
    for (const auto& [message, command] : {std::pair<UINT, WPARAM>(WM_SYSCOMMAND, 0x10),
                                           std::pair<UINT, WPARAM>(WM_SYSCOMMAND, 0x13),
                                           std::pair<UINT, WPARAM>(WM_COMMAND, ID_HELP_ABOUT)}) {
        ::PostMessageW(window, message, command, 0);
        const HWND about = waitForWindow(::GetCurrentProcessId(), L"About Brenvik-USB", 10s);
        ASSERT_NE(about, nullptr) << command;
        EXPECT_EQ(::GetWindow(about, GW_OWNER), window);
        EXPECT_EQ(paintedPixels(about, {{22, 12}, {36, 24}}), (std::vector<COLORREF>{0, face}));
        pressButton(about, IDOK);
        EXPECT_TRUE(waitUntilGone(about, 10s));
    }
    ::SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(window));
    ::SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);

    // Started elsewhere, the program finds no pictures and paints the rest as usual.
    const fs::path folder = fs::current_path();
    fs::current_path(folder.root_path());
    const std::vector<COLORREF> missing = paintedPixels(window, points);
    fs::current_path(folder);
    EXPECT_EQ(missing, (std::vector<COLORREF>(5, face)));
}

// The menu is another process's to read only in Windows, not in Wine, so START greying "Save
// Configuration" is read here. Enter then presses the hidden default button, which does not end
// the run: the Cancel that follows it does, which a run ended by Enter would have reported as
// IDOK. Last of the file, as it ends the window.
TEST_F(MainWindow, StartGreysSaveConfigurationStopUndoesItEnterDoesNotEndTheRun) {
    for (const auto& [text, greyed] :
         {std::pair(L"STOP", UINT{MF_GRAYED}), std::pair(L"START", 0u)}) {
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BTN_START, BN_CLICKED), 0);
        EXPECT_EQ(controlText(window, IDC_BTN_START), text);
        EXPECT_EQ(::GetMenuState(::GetMenu(window), 32775, MF_BYCOMMAND) & MF_GRAYED, greyed);
    }
    postKey(::GetDlgItem(window, IDC_EDT_AC_HOURS), VK_RETURN);
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(shared->waitForResult(10s), std::optional<INT_PTR>(IDCANCEL));
}

} // namespace
} // namespace brenvik::wintest
