#pragma once
// The common-controls status bar as a child of a dialog.

#include "win32/win32.h"

#include <span>
#include <string>
#include <string_view>

namespace brenvik::framework {

class CStatusBarCtrl {
public:
    CStatusBarCtrl() = default;
    CStatusBarCtrl(const CStatusBarCtrl&) = delete;
    CStatusBarCtrl& operator=(const CStatusBarCtrl&) = delete;

    // Creates the bar with an empty rectangle: it lays itself along the parent's bottom edge.
    // The window belongs to the parent and goes with it.
    bool create(HWND parent, DWORD style, UINT id);
    HWND hwnd() const { return hwnd_; }

    // Right edges of the parts in client pixels; -1 reaches the right edge of the bar.
    bool setParts(std::span<const int> rightEdges);
    bool setText(int part, std::wstring_view text);
    std::wstring text(int part) const;

private:
    HWND hwnd_ = nullptr;
};

} // namespace brenvik::framework
