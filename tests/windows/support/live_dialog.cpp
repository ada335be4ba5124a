#include "tests/windows/support/live_dialog.h"

#include <commctrl.h>
#include <utility>

namespace brenvik::wintest {
namespace {

// Set on the dialog's thread until the dialog procedure has seen WM_INITDIALOG through.
thread_local std::promise<HWND>* tCreated = nullptr;

LRESULT CALLBACK afterWindowProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_INITDIALOG && tCreated != nullptr) {
        std::exchange(tCreated, nullptr)->set_value(message->hwnd);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

LiveDialog::LiveDialog(std::function<std::unique_ptr<framework::CDialog>()> make) {
    std::future<HWND> window = created_.get_future();
    thread_ = std::thread([this, make = std::move(make)] {
        tCreated = &created_;
        const HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &afterWindowProc, nullptr,
                                               ::GetCurrentThreadId());
        try {
            INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
            ::InitCommonControlsEx(&controls);
            dialog_ = make();
            result_.set_value(dialog_->doModal());
        } catch (...) {
            result_.set_exception(std::current_exception());
        }
        ::UnhookWindowsHookEx(hook);
        if (tCreated != nullptr) {
            std::exchange(tCreated, nullptr)->set_value(nullptr);
        }
    });
    hwnd_ = window.get();
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
