// The main window as the program builds it, run on a thread of the test program and examined
// live: controls against their template, start-up state, status bar, menus, fonts, the About
// box, the Enter key, and what the window paints: pictures, colour buttons, field 1017.

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
#include <filesystem>
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

// One main window shared by the tests that only look at it or leave it as they found it:
// ending a window with a taskbar button costs Wine about two seconds.
class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shared = startMainWindow(); }
    static void TearDownTestSuite() { shared.reset(); }

    static inline std::unique_ptr<LiveDialog> shared;
    HWND window = shared->hwnd();
    QuietMainWindow& dialog = static_cast<QuietMainWindow&>(shared->dialog());
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

// A 32-bit top-down bitmap to draw into and read back as 0xRRGGBB pixels.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), dc_(::CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const std::uint32_t*>(bits);
        selected_ = framework::SelectedObject(dc_.get(), bitmap_.get());
    }
    HDC dc() const { return dc_.get(); }
    std::uint32_t at(int x, int y) const {
        ::GdiFlush();
        return bits_[y * width_ + x] & 0xFFFFFF;
    }

private:
    int width_;
    framework::UniqueMemoryDc dc_;
    framework::UniqueBitmap bitmap_;
    framework::SelectedObject selected_{nullptr, nullptr};
    const std::uint32_t* bits_ = nullptr;
};

std::uint32_t pixelOf(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

struct Rendered {
    std::uint32_t left[4];   // x = 0..3 at half height
    std::uint32_t bottom[4]; // y = h-1..h-4 at half width
    POINT captionTopLeft;    // first pixel of the caption colour inside the frame
    int captionPixels;
    int greyPixels;
};

// Draws a colour button of the main window into a bitmap, as the button asks its owner to
// (WM_PRINTCLIENT), or with the given item state through the owner's WM_DRAWITEM.
Rendered renderButton(HWND window, int id, UINT itemState, std::uint32_t caption,
                      bool throughButton = false) {
    const HWND button = ::GetDlgItem(window, id);
    RECT rect{};
    ::GetClientRect(button, &rect);
    const Canvas canvas(rect.right, rect.bottom);
    const framework::SelectedObject font(
        canvas.dc(), reinterpret_cast<HGDIOBJ>(::SendMessageW(button, WM_GETFONT, 0, 0)));
    if (throughButton) {
        ::SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    } else {
        DRAWITEMSTRUCT item{ODT_BUTTON,  UINT(id), 0, ODA_DRAWENTIRE, itemState, button,
                            canvas.dc(), rect,     0};
        ::SendMessageW(window, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&item));
    }
    Rendered out{{}, {}, {-1, -1}, 0, 0};
    for (int i = 0; i < 4; ++i) {
        out.left[i] = canvas.at(i, rect.bottom / 2);
        out.bottom[i] = canvas.at(rect.right / 2, rect.bottom - 1 - i);
    }
    for (int y = 5; y < rect.bottom - 5; ++y) {
        for (int x = 5; x < rect.right - 5; ++x) {
            const std::uint32_t pixel = canvas.at(x, y);
            if (pixel == caption && out.captionPixels++ == 0) {
                out.captionTopLeft = {x, y};
            }
            out.greyPixels += pixel == 0x808080 ? 1 : 0;
        }
    }
    return out;
}

TEST_F(MainWindow, ColourButtonsDrawFaceFrameAndCaptionByState) {
    const std::uint32_t face = pixelOf(::GetSysColor(COLOR_BTNFACE));
    const std::uint32_t highlight = pixelOf(::GetSysColor(COLOR_BTNHIGHLIGHT));
    const std::uint32_t light = pixelOf(::GetSysColor(COLOR_3DLIGHT));
    const std::uint32_t shadow = pixelOf(::GetSysColor(COLOR_BTNSHADOW));
    const std::uint32_t dark = pixelOf(::GetSysColor(COLOR_3DDKSHADOW));

    // Idle, drawn as the button asks for it: white on green, raised frame.
    const Rendered idle = renderButton(window, IDC_BTN_APPLY, 0, 0xFFFFFF, true);
    EXPECT_EQ(std::vector(idle.left, idle.left + 3),
              (std::vector<std::uint32_t>{highlight, light, 0x008000}));
    EXPECT_EQ(std::vector(idle.bottom, idle.bottom + 3),
              (std::vector<std::uint32_t>{dark, shadow, 0x008000}));
    EXPECT_GT(idle.captionPixels, 20);

    // Pressed: two dark rings, no outline, the caption one pixel right and down.
    const Rendered pressed = renderButton(window, IDC_BTN_APPLY, ODS_SELECTED, 0xFFFFFF);
    EXPECT_EQ(std::vector(pressed.left, pressed.left + 3),
              (std::vector<std::uint32_t>{dark, shadow, 0x008000}));
    EXPECT_EQ(std::vector(pressed.bottom, pressed.bottom + 3),
              (std::vector<std::uint32_t>{dark, shadow, 0x008000}));
    EXPECT_EQ(std::pair(pressed.captionTopLeft.x, pressed.captionTopLeft.y),
              std::pair(idle.captionTopLeft.x + 1, idle.captionTopLeft.y + 1));

    // Focused: a black outline around the raised frame.
    const Rendered focused = renderButton(window, IDC_BTN_START, ODS_FOCUS, 0xFFFFFF);
    EXPECT_EQ(std::vector(focused.left, focused.left + 4),
              (std::vector<std::uint32_t>{0x000000, highlight, light, 0x008000}));
    EXPECT_EQ(std::vector(focused.bottom, focused.bottom + 4),
              (std::vector<std::uint32_t>{0x000000, dark, shadow, 0x008000}));

    // Disabled: the system face with a white and grey engraved caption.
    const Rendered disabled = renderButton(window, IDC_BTN_APPLY, ODS_DISABLED, 0xFFFFFF);
    EXPECT_EQ(disabled.left[2], face);
    EXPECT_GT(disabled.captionPixels, 0);
    EXPECT_GT(disabled.greyPixels, 20);

    // Monitoring colours: white on red.
    dialog.startStopButton().setColours(RGB(255, 255, 255), RGB(255, 0, 0));
    const Rendered red = renderButton(window, IDC_BTN_START, 0, 0xFFFFFF, true);
    dialog.startStopButton().setColours(RGB(255, 255, 255), RGB(0, 128, 0));
    EXPECT_EQ(red.left[2], 0xFF0000u);
    EXPECT_GT(red.captionPixels, 20);

    // A colour button made at run time is owner-drawn whatever style it was asked for.
    CColorButton made;
    ASSERT_TRUE(made.create(window, L"GO", WS_CHILD | BS_PUSHBUTTON, {0, 0, 40, 20}, 2000));
    EXPECT_EQ(::GetWindowLongW(made.hwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    ::DestroyWindow(made.hwnd());
}

TEST_F(MainWindow, BatteryInstalledTimeBackgroundByBatteryAge) {
    const framework::WindowDc dc(::GetDlgItem(window, IDC_EDT_BATTERY_TIME));
    const std::uint32_t face = pixelOf(::GetSysColor(COLOR_BTNFACE));
    const std::pair<int, std::uint32_t> cases[] = {
        {1, 0x00FF00}, {2, 0xFFFF00}, {3, 0xFF0000}, {0, face}, {4, face}};
    for (const auto& [age, background] : cases) {
        dialog.programState().monitor.batteryAge = static_cast<monitor::BatteryAge>(age);
        ::SetBkMode(dc.get(), TRANSPARENT);
        const LRESULT brush =
            ::SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                           reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_EDT_BATTERY_TIME)));
        EXPECT_NE(brush, 0);
        EXPECT_EQ(std::pair(pixelOf(::GetBkColor(dc.get())), ::GetBkMode(dc.get())),
                  std::pair(background, OPAQUE))
            << age;
    }
    dialog.programState().monitor.batteryAge = monitor::BatteryAge::None;
}

// The window's client area as it shows after a full repaint.
std::vector<std::uint32_t> paintedPixels(HWND window, const std::vector<POINT>& points) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT client{};
    ::GetClientRect(window, &client);
    const Canvas canvas(client.right, client.bottom);
    const framework::WindowDc source(window);
    ::BitBlt(canvas.dc(), 0, 0, client.right, client.bottom, source.get(), 0, 0, SRCCOPY);
    std::vector<std::uint32_t> pixels;
    for (const POINT& point : points) {
        pixels.push_back(canvas.at(point.x, point.y));
    }
    return pixels;
}

TEST_F(MainWindow, PicturesPaintedAtTheirPlacesWithWhiteSeeThrough) {
    const std::uint32_t face = pixelOf(::GetSysColor(COLOR_BTNFACE));
    // Logo square, white beside it; the supply's lamp; the battery's frame, its inner top.
    const std::vector<POINT> points{{2, 2}, {66, 2}, {317, 101}, {735, 95}, {738, 98}};
    EXPECT_EQ(paintedPixels(window, points),
              (std::vector<std::uint32_t>{0x000000, face, 0x3CC85A, 0x000000, face}));
    dialog.programState().activity = true;
    EXPECT_EQ(paintedPixels(window, points),
              (std::vector<std::uint32_t>{0x000000, face, 0x3CC85A, 0x000000, 0x3CC85A}));
    dialog.programState().activity = false;

    // The About box's logo at (20, 10): its black square, the white roof in it seen through.
    ::PostMessageW(window, WM_COMMAND, ID_HELP_ABOUT, 0);
    const HWND about = waitForWindow(::GetCurrentProcessId(), L"About Brenvik-USB", 10s);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(paintedPixels(about, {{22, 12}, {36, 24}}), (std::vector<std::uint32_t>{0, face}));
    pressButton(about, IDOK);
    EXPECT_TRUE(waitUntilGone(about, 10s));

    // Started elsewhere, the program finds no pictures and paints the rest as usual.
    const std::filesystem::path folder = std::filesystem::current_path();
    std::filesystem::current_path(folder.root_path());
    const std::vector<std::uint32_t> missing = paintedPixels(window, points);
    std::filesystem::current_path(folder);
    EXPECT_EQ(missing, (std::vector<std::uint32_t>{face, face, face, face, face}));
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
