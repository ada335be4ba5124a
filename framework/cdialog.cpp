#include "framework/cdialog.h"

#include <algorithm>
#include <utility>

namespace brenvik::framework {
namespace {

// Messages whose result the dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool returnsResultDirectly(UINT id) {
    switch (id) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

// A dialog opened over another window appears centred on it, kept inside the owner's monitor
// work area, as users expect of a confirmation or an About box.
void centreOnOwner(HWND dialog) {
    const HWND owner = ::GetWindow(dialog, GW_OWNER);
    RECT ownerRect{};
    RECT dialogRect{};
    if (owner == nullptr || ::GetWindowRect(owner, &ownerRect) == FALSE ||
        ::GetWindowRect(dialog, &dialogRect) == FALSE) {
        return;
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& area = monitor.rcWork;
    const LONG width = dialogRect.right - dialogRect.left;
    const LONG height = dialogRect.bottom - dialogRect.top;
    LONG x = (ownerRect.left + ownerRect.right - width) / 2;
    LONG y = (ownerRect.top + ownerRect.bottom - height) / 2;
    x = std::max(area.left, std::min(x, area.right - width));
    y = std::max(area.top, std::min(y, area.bottom - height));
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

CDialog::CDialog(UINT templateId, HINSTANCE instance)
    : templateId_(templateId),
      instance_(instance != nullptr ? instance : ::GetModuleHandleW(nullptr)) {}

INT_PTR CDialog::doModal(HWND parent) {
    error_ = nullptr;
    const INT_PTR result = ::DialogBoxParamW(instance_, MAKEINTRESOURCEW(templateId_), parent,
                                             &CDialog::dialogProc, reinterpret_cast<LPARAM>(this));
    if (error_) {
        std::rethrow_exception(std::exchange(error_, nullptr));
    }
    return result;
}

bool CDialog::updateData(bool saveAndValidate) {
    DataExchange exchange(port_, saveAndValidate);
    doDataExchange(exchange);
    return !exchange.failed();
}

void CDialog::endDialog(INT_PTR result) {
    if (hwnd_ != nullptr) {
        ::EndDialog(hwnd_, result);
    }
}

Reply CDialog::handleMessage(const Message&) {
    return kDefault;
}

bool CDialog::onInitDialog() {
    updateData(false);
    return true;
}

void CDialog::doDataExchange(DataExchange&) {}

void CDialog::onOK() {
    if (updateData(true)) {
        endDialog(IDOK);
    }
}

void CDialog::onCancel() {
    endDialog(IDCANCEL);
}

Reply CDialog::route(const Message& message) {
    if (Reply reply = handleMessage(message)) {
        return reply;
    }
    switch (message.id) {
    case WM_INITDIALOG:
        centreOnOwner(message.window);
        return onInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
        if (message.commandId() == IDOK && message.notifyCode() == BN_CLICKED) {
            onOK();
            return 0;
        }
        if (message.commandId() == IDCANCEL && message.notifyCode() == BN_CLICKED) {
            onCancel();
            return 0;
        }
        return kDefault;
    default:
        return kDefault;
    }
}

void CDialog::fail(std::exception_ptr error) noexcept {
    if (!error_) {
        error_ = error;
    }
    endDialog(-1);
}

INT_PTR CALLBACK CDialog::dialogProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (id == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->hwnd_ = window;
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE; // messages before WM_INITDIALOG
    }
    Reply reply = kDefault;
    try {
        reply = self->route(Message{window, id, wParam, lParam});
    } catch (...) {
        self->fail(std::current_exception());
    }
    if (id == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    if (!reply) {
        return FALSE;
    }
    if (returnsResultDirectly(id)) {
        return static_cast<INT_PTR>(*reply);
    }
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, *reply);
    return TRUE;
}

} // namespace brenvik::framework
