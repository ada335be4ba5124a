#include "framework/cstatusbarctrl.h"

#include <commctrl.h>
#include <stdexcept>
#include <vector>

namespace brenvik::framework {

bool CStatusBarCtrl::create(HWND parent, DWORD style, UINT id) {
    hwnd_ = ::CreateWindowExW(
        0, STATUSCLASSNAMEW, L"", style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    return hwnd_ != nullptr;
}

bool CStatusBarCtrl::setParts(std::span<const int> rightEdges) {
    std::vector<int> edges(rightEdges.begin(), rightEdges.end());
    return ::SendMessageW(hwnd_, SB_SETPARTS, edges.size(),
                          reinterpret_cast<LPARAM>(edges.data())) != FALSE;
}

bool CStatusBarCtrl::setText(int part, std::wstring_view text) {
    // The bar reports text lengths in 16 bits; a longer text could not be read back safely.
    if (text.size() >= 0xFFFF) {
        throw std::length_error("status bar text too long");
    }
    const std::wstring terminated(text);
    return ::SendMessageW(hwnd_, SB_SETTEXTW, static_cast<WPARAM>(part),
                          reinterpret_cast<LPARAM>(terminated.c_str())) != FALSE;
}

std::wstring CStatusBarCtrl::text(int part) const {
    const LRESULT lengthAndType =
        ::SendMessageW(hwnd_, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0);
    std::wstring buffer(static_cast<std::size_t>(LOWORD(lengthAndType)) + 1, L'\0');
    const LRESULT copied = ::SendMessageW(hwnd_, SB_GETTEXTW, static_cast<WPARAM>(part),
                                          reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(LOWORD(copied));
    return buffer;
}

} // namespace brenvik::framework
