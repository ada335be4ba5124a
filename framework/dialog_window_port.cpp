#include "framework/dialog_window_port.h"

#include "framework/module_path.h"
#include "framework/text.h"
#include "ui/app_paths.h"

#include <commctrl.h>
#include <commdlg.h>

namespace brenvik::framework {
namespace {

// Room for the longest path the Windows API can return; a longer choice fails visibly in the
// dialog instead of being cut off.
constexpr DWORD kFileNameCapacity = 32768;

std::string utf8(const std::u8string& text) {
    return {text.begin(), text.end()};
}

} // namespace

DialogWindowPort::DialogWindowPort(const HWND& dialog)
    : dialog_(dialog), applicationName_(utf8(brenvik::applicationName(modulePath()).u8string())) {}

std::string DialogWindowPort::controlText(int id) const {
    const HWND control = item(id);
    if (control == nullptr) {
        return {};
    }
    return narrow(windowText(control));
}

void DialogWindowPort::setControlText(int id, std::string_view text) {
    ::SetDlgItemTextW(dialog_, id, widen(text).c_str());
}

bool DialogWindowPort::isChecked(int id) const {
    return ::IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

void DialogWindowPort::setChecked(int id, bool checked) {
    ::CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool DialogWindowPort::isEnabled(int id) const {
    const HWND control = item(id);
    return control != nullptr && ::IsWindowEnabled(control) != FALSE;
}

void DialogWindowPort::enableControl(int id, bool enabled) {
    if (const HWND control = item(id)) {
        ::EnableWindow(control, enabled ? TRUE : FALSE);
    }
}

void DialogWindowPort::focusControl(int id) {
    // The dialog's own focus change also selects the whole text of an edit.
    if (const HWND control = item(id)) {
        ::SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    }
}

int DialogWindowPort::comboSelection(int id) const {
    const LRESULT selection = ::SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

void DialogWindowPort::setComboSelection(int id, int index) {
    const LRESULT count = ::SendDlgItemMessageW(dialog_, id, CB_GETCOUNT, 0, 0);
    const bool valid = index >= 0 && count != CB_ERR && index < count;
    ::SendDlgItemMessageW(dialog_, id, CB_SETCURSEL,
                          valid ? static_cast<WPARAM>(index) : WPARAM(-1), 0);
}

std::vector<std::string> DialogWindowPort::comboItems(int id) const {
    std::vector<std::string> items;
    const LRESULT count = ::SendDlgItemMessageW(dialog_, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = ::SendDlgItemMessageW(dialog_, id, CB_GETLBTEXTLEN, i, 0);
        if (length == CB_ERR) {
            break;
        }
        std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied = ::SendDlgItemMessageW(dialog_, id, CB_GETLBTEXT, i,
                                                     reinterpret_cast<LPARAM>(buffer.data()));
        buffer.resize(copied == CB_ERR ? 0 : static_cast<std::size_t>(copied));
        items.push_back(narrow(buffer));
    }
    return items;
}

void DialogWindowPort::setComboItems(int id, const std::vector<std::string>& items) {
    ::SendDlgItemMessageW(dialog_, id, CB_RESETCONTENT, 0, 0);
    for (const auto& text : items) {
        const std::wstring wide = widen(text);
        ::SendDlgItemMessageW(dialog_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
}

void DialogWindowPort::setStatusText(std::string_view text) {
    if (statusBar_ != nullptr) {
        statusBar_->setText(1, widen(text));
    }
}

MessageResult DialogWindowPort::messageBox(std::string_view text, std::string_view caption,
                                           MessageIcon icon, MessageButtons buttons) {
    UINT style = buttons == MessageButtons::RetryCancel ? MB_RETRYCANCEL : MB_OK;
    switch (icon) {
    case MessageIcon::Error:
        style |= MB_ICONERROR;
        break;
    case MessageIcon::Warning:
        style |= MB_ICONWARNING;
        break;
    case MessageIcon::Information:
        style |= MB_ICONINFORMATION;
        break;
    case MessageIcon::None:
        break;
    }
    // No owner window, but task-modal: every window of this thread is disabled while the box is
    // up, so nothing behind it can be clicked or typed into while the handler that showed it
    // waits for the answer. The window's timers still tick inside the box's message loop.
    const HWND active = ::GetActiveWindow();
    const int answer =
        ::MessageBoxW(nullptr, widen(text).c_str(), widen(caption).c_str(), style | MB_TASKMODAL);
    // The box closes while the windows behind it are still disabled, so the system hands the
    // activation elsewhere; the window the operator was working in gets it back.
    if (active != nullptr && ::IsWindow(active) != FALSE && ::IsWindowEnabled(active) != FALSE) {
        ::SetForegroundWindow(active);
    }
    switch (answer) {
    case IDRETRY:
        return MessageResult::Retry;
    case IDCANCEL:
        return MessageResult::Cancel;
    default:
        return MessageResult::Ok;
    }
}

void DialogWindowPort::invalidate(bool erase) {
    ::InvalidateRect(dialog_, nullptr, erase ? TRUE : FALSE);
}

int DialogWindowPort::setTimer(int id, unsigned periodMs) {
    return static_cast<int>(::SetTimer(dialog_, static_cast<UINT_PTR>(id), periodMs, nullptr));
}

void DialogWindowPort::killTimer(int id) {
    ::KillTimer(dialog_, static_cast<UINT_PTR>(id));
}

void DialogWindowPort::setButtonColours(int id, std::uint32_t text, std::uint32_t face) {
    if (buttonColourer_) {
        buttonColourer_(id, static_cast<COLORREF>(text), static_cast<COLORREF>(face));
    }
}

void DialogWindowPort::enableMenuCommand(int commandId, bool enabled) {
    ::EnableMenuItem(::GetMenu(dialog_), static_cast<UINT>(commandId),
                     MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

std::optional<std::filesystem::path>
DialogWindowPort::chooseConfigurationFile(FileDialogKind kind) {
    std::wstring fileName(kFileNameCapacity, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = dialog_;
    ofn.lpstrFilter = L"configuration file(*.ini)\0*.ini\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = fileName.data();
    ofn.nMaxFile = kFileNameCapacity;
    ofn.lpstrInitialDir = L".\\";
    ofn.lpstrDefExt = L"ini";
    // No overwrite prompt when saving, no "must exist" check when loading.
    ofn.Flags = OFN_HIDEREADONLY;
    const BOOL chosen =
        kind == FileDialogKind::Save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
    if (chosen == FALSE) {
        return std::nullopt;
    }
    fileName.resize(fileName.find(L'\0'));
    return std::filesystem::path(fileName);
}

bool DialogWindowPort::showConfirmation(const ConfirmationTexts& texts) {
    return confirmationHandler_ && confirmationHandler_(texts);
}

} // namespace brenvik::framework
