#include "framework/cbutton.h"

namespace brenvik::framework {

void CButton::redraw(bool erase) const {
    if (exists()) {
        ::InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE);
    }
}

} // namespace brenvik::framework
