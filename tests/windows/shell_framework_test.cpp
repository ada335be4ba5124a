// The dialog layer: handle owners, module path, text conversion, message maps, the exception
// boundary of the dialog procedure, and the WindowPort over a live dialog.

#include "framework/cdialog.h"
#include "framework/handles.h"
#include "framework/module_path.h"
#include "framework/text.h"
#include "res/resource.h"
#include "shell/app_paths.h"
#include "shell/brenvik_dlg_win32.h"
#include "tests/support/fake_clock.h"
#include "tests/windows/support/live_dialog.h"
#include "tests/windows/support/program_driver.h"
#include "virtual_supply/virtual_bridge.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace brenvik::framework {
namespace {

using namespace std::chrono_literals;

bool handleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(Handles, OwnersCloseExactlyOnceAndMoveOwnership) {
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        UniqueHandle first(raw);
        UniqueHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        EXPECT_TRUE(handleIsOpen(raw));
        UniqueHandle third;
        third = std::move(second);
        EXPECT_TRUE(handleIsOpen(raw));
    }
    EXPECT_FALSE(handleIsOpen(raw));

    HANDLE kept = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        UniqueHandle owner(kept);
        EXPECT_EQ(owner.release(), kept);
    }
    EXPECT_TRUE(handleIsOpen(kept));
    UniqueHandle replaced(kept);
    HANDLE next = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    replaced.reset(next);
    EXPECT_FALSE(handleIsOpen(kept));
    EXPECT_TRUE(handleIsOpen(next));
}

TEST(Handles, GdiOwnersDeleteAndSelectionsAreUndone) {
    HFONT rawFont =
        ::CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    HPEN rawPen = ::CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    {
        UniqueFont font(rawFont);
        UniquePen pen(rawPen);
        WindowDc screen(nullptr);
        HDC memory = ::CreateCompatibleDC(screen.get());
        const HGDIOBJ originalFont = ::GetCurrentObject(memory, OBJ_FONT);
        {
            SelectedObject selected(memory, font.get());
            EXPECT_EQ(::GetCurrentObject(memory, OBJ_FONT), font.get());
            SelectedObject moved(std::move(selected));
            SelectedObject penSelected(memory, pen.get());
            EXPECT_EQ(::GetCurrentObject(memory, OBJ_PEN), pen.get());
        }
        EXPECT_EQ(::GetCurrentObject(memory, OBJ_FONT), originalFont);
        EXPECT_NE(::GetCurrentObject(memory, OBJ_PEN), rawPen);
        ::DeleteDC(memory);
        EXPECT_EQ(::GetObjectType(rawFont), DWORD(OBJ_FONT));
    }
    EXPECT_EQ(::GetObjectType(rawFont), 0u);
    EXPECT_EQ(::GetObjectType(rawPen), 0u);
}

TEST(ModulePath, GrowsItsBufferUntilTheWholePathFits) {
    std::wstring reference(32768, L'\0');
    reference.resize(::GetModuleFileNameW(nullptr, reference.data(), 32768));
    EXPECT_EQ(modulePath().wstring(), reference);
    EXPECT_EQ(modulePath(nullptr, 1).wstring(), reference);
    EXPECT_EQ(modulePath(nullptr, static_cast<DWORD>(reference.size())).wstring(), reference);
}

TEST(Text, ConvertsBetweenUtf8AndUtf16WithoutLoss) {
    const std::string utf8 = "Z\xC3\xA4hler 5 \xE2\x82\xAC \xF0\x9F\x94\x8B";
    const std::wstring utf16 = L"Z\u00E4hler 5 \u20AC \U0001F50B";
    EXPECT_EQ(widen(utf8), utf16);
    EXPECT_EQ(narrow(utf16), utf8);
    EXPECT_EQ(widen(""), L"");
    EXPECT_EQ(narrow(L""), "");
    // A broken sequence is replaced, not dropped with its neighbours.
    EXPECT_EQ(widen("a\xFF"
                    "b"),
              L"a\uFFFDb");
}

// A dialog whose map routes to recording handlers (template 100 stands in for any template).
class RoutedDialog : public CDialog {
public:
    RoutedDialog() : CDialog(IDD_ABOUTBOX) {}

    std::vector<std::string> calls;

protected:
    Reply handleMessage(const Message& message) override;

private:
    Reply onSave(const Message& m) {
        calls.push_back("save code " + std::to_string(HIWORD(m.wParam)));
        return 0;
    }
    Reply onEditLostFocus(const Message& m) {
        calls.push_back("lost focus " + std::to_string(m.commandId()));
        return 0;
    }
    Reply onNotifyClick(const Message& m) {
        calls.push_back("notify " + std::to_string(m.notifyHeader().idFrom));
        return 0;
    }
    Reply onAnswer(const Message&) { return 42; }
    Reply onDeclined(const Message&) {
        calls.push_back("declined");
        return kDefault;
    }
    Reply onFailing(const Message&) { throw std::runtime_error("handler failed"); }

    static const MessageEntry<RoutedDialog> kMap[];
};

const MessageEntry<RoutedDialog> RoutedDialog::kMap[] = {
    onCommand(ID_FILE_SAVECONFIGURATION, &RoutedDialog::onSave),
    onControlNotify(EN_KILLFOCUS, IDC_EDT_AC_HOURS, IDC_EDT_SYS_SECONDS,
                    &RoutedDialog::onEditLostFocus),
    onNotify(NM_CLICK, 7, 7, &RoutedDialog::onNotifyClick),
    onMessage(WM_APP, &RoutedDialog::onAnswer),
    onCommand(IDCANCEL, &RoutedDialog::onDeclined),
    onCommand(ID_CONNECT_CONNECTDEVICE, &RoutedDialog::onFailing),
};

Reply RoutedDialog::handleMessage(const Message& message) {
    return dispatch<RoutedDialog>(*this, kMap, message);
}

class MessageMap : public ::testing::Test {
protected:
    wintest::LiveDialog live{[] { return std::make_unique<RoutedDialog>(); }};
    HWND window = live.hwnd();
    RoutedDialog& dialog() { return static_cast<RoutedDialog&>(live.dialog()); }
    HWND control = ::GetDlgItem(window, IDOK); // any child stands in as the sender
};

TEST_F(MessageMap, RoutesCommandsNotificationsAndMessagesToTheirHandlers) {
    // Menu command and accelerator reach the command entry; a control notification with the
    // same id does not.
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVECONFIGURATION, 0), 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVECONFIGURATION, 1), 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVECONFIGURATION, EN_CHANGE),
                   reinterpret_cast<LPARAM>(control));
    // Range entries take every id from first to last and nothing outside.
    for (int id : {IDC_EDT_AC_HOURS - 1, IDC_EDT_AC_HOURS, IDC_EDT_SYS_MINUTES, IDC_EDT_SYS_SECONDS,
                   IDC_EDT_SYS_SECONDS + 1}) {
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS),
                       reinterpret_cast<LPARAM>(control));
    }
    NMHDR header{control, 7, static_cast<UINT>(NM_CLICK)};
    ::SendMessageW(window, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header));
    header.idFrom = 8;
    ::SendMessageW(window, WM_NOTIFY, 8, reinterpret_cast<LPARAM>(&header));

    EXPECT_EQ(dialog().calls,
              (std::vector<std::string>{"save code 0", "save code 1", "lost focus 1005",
                                        "lost focus 1009", "lost focus 1010", "notify 7"}));
    // A handler's result reaches the sender.
    EXPECT_EQ(::SendMessageW(window, WM_APP, 0, 0), 42);
}

TEST_F(MessageMap, ADeclinedMessageGetsTheDefaultHandling) {
    // The Cancel entry declines; the dialog's own Cancel still ends the run.
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(live.waitForResult(10s), std::optional<INT_PTR>(IDCANCEL));
    EXPECT_EQ(dialog().calls, (std::vector<std::string>{"declined"}));
}

TEST_F(MessageMap, OkEndsTheRunWhenTheControlsRead) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(control));
    EXPECT_EQ(live.waitForResult(10s), std::optional<INT_PTR>(IDOK));
}

TEST_F(MessageMap, AnExceptionInAHandlerEndsTheRunAndReachesTheCaller) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(ID_CONNECT_CONNECTDEVICE, 0), 0);
    EXPECT_THROW(live.waitForResult(10s), std::runtime_error);
    EXPECT_TRUE(wintest::waitUntilGone(window, 10s));
}

// The main window with a virtual bridge and a clock that only counts waits.
struct ProgramParts {
    vsupply::VirtualBridge bridge;
    ProgramState state{bridge};
    testing::FakeClock clock;
};

class PortTestWindow : private ProgramParts, public CBrenvikforCustomDlg {
public:
    PortTestWindow()
        : CBrenvikforCustomDlg(modulePath(), L"shell_window_port_test", state, clock) {}

protected:
    // The port is tested on its own: no connection attempt changes the controls meanwhile.
    bool onInitDialog() override {
        const bool result = CBrenvikforCustomDlg::onInitDialog();
        ::KillTimer(hwnd(), IDT_CONNECT);
        return result;
    }
};

// The WindowPort of the live main window, called from another thread as a handler would call
// it from the window's own.
class DialogPort : public ::testing::Test {
protected:
    wintest::LiveDialog live{[] { return std::make_unique<PortTestWindow>(); }};
    HWND window = live.hwnd();
    WindowPort& port = live.dialog().port();
};

TEST_F(DialogPort, TextsTravelAsUtf8) {
    const std::string text = "Z\xC3\xA4hler \xE2\x82\xAC \xF0\x9F\x94\x8B";
    port.setControlText(IDC_EDT_PART_NUMBER, text);
    EXPECT_EQ(port.controlText(IDC_EDT_PART_NUMBER), text);
    EXPECT_EQ(wintest::controlText(window, IDC_EDT_PART_NUMBER), widen(text));
    const std::string longText(5000, '7');
    port.setControlText(IDC_EDT_FIRMWARE, longText);
    EXPECT_EQ(port.controlText(IDC_EDT_FIRMWARE), longText);
    EXPECT_EQ(port.controlText(4711), "");
    EXPECT_EQ(port.applicationName(), narrow(applicationName(modulePath()).wstring()));
}

TEST_F(DialogPort, CheckBoxesEnablingAndFocus) {
    port.setChecked(IDC_CHK_INSTALL_DATE, true);
    EXPECT_TRUE(port.isChecked(IDC_CHK_INSTALL_DATE));
    EXPECT_TRUE(wintest::isChecked(window, IDC_CHK_INSTALL_DATE));
    port.setChecked(IDC_CHK_INSTALL_DATE, false);
    EXPECT_FALSE(port.isChecked(IDC_CHK_INSTALL_DATE));

    port.enableControl(IDC_BTN_APPLY, false);
    EXPECT_FALSE(port.isEnabled(IDC_BTN_APPLY));
    EXPECT_FALSE(wintest::isEnabled(window, IDC_BTN_APPLY));
    port.enableControl(IDC_BTN_APPLY, true);
    EXPECT_TRUE(port.isEnabled(IDC_BTN_APPLY));
    EXPECT_FALSE(port.isEnabled(4711));

    port.setControlText(IDC_EDT_SYS_MINUTES, "12x");
    port.focusControl(IDC_EDT_SYS_MINUTES);
    EXPECT_EQ(wintest::focusedWindow(window), ::GetDlgItem(window, IDC_EDT_SYS_MINUTES));
    DWORD start = 1, end = 0;
    ::SendDlgItemMessageW(window, IDC_EDT_SYS_MINUTES, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                          reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 3u);
}

TEST_F(DialogPort, ComboItemsAndSelection) {
    port.setComboItems(IDC_CMB_CHARGE_CURRENT, {"7 AH", "12 AH", "18 AH"});
    EXPECT_EQ(port.comboItems(IDC_CMB_CHARGE_CURRENT),
              (std::vector<std::string>{"7 AH", "12 AH", "18 AH"}));
    EXPECT_EQ(port.comboSelection(IDC_CMB_CHARGE_CURRENT), -1);
    port.setComboSelection(IDC_CMB_CHARGE_CURRENT, 2);
    EXPECT_EQ(port.comboSelection(IDC_CMB_CHARGE_CURRENT), 2);
    EXPECT_EQ(port.controlText(IDC_CMB_CHARGE_CURRENT), "18 AH");
    // An index without an item selects nothing.
    port.setComboSelection(IDC_CMB_CHARGE_CURRENT, 3);
    EXPECT_EQ(port.comboSelection(IDC_CMB_CHARGE_CURRENT), -1);
    port.setComboSelection(IDC_CMB_CHARGE_CURRENT, 1);
    port.setComboSelection(IDC_CMB_CHARGE_CURRENT, -1);
    EXPECT_EQ(port.comboSelection(IDC_CMB_CHARGE_CURRENT), -1);
}

TEST_F(DialogPort, StatusTextReplacesPartOneOnly) {
    port.setStatusText("Pass, Setting battery installation date  ... ");
    const HWND bar = wintest::statusBar(window);
    EXPECT_EQ(wintest::statusBarText(bar, 1), L"Pass, Setting battery installation date  ... ");
    EXPECT_EQ(wintest::statusBarText(bar, 0), L"Pass/Failure Status");
    port.setStatusText("Searching device...");
    EXPECT_EQ(wintest::statusBarText(bar, 1), L"Searching device...");
}

TEST_F(DialogPort, MenuCommandsAndTimers) {
    const HMENU menu = ::GetMenu(window);
    port.enableMenuCommand(ID_FILE_SAVECONFIGURATION, false);
    EXPECT_NE(::GetMenuState(menu, ID_FILE_SAVECONFIGURATION, MF_BYCOMMAND) & MF_GRAYED, 0u);
    port.enableMenuCommand(ID_FILE_SAVECONFIGURATION, true);
    EXPECT_EQ(::GetMenuState(menu, ID_FILE_SAVECONFIGURATION, MF_BYCOMMAND) & MF_GRAYED, 0u);

    EXPECT_TRUE(port.setTimer(IDT_MONITOR, 1000));
    port.killTimer(IDT_MONITOR);
}

TEST_F(DialogPort, MessageBoxesHaveNoOwnerAndReportTheButton) {
    HWND owner = window;
    bool found = false;
    std::thread answer([&] {
        const HWND box = wintest::waitForWindow(::GetCurrentProcessId(), L"Fail", 10s);
        found = box != nullptr;
        if (found) {
            owner = ::GetWindow(box, GW_OWNER);
            wintest::pressButton(box, IDRETRY);
        }
    });
    const MessageResult result = port.messageBox("Communicate error,please try again.", "Fail",
                                                 MessageIcon::Error, MessageButtons::RetryCancel);
    answer.join();
    ASSERT_TRUE(found);
    EXPECT_EQ(result, MessageResult::Retry);
    EXPECT_EQ(owner, nullptr);
    // The main window stays usable while the box is up.
    EXPECT_TRUE(::IsWindowEnabled(window));
}

} // namespace
} // namespace brenvik::framework
