// The dialog layer: handle owners, module path, text conversion, and the message map of a live
// dialog with the exception boundary of the dialog procedure.

#include "framework/cdialog.h"
#include "framework/text.h"
#include "res/resource.h"
#include "tests/windows/support/live_dialog.h"
#include "tools/driver/program_driver.h"
#include "win32/handles.h"
#include "win32/module_path.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace brenvik::framework {
namespace {

using namespace std::chrono_literals;
using namespace win32;

// An owner closes its handle exactly once, when it ends or takes another; moving hands it over.
TEST(Handles, OwnersCloseExactlyOnceAndMoveOwnership) {
    const auto isOpen = [](HANDLE handle) {
        DWORD flags = 0;
        return ::GetHandleInformation(handle, &flags) != FALSE;
    };
    HANDLE first = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        UniqueHandle owner(first);
        UniqueHandle moved(std::move(owner));
        moved.reset(second);
        EXPECT_EQ(std::tuple(bool(owner), isOpen(first), isOpen(second)),
                  std::tuple(false, false, true));
    }
    EXPECT_FALSE(isOpen(second));
}

// Long program paths and texts beyond Latin-1 must come through whole.
TEST(ModulePathAndText, GrowTheBufferUntilThePathFitsAndConvertWithoutLoss) {
    std::wstring reference(32768, L'\0');
    reference.resize(::GetModuleFileNameW(nullptr, reference.data(), 32768));
    for (DWORD initial : {DWORD{260}, DWORD{1}, static_cast<DWORD>(reference.size())}) {
        EXPECT_EQ(modulePath(nullptr, initial).wstring(), reference) << initial;
    }
    const std::string utf8 = "Z\xC3\xA4hler \xE2\x82\xAC \xF0\x9F\x94\x8B";
    EXPECT_EQ(widen(utf8), L"Z\u00E4hler \u20AC \U0001F50B");
    EXPECT_EQ(narrow(widen(utf8)), utf8);
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
    Reply record(const std::string& call) {
        calls.push_back(call);
        return 0;
    }
    Reply onSave(const Message& m) { return record("save " + std::to_string(HIWORD(m.wParam))); }
    Reply onLostFocus(const Message& m) { return record("lost " + std::to_string(m.commandId())); }
    Reply onClick(const Message& m) {
        return record("notify " + std::to_string(m.notifyHeader().idFrom));
    }
    Reply onAnswer(const Message&) { return 42; }
    Reply onFailing(const Message&) { throw std::runtime_error("handler failed"); }

    static constexpr MessageEntry<RoutedDialog> kMap[] = {
        onCommand(ID_FILE_SAVECONFIGURATION, &RoutedDialog::onSave),
        onControlNotify(EN_KILLFOCUS, IDC_EDT_AC_HOURS, IDC_EDT_SYS_SECONDS,
                        &RoutedDialog::onLostFocus),
        onNotify(NM_CLICK, 7, 7, &RoutedDialog::onClick),
        onMessage(WM_APP, &RoutedDialog::onAnswer),
        onCommand(ID_CONNECT_CONNECTDEVICE, &RoutedDialog::onFailing),
    };
};

TEST(MessageMap, RoutesToTheHandlersAndAFailingHandlerEndsTheRunReachingTheCaller) {
    wintest::LiveDialog live{[] { return std::make_unique<RoutedDialog>(); }};
    const HWND window = live.hwnd();
    const auto sender = reinterpret_cast<LPARAM>(::GetDlgItem(window, IDOK));
    // Menu command and accelerator reach the command entry; a control notification with the
    // same id does not. Range entries take every id from first to last and nothing outside.
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVECONFIGURATION, 0), 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVECONFIGURATION, 1), 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVECONFIGURATION, EN_CHANGE), sender);
    for (int id : {1004, 1005, 1009, 1010, 1011}) {
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), sender);
    }
    NMHDR header{::GetDlgItem(window, IDOK), 7, static_cast<UINT>(NM_CLICK)};
    ::SendMessageW(window, WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header));
    header.idFrom = 8;
    ::SendMessageW(window, WM_NOTIFY, 8, reinterpret_cast<LPARAM>(&header));
    // A handler's result reaches the sender; an exception in a handler ends the run and reaches
    // the caller.
    EXPECT_EQ(::SendMessageW(window, WM_APP, 0, 0), 42);
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(ID_CONNECT_CONNECTDEVICE, 0), 0);
    EXPECT_THROW(live.waitForResult(10s), std::runtime_error);
    EXPECT_TRUE(wintest::waitUntilGone(window, 10s));
    EXPECT_EQ(static_cast<RoutedDialog&>(live.dialog()).calls,
              (std::vector<std::string>{"save 0", "save 1", "lost 1005", "lost 1009", "lost 1010",
                                        "notify 7"}));
}

} // namespace
} // namespace brenvik::framework
