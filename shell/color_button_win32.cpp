#include "shell/color_button_win32.h"

#include "framework/text.h"
#include "shell/color_button_drawing.h"
#include "win32/handles.h"

#include <string>
#include <variant>

namespace brenvik {
namespace {

using win32::SelectedObject;

RECT toRect(const PixelRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// Executes the steps of one draw on a device context; every drawing object lives for its step.
class StepPainter {
public:
    explicit StepPainter(HDC dc) : dc_(dc) {}

    void operator()(const FillStep& step) const {
        const win32::UniqueBrush brush(::CreateSolidBrush(step.colour));
        const RECT rect = toRect(step.rect);
        ::FillRect(dc_, &rect, brush.get());
    }
    void operator()(const LineStep& step) const {
        const win32::UniquePen pen(::CreatePen(PS_SOLID, 1, step.colour));
        const SelectedObject selected(dc_, pen.get());
        ::MoveToEx(dc_, step.from.x, step.from.y, nullptr);
        ::LineTo(dc_, step.to.x, step.to.y);
    }
    void operator()(const TextStep& step) const {
        const COLORREF previous = ::SetTextColor(dc_, step.colour);
        ::SetBkMode(dc_, TRANSPARENT);
        RECT rect = toRect(step.rect);
        ::DrawTextW(dc_, step.text.c_str(), static_cast<int>(step.text.size()), &rect, step.format);
        ::SetTextColor(dc_, previous);
    }
    void operator()(const FocusStep& step) const {
        const RECT rect = toRect(step.rect);
        ::DrawFocusRect(dc_, &rect);
    }

private:
    HDC dc_;
};

} // namespace

CColorButton::CColorButton()
    : textColour(::GetSysColor(COLOR_BTNTEXT)), faceColour(::GetSysColor(COLOR_BTNFACE)),
      disabledFaceColour(::GetSysColor(COLOR_BTNFACE)), lightColour(::GetSysColor(COLOR_3DLIGHT)),
      highlightColour(::GetSysColor(COLOR_BTNHIGHLIGHT)),
      shadowColour(::GetSysColor(COLOR_BTNSHADOW)),
      darkShadowColour(::GetSysColor(COLOR_3DDKSHADOW)) {}

bool CColorButton::create(HWND parent, const wchar_t* caption, DWORD style, const RECT& rect,
                          int id) {
    const HWND button = ::CreateWindowExW(0, L"BUTTON", caption, style | BS_OWNERDRAW, rect.left,
                                          rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                          ::GetModuleHandleW(nullptr), nullptr);
    attach(button);
    return button != nullptr;
}

void CColorButton::setColours(COLORREF text, COLORREF face) {
    textColour = text;
    faceColour = face;
    redraw(true);
}

void CColorButton::drawItem(const DRAWITEMSTRUCT& item) const {
    const HDC dc = item.hDC;
    ButtonDrawing drawing;
    drawing.item = {item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
    drawing.state = {(item.itemState & ODS_SELECTED) != 0, (item.itemState & ODS_DISABLED) != 0,
                     (item.itemState & ODS_FOCUS) != 0, (item.itemState & ODS_DEFAULT) != 0};
    drawing.style = static_cast<unsigned>(::GetWindowLongW(item.hwndItem, GWL_STYLE));
    drawing.caption = framework::windowText(item.hwndItem);
    drawing.colours = {textColour,      faceColour,   disabledFaceColour, lightColour,
                       highlightColour, shadowColour, darkShadowColour};

    // The line height is the height of the last line in the font the button draws with.
    const std::wstring last = captionLines(drawing.caption, drawing.style).back();
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, last.c_str(), static_cast<int>(last.size()), &extent);
    drawing.lineHeight = extent.cy;

    const StepPainter painter(dc);
    for (const DrawStep& step : colorButtonSteps(drawing)) {
        std::visit(painter, step);
    }
}

} // namespace brenvik
