#pragma once
// A push button of a dialog, bound to its control after the dialog has been created.

#include "win32/win32.h"

namespace brenvik::framework {

class CButton {
public:
    CButton() = default;
    CButton(const CButton&) = delete;
    CButton& operator=(const CButton&) = delete;
    virtual ~CButton() = default;

    void attach(HWND button) { hwnd_ = button; }
    HWND hwnd() const { return hwnd_; }
    // True while the bound control exists.
    bool exists() const { return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE; }

    // Repaints the whole button, erasing its background first when asked.
    void redraw(bool erase) const;

private:
    HWND hwnd_ = nullptr;
};

} // namespace brenvik::framework
