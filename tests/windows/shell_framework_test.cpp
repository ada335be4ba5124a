// The dialog layer: handle owners, module path, text conversion, and the message map of a live
// dialog with its default handling and the exception boundary of the dialog procedure.

#include "framework/cdialog.h"
#include "framework/handles.h"
#include "framework/module_path.h"
#include "framework/text.h"
#include "res/resource.h"
#include "tests/windows/support/live_dialog.h"
#include "tests/windows/support/program_driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace brenvik::framework {
namespace {

using namespace std::chrono_literals;

bool handleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(Handles, OwnersCloseExactlyOnceMoveOwnershipAndUndoSelections) {
    HANDLE first = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        UniqueHandle owner(first);
        UniqueHandle moved;
        moved = UniqueHandle(std::move(owner));
        EXPECT_FALSE(owner);
        EXPECT_TRUE(handleIsOpen(first));
        moved.reset(second);
        EXPECT_FALSE(handleIsOpen(first));
        EXPECT_TRUE(handleIsOpen(second));
    }
    EXPECT_FALSE(handleIsOpen(second));

    const UniqueFont font(
        ::CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    const WindowDc screen(nullptr);
    const HGDIOBJ original = ::GetCurrentObject(screen.get(), OBJ_FONT);
    {
        SelectedObject selected(screen.get(), font.get());
        SelectedObject moved(std::move(selected));
        EXPECT_EQ(::GetCurrentObject(screen.get(), OBJ_FONT), font.get());
    }
    EXPECT_EQ(::GetCurrentObject(screen.get(), OBJ_FONT), original);
}

TEST(ModulePath, GrowsItsBufferUntilTheWholePathFits) {
    std::wstring reference(32768, L'\0');
    reference.resize(::GetModuleFileNameW(nullptr, reference.data(), 32768));
    for (DWORD initial : {DWORD{260}, DWORD{1}, static_cast<DWORD>(reference.size())}) {
        EXPECT_EQ(modulePath(nullptr, initial).wstring(), reference) << initial;
    }
}

TEST(Text, ConvertsBetweenUtf8AndUtf16WithoutLoss) {
    const std::string utf8 = "Z\xC3\xA4hler 5 \xE2\x82\xAC \xF0\x9F\x94\x8B";
    EXPECT_EQ(widen(utf8), L"Z\u00E4hler 5 \u20AC \U0001F50B");
    EXPECT_EQ(narrow(widen(utf8)), utf8);
    EXPECT_EQ(widen(""), L"");
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
    Reply handleMessage(const Message& message) override {
        return dispatch<RoutedDialog>(*this, kMap, message);
    }

private:
    Reply record(const std::string& call, Reply reply = 0) {
        calls.push_back(call);
        return reply;
    }
    Reply onSave(const Message& m) { return record("save " + std::to_string(HIWORD(m.wParam))); }
    Reply onLostFocus(const Message& m) { return record("lost " + std::to_string(m.commandId())); }
    Reply onClick(const Message& m) {
        return record("notify " + std::to_string(m.notifyHeader().idFrom));
    }
    Reply onAnswer(const Message&) { return 42; }
    Reply onDeclined(const Message&) { return record("declined", kDefault); }
    Reply onFailing(const Message&) { throw std::runtime_error("handler failed"); }

    static constexpr MessageEntry<RoutedDialog> kMap[] = {
        onCommand(ID_FILE_SAVECONFIGURATION, &RoutedDialog::onSave),
        onControlNotify(EN_KILLFOCUS, IDC_EDT_AC_HOURS, IDC_EDT_SYS_SECONDS,
                        &RoutedDialog::onLostFocus),
        onNotify(NM_CLICK, 7, 7, &RoutedDialog::onClick),
        onMessage(WM_APP, &RoutedDialog::onAnswer),
        onCommand(IDCANCEL, &RoutedDialog::onDeclined),
        onCommand(ID_CONNECT_CONNECTDEVICE, &RoutedDialog::onFailing),
    };
};

RoutedDialog& routed(wintest::LiveDialog& live) {
    return static_cast<RoutedDialog&>(live.dialog());
}

TEST(MessageMap, RoutesCommandsNotificationsAndMessagesToTheirHandlers) {
    wintest::LiveDialog live{[] { return std::make_unique<RoutedDialog>(); }};
    const HWND window = live.hwnd();
    const auto sender = reinterpret_cast<LPARAM>(::GetDlgItem(window, IDOK));
    // Menu command and accelerator reach the command entry; a control notification with the
    // same id does not.
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVECONFIGURATION, 0), 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVECONFIGURATION, 1), 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVECONFIGURATION, EN_CHANGE), sender);
    // Range entries take every id from first to last and nothing outside.
    for (int id : {IDC_EDT_AC_HOURS - 1, IDC_EDT_AC_HOURS, IDC_EDT_SYS_MINUTES, IDC_EDT_SYS_SECONDS,
                   IDC_EDT_SYS_SECONDS + 1}) {
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), sender);
    }
    NMHDR header{::GetDlgItem(window, IDOK), 7, static_cast<UINT>(NM_CLICK)};
    ::SendMessageW(window, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header));
    header.idFrom = 8;
    ::SendMessageW(window, WM_NOTIFY, 8, reinterpret_cast<LPARAM>(&header));

    EXPECT_EQ(routed(live).calls, (std::vector<std::string>{"save 0", "save 1", "lost 1005",
                                                            "lost 1009", "lost 1010", "notify 7"}));
    // A handler's result reaches the sender.
    EXPECT_EQ(::SendMessageW(window, WM_APP, 0, 0), 42);
}

TEST(MessageMap, DeclinedCancelOkAndAFailingHandlerEndTheRun) {
    // The Cancel entry declines, so the dialog's own Cancel still ends the run; Ok ends it when
    // the controls read; an exception in a handler ends it and reaches the caller.
    for (const int command : {IDCANCEL, IDOK}) {
        wintest::LiveDialog live{[] { return std::make_unique<RoutedDialog>(); }};
        ::PostMessageW(live.hwnd(), WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
        EXPECT_EQ(live.waitForResult(10s), std::optional<INT_PTR>(command));
        EXPECT_EQ(routed(live).calls, command == IDCANCEL ? std::vector<std::string>{"declined"}
                                                          : std::vector<std::string>{});
    }
    wintest::LiveDialog live{[] { return std::make_unique<RoutedDialog>(); }};
    ::PostMessageW(live.hwnd(), WM_COMMAND, MAKEWPARAM(ID_CONNECT_CONNECTDEVICE, 0), 0);
    EXPECT_THROW(live.waitForResult(10s), std::runtime_error);
    EXPECT_TRUE(wintest::waitUntilGone(live.hwnd(), 10s));
}

} // namespace
} // namespace brenvik::framework
