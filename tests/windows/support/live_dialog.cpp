#include "tests/windows/support/live_dialog.h"

#include <commctrl.h>
#include <stdexcept>

namespace brenvik::wintest {
namespace {

// Reports the dialog's window once the dialog procedure has seen WM_INITDIALOG through.
struct CreationWatch {
    std::promise<HWND>* created;
};
thread_local CreationWatch* tCreationWatch = nullptr;
thread_local HHOOK tHook = nullptr;

LRESULT CALLBACK afterWindowProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_INITDIALOG && tCreationWatch != nullptr) {
        tCreationWatch->created->set_value(message->hwnd);
        tCreationWatch = nullptr;
    }
    return ::CallNextHookEx(tHook, code, wParam, lParam);
}

} // namespace

LiveDialog::LiveDialog(std::function<std::unique_ptr<framework::CDialog>()> make) {
    std::future<HWND> created = created_.get_future();
    thread_ = std::thread([this, make = std::move(make)] {
        try {
            INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
            ::InitCommonControlsEx(&controls);
            dialog_ = make();
            CreationWatch watch{&created_};
            tCreationWatch = &watch;
            tHook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &afterWindowProc, nullptr,
                                        ::GetCurrentThreadId());
            const INT_PTR result = dialog_->doModal();
            ::UnhookWindowsHookEx(tHook);
            if (tCreationWatch != nullptr) {
                tCreationWatch = nullptr;
                created_.set_value(nullptr);
            }
            result_.set_value(result);
        } catch (...) {
            ::UnhookWindowsHookEx(tHook);
            if (tCreationWatch != nullptr) {
                tCreationWatch = nullptr;
                created_.set_value(nullptr);
            }
            result_.set_exception(std::current_exception());
        }
    });
    hwnd_ = created.get();
}

LiveDialog::~LiveDialog() {
    if (::IsWindow(hwnd_) != FALSE) {
        ::PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    thread_.join();
}

std::optional<INT_PTR> LiveDialog::waitForResult(std::chrono::milliseconds timeout) {
    if (resultFuture_.wait_for(timeout) != std::future_status::ready) {
        return std::nullopt;
    }
    return resultFuture_.get();
}

} // namespace brenvik::wintest
