#include "shell/brenvik_dlg_win32.h"

#include "framework/text.h"
#include "operations/status_texts.h"
#include "res/maker.h"
#include "res/resource.h"
#include "shell/about_dlg_win32.h"
#include "shell/image_holder_win32.h"
#include "shell/presentation.h"
#include "shell/single_instance_win32.h"
#include "shell/window_face.h"

#include <array>
#include <commctrl.h>
#include <shellapi.h>
#include <string_view>
#include <utility>
#include <windowsx.h>

namespace brenvik {
namespace {

using framework::Message;
using framework::Reply;
using framework::UniqueFont;

framework::UniqueIcon loadIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return framework::UniqueIcon(static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_BRENVIK), IMAGE_ICON,
                     ::GetSystemMetrics(widthMetric), ::GetSystemMetrics(heightMetric), 0)));
}

// A font of the given face and size in points, at the screen's vertical resolution.
UniqueFont pointFont(const wchar_t* face, int points) {
    const framework::WindowDc screen(nullptr);
    LOGFONTW font{};
    font.lfHeight = -::MulDiv(points, ::GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
    font.lfCharSet = DEFAULT_CHARSET;
    std::wstring_view(face).copy(font.lfFaceName, LF_FACESIZE - 1);
    return UniqueFont(::CreateFontIndirectW(&font));
}

void setFont(HWND control, const UniqueFont& font) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
}

} // namespace

const framework::MessageEntry<CBrenvikforCustomDlg> CBrenvikforCustomDlg::kMessageMap[] = {
    framework::onMessage(WM_SYSCOMMAND, &CBrenvikforCustomDlg::onSysCommand),
    framework::onMessage(WM_QUERYDRAGICON, &CBrenvikforCustomDlg::onQueryDragIcon),
    framework::onCommand(ID_HELP_ABOUT, &CBrenvikforCustomDlg::onAbout),
    framework::onMessage(WM_DESTROY, &CBrenvikforCustomDlg::onDestroy),
    framework::onMessage(WM_TIMER, &CBrenvikforCustomDlg::onTimer),
    framework::onCommand(IDC_CHK_CHARGE_SELECTOR, &CBrenvikforCustomDlg::onOptionBox),
    framework::onCommand(IDC_CHK_AC_FAULT_DELAY, &CBrenvikforCustomDlg::onOptionBox),
    framework::onCommand(IDC_CHK_SYS_FAULT_DELAY, &CBrenvikforCustomDlg::onOptionBox),
    framework::onCommand(IDC_CHK_RESET_BATTERY_TIMER, &CBrenvikforCustomDlg::onOptionBox),
    framework::onCommand(IDC_CHK_RESET_FAULT_COUNTS, &CBrenvikforCustomDlg::onOptionBox),
    framework::onCommand(IDC_CHK_INSTALL_DATE, &CBrenvikforCustomDlg::onOptionBox),
    framework::onCommand(IDC_BTN_START, &CBrenvikforCustomDlg::onStartStop),
    framework::onControlNotify(EN_KILLFOCUS, IDC_EDT_AC_HOURS, IDC_EDT_SYS_SECONDS,
                               &CBrenvikforCustomDlg::onDelayEditKillFocus),
    framework::onCommand(ID_FILE_SAVECONFIGURATION, &CBrenvikforCustomDlg::onSaveConfiguration),
    framework::onCommand(ID_FILE_LOADCONFIGURATION, &CBrenvikforCustomDlg::onLoadConfiguration),
    framework::onCommand(ID_CONNECT_CONNECTDEVICE, &CBrenvikforCustomDlg::onConnectDevice),
    framework::onCommand(IDC_BTN_APPLY, &CBrenvikforCustomDlg::onApply),
    framework::onMessage(WM_PAINT, &CBrenvikforCustomDlg::onPaint),
    framework::onMessage(WM_CTLCOLORSTATIC, &CBrenvikforCustomDlg::onCtlColor),
    framework::onMessage(WM_CTLCOLOREDIT, &CBrenvikforCustomDlg::onCtlColor),
    framework::onMessage(WM_MOUSEMOVE, &CBrenvikforCustomDlg::onMouseMove),
    framework::onMessage(WM_LBUTTONDOWN, &CBrenvikforCustomDlg::onLeftButtonDown),
    framework::onMessage(WM_DRAWITEM, &CBrenvikforCustomDlg::onDrawItem),
};

CBrenvikforCustomDlg::CBrenvikforCustomDlg(const std::filesystem::path& executable,
                                           std::wstring applicationName, ProgramState& state,
                                           Clock& clock)
    : CDialog(IDD_BRENVIK_DIALOG), applicationName_(std::move(applicationName)), state_(state),
      core_(port(), clock, state, executable), bigIcon_(loadIcon(instance(), SM_CXICON, SM_CYICON)),
      smallIcon_(loadIcon(instance(), SM_CXSMICON, SM_CYSMICON)) {
    port().attachConfirmation(
        [this](const ConfirmationTexts& texts) { return caution_.ask(texts, hwnd()); });
}

Reply CBrenvikforCustomDlg::handleMessage(const Message& message) {
    return framework::dispatch<CBrenvikforCustomDlg>(*this, kMessageMap, message);
}

bool CBrenvikforCustomDlg::onInitDialog() {
    CDialog::onInitDialog();
    apply_.attach(::GetDlgItem(hwnd(), IDC_BTN_APPLY));
    startStop_.attach(::GetDlgItem(hwnd(), IDC_BTN_START));
    port().attachButtonColours(
        [this](int id, COLORREF text, COLORREF face) { colourButton(id, text, face); });
    addAboutToSystemMenu();
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    core_.fillDefaultChargeSelector();
    createFonts();
    createStatusBar();
    core_.armConnectTimer();
    core_.useWorkingConfigurationFile();
    apply_.setColours(RGB(255, 255, 255), RGB(0, 128, 0));
    startStop_.setColours(RGB(255, 255, 255), RGB(0, 128, 0));
    field1017DefaultColour_ = ::GetSysColor(COLOR_BTNFACE);
    setInstanceMarker(hwnd(), applicationName_);
    // The dialog gives the focus to the first control with a tab stop: option box 1000.
    return true;
}

void CBrenvikforCustomDlg::doDataExchange(DataExchange& exchange) {
    exchangePanel(exchange, core_.model());
}

void CBrenvikforCustomDlg::addAboutToSystemMenu() {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(instance(), IDS_ABOUTBOX, reinterpret_cast<LPWSTR>(&text), 0);
    HMENU systemMenu = ::GetSystemMenu(hwnd(), FALSE);
    if (systemMenu == nullptr || length <= 0) {
        return;
    }
    const std::wstring item(text, static_cast<std::size_t>(length));
    ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, item.c_str());
}

void CBrenvikforCustomDlg::createFonts() {
    bodyFont_ = pointFont(L"Arial Bold", 13);
    titleFont_ = pointFont(L"Arial Bold", 24);
    trademarkFont_ = pointFont(L"Arial Bold", 11);
    headingFont_ = pointFont(L"Arial Bold", 15);
    buttonFont_ = pointFont(L"Arial Bold", 18);
    footerFont_ = pointFont(L"Arial", 11);

    for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        setFont(child, bodyFont_);
    }
    const std::array<std::pair<int, const UniqueFont*>, 6> assignments{{
        {IDC_LBL_TITLE, &titleFont_},
        {IDC_LBL_TRADEMARK, &trademarkFont_},
        {IDC_LBL_PROGRAMMING, &headingFont_},
        {IDC_LBL_MONITORING, &headingFont_},
        {IDC_BTN_APPLY, &buttonFont_},
        {IDC_BTN_START, &buttonFont_},
    }};
    for (const auto& [id, font] : assignments) {
        setFont(::GetDlgItem(hwnd(), id), *font);
    }
    setFont(::GetDlgItem(hwnd(), IDC_LBL_FOOTER), footerFont_);
}

void CBrenvikforCustomDlg::createStatusBar() {
    statusBar_.create(hwnd(), WS_CHILD | WS_VISIBLE, 0);
    const std::array<int, 2> parts{kStatusLabelWidth, -1};
    statusBar_.setParts(parts);
    statusBar_.setText(0, framework::widen(status::kStatusLabel));
    port().attachStatusBar(statusBar_);
    port().setStatusText(status::kReady);
}

CColorButton* CBrenvikforCustomDlg::colourButtonFor(int id) {
    if (id == IDC_BTN_APPLY) {
        return &apply_;
    }
    return id == IDC_BTN_START ? &startStop_ : nullptr;
}

void CBrenvikforCustomDlg::colourButton(int id, COLORREF text, COLORREF face) {
    if (CColorButton* button = colourButtonFor(id)) {
        button->setColours(text, face);
    }
}

Reply CBrenvikforCustomDlg::onSysCommand(const Message& message) {
    if ((message.wParam & 0xFFF0) != IDM_ABOUTBOX) {
        return framework::kDefault;
    }
    CAboutDlg().doModal(hwnd());
    return 0;
}

Reply CBrenvikforCustomDlg::onQueryDragIcon(const Message&) {
    return reinterpret_cast<LRESULT>(bigIcon_.get());
}

Reply CBrenvikforCustomDlg::onAbout(const Message&) {
    CAboutDlg().doModal(hwnd());
    return 0;
}

Reply CBrenvikforCustomDlg::onDestroy(const Message&) {
    // The controls still exist here: the panel's entries go to the working configuration file.
    core_.onDestroy();
    removeInstanceMarker(hwnd(), applicationName_);
    return framework::kDefault;
}

Reply CBrenvikforCustomDlg::onOptionBox(const Message& message) {
    core_.onOptionBoxClicked(static_cast<int>(message.commandId()));
    return 0;
}

Reply CBrenvikforCustomDlg::onDelayEditKillFocus(const Message&) {
    core_.onDelayEditLostFocus();
    return 0;
}

Reply CBrenvikforCustomDlg::onStartStop(const Message&) {
    core_.onStartStop();
    return 0;
}

Reply CBrenvikforCustomDlg::onTimer(const Message& message) {
    core_.onTimer(static_cast<int>(message.wParam));
    return framework::kDefault;
}

Reply CBrenvikforCustomDlg::onConnectDevice(const Message&) {
    core_.onConnectDevice();
    return 0;
}

Reply CBrenvikforCustomDlg::onSaveConfiguration(const Message&) {
    core_.onSaveConfiguration();
    return 0;
}

Reply CBrenvikforCustomDlg::onLoadConfiguration(const Message&) {
    core_.onLoadConfiguration();
    return 0;
}

Reply CBrenvikforCustomDlg::onApply(const Message&) {
    core_.onApply();
    return 0;
}

Reply CBrenvikforCustomDlg::onPaint(const Message&) {
    const framework::PaintDc paint(hwnd());
    if (::IsIconic(hwnd()) != FALSE) {
        paintMinimised(paint.get());
        return 0;
    }
    for (const PlacedImage& image : mainWindowImages(state_.activity)) {
        imageHolder().paintFile(paint.get(), image.file.data(), image.x, image.y);
    }
    // The controls draw themselves over the pictures.
    return framework::kDefault;
}

void CBrenvikforCustomDlg::paintMinimised(HDC dc) {
    ::SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, bigIcon_.get());
}

Reply CBrenvikforCustomDlg::onCtlColor(const Message& message) {
    const LRESULT brush = ::DefWindowProcW(hwnd(), message.id, message.wParam, message.lParam);
    if (::GetDlgCtrlID(message.control()) == IDC_EDT_BATTERY_TIME) {
        const HDC dc = reinterpret_cast<HDC>(message.wParam);
        ::SetBkColor(dc, batteryAgeColour(state_.monitor.batteryAge, field1017DefaultColour_));
        ::SetBkMode(dc, OPAQUE);
    }
    return brush;
}

bool CBrenvikforCustomDlg::overFooterLink(LPARAM position) const {
    const HWND footer = ::GetDlgItem(hwnd(), IDC_LBL_FOOTER);
    RECT link{};
    ::GetClientRect(footer, &link);
    ::MapWindowPoints(footer, hwnd(), reinterpret_cast<POINT*>(&link), 2);
    return isOverFooterLink({link.left, link.top, link.right, link.bottom},
                            {GET_X_LPARAM(position), GET_Y_LPARAM(position)});
}

Reply CBrenvikforCustomDlg::onMouseMove(const Message& message) {
    if (overFooterLink(message.lParam)) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    }
    return framework::kDefault;
}

Reply CBrenvikforCustomDlg::onLeftButtonDown(const Message& message) {
    if (overFooterLink(message.lParam) && opensFooterLink(static_cast<unsigned>(message.wParam))) {
        ::ShellExecuteW(nullptr, nullptr, framework::widen(BRENVIK_MAKER_URL).c_str(), nullptr,
                        nullptr, SW_SHOWNORMAL);
    }
    return framework::kDefault;
}

Reply CBrenvikforCustomDlg::onDrawItem(const Message& message) {
    const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(message.lParam);
    CColorButton* button = colourButtonFor(static_cast<int>(item.CtlID));
    if (button == nullptr) {
        return framework::kDefault;
    }
    button->drawItem(item);
    return TRUE;
}

} // namespace brenvik
