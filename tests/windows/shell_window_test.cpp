// The main window as the program builds it, run on a thread of the test program and examined
// live: start-up state, fonts, the About box, the Enter key, and what the window paints:
// pictures, colour buttons, field 1017.

#include "framework/handles.h"
#include "framework/module_path.h"
#include "shell/brenvik_dlg_win32.h"
#include "tests/support/fake_clock.h"
#include "tests/windows/support/live_dialog.h"
#include "tools/driver/program_driver.h"
#include "ui/app_paths.h"
#include "virtual_supply/virtual_bridge.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <optional>
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

    ProgramState& programState() { return state; }

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

// One main window shared by the tests that leave it as they found it: ending a window with a
// taskbar button costs Wine about two seconds.
class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shared = startMainWindow(); }
    static void TearDownTestSuite() { shared.reset(); }

    static inline std::unique_ptr<LiveDialog> shared;
    HWND window = shared->hwnd();
    QuietMainWindow& dialog = static_cast<QuietMainWindow&>(shared->dialog());
};

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
}

// A bitmap to draw a window or a button into and read back.
struct Canvas {
    Canvas(int width, int height)
        : dc(::CreateCompatibleDC(nullptr)),
          bitmap(::CreateCompatibleBitmap(framework::WindowDc(nullptr).get(), width, height)),
          selected(dc.get(), bitmap.get()) {}
    COLORREF at(int x, int y) const { return ::GetPixel(dc.get(), x, y); }

    framework::UniqueMemoryDc dc;
    framework::UniqueBitmap bitmap;
    framework::SelectedObject selected;
};

// A colour button drawn as it asks its owner to (WM_PRINTCLIENT), or with `itemState` through
// the owner's WM_DRAWITEM: pixels x = 0..2 at half height, then whether the caption area holds
// more than 20 white and more than 20 grey pixels.
std::vector<COLORREF> renderButton(HWND window, int id, std::optional<UINT> itemState) {
    const HWND button = ::GetDlgItem(window, id);
    RECT rect{};
    ::GetClientRect(button, &rect);
    const Canvas canvas(rect.right, rect.bottom);
    const framework::SelectedObject font(
        canvas.dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(button, WM_GETFONT, 0, 0)));
    if (!itemState) {
        ::SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc.get()),
                       PRF_CLIENT);
    } else {
        DRAWITEMSTRUCT item{ODT_BUTTON,      UINT(id), 0, ODA_DRAWENTIRE, *itemState, button,
                            canvas.dc.get(), rect,     0};
        ::SendMessageW(window, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&item));
    }
    std::vector<COLORREF> out;
    for (int x = 0; x < 3; ++x) {
        out.push_back(canvas.at(x, rect.bottom / 2));
    }
    int white = 0, grey = 0;
    for (int y = 5; y < rect.bottom - 5; ++y) {
        for (int x = 5; x < rect.right - 5; ++x) {
            white += canvas.at(x, y) == RGB(255, 255, 255) ? 1 : 0;
            grey += canvas.at(x, y) == RGB(128, 128, 128) ? 1 : 0;
        }
    }
    out.insert(out.end(), {COLORREF(white > 20), COLORREF(grey > 20)});
    return out;
}

// The drawing steps are proven natively; here the window carries them out: the raised frame
// and white caption on green when idle, on red while monitoring, and the engraved caption on the
// system face when disabled.
TEST_F(MainWindow, ColourButtonsDrawFaceFrameAndCaptionByState) {
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF light = ::GetSysColor(COLOR_3DLIGHT);
    EXPECT_EQ(renderButton(window, IDC_BTN_APPLY, std::nullopt),
              (std::vector<COLORREF>{highlight, light, RGB(0, 128, 0), 1, 0}));
    EXPECT_EQ(renderButton(window, IDC_BTN_APPLY, ODS_DISABLED),
              (std::vector<COLORREF>{highlight, light, ::GetSysColor(COLOR_BTNFACE), 1, 1}));
    dialog.startStopButton().setColours(RGB(255, 255, 255), RGB(255, 0, 0));
    const std::vector<COLORREF> red = renderButton(window, IDC_BTN_START, std::nullopt);
    dialog.startStopButton().setColours(RGB(255, 255, 255), RGB(0, 128, 0));
    EXPECT_EQ(red, (std::vector<COLORREF>{highlight, light, RGB(255, 0, 0), 1, 0}));
}

TEST_F(MainWindow, BatteryInstalledTimeBackgroundByBatteryAge) {
    const HWND field = ::GetDlgItem(window, IDC_EDT_BATTERY_TIME);
    const framework::WindowDc dc(field);
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

// The window's client area as it shows after a full repaint.
std::vector<COLORREF> paintedPixels(HWND window, const std::vector<POINT>& points) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT client{};
    ::GetClientRect(window, &client);
    const Canvas canvas(client.right, client.bottom);
    ::BitBlt(canvas.dc.get(), 0, 0, client.right, client.bottom, framework::WindowDc(window).get(),
             0, 0, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (const POINT& point : points) {
        pixels.push_back(canvas.at(point.x, point.y));
    }
    return pixels;
}

TEST_F(MainWindow, PicturesAndAboutBoxFromEveryEntryOtherSystemCommandsAsUsual) {
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
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
    EXPECT_FALSE(::IsIconic(window));

    // Started elsewhere, the program finds no pictures and paints the rest as usual.
    const fs::path folder = fs::current_path();
    fs::current_path(folder.root_path());
    const std::vector<COLORREF> missing = paintedPixels(window, points);
    fs::current_path(folder);
    EXPECT_EQ(missing, (std::vector<COLORREF>(5, face)));
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
        EXPECT_EQ(::GetMenuState(::GetMenu(window), 32775, MF_BYCOMMAND) & MF_GRAYED, greyed);
        EXPECT_EQ(std::pair(button.textColour, button.faceColour),
                  std::pair(RGB(255, 255, 255), face));
    }
    // Enter presses the hidden default button, which does not end the run: the Cancel that
    // follows it does, which a run ended by Enter would have reported as IDOK.
    postKey(::GetDlgItem(window, IDC_EDT_AC_HOURS), VK_RETURN);
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(live->waitForResult(10s), std::optional<INT_PTR>(IDCANCEL));
}

} // namespace
} // namespace brenvik::wintest
