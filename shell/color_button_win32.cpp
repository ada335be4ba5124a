#include "shell/color_button_win32.h"

namespace brenvik {

CColorButton::CColorButton()
    : textColour(::GetSysColor(COLOR_BTNTEXT)), faceColour(::GetSysColor(COLOR_BTNFACE)),
      disabledFaceColour(::GetSysColor(COLOR_BTNFACE)), lightColour(::GetSysColor(COLOR_3DLIGHT)),
      highlightColour(::GetSysColor(COLOR_BTNHIGHLIGHT)),
      shadowColour(::GetSysColor(COLOR_BTNSHADOW)),
      darkShadowColour(::GetSysColor(COLOR_3DDKSHADOW)) {}

void CColorButton::setColours(COLORREF text, COLORREF face) {
    textColour = text;
    faceColour = face;
    redraw(true);
}

} // namespace brenvik
