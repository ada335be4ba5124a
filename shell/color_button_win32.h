#pragma once
// APPLY and START/STOP: owner-drawn push buttons whose owner chooses their colours.

#include "framework/cbutton.h"

namespace brenvik {

class CColorButton : public framework::CButton {
public:
    // Every colour starts as the current system colour of its role.
    CColorButton();

    // Creates a colour button at run time, adding the owner-drawn style to `style`, and binds
    // it. False when the window could not be created.
    bool create(HWND parent, const wchar_t* caption, DWORD style, const RECT& rect, int id);

    // Sets the caption and face colours and repaints the button, background erased.
    void setColours(COLORREF text, COLORREF face);

    // The owner-draw callback: the owner passes on the WM_DRAWITEM it received for the button.
    void drawItem(const DRAWITEMSTRUCT& item) const;

    COLORREF textColour;         // caption when enabled
    COLORREF faceColour;         // fill when enabled
    COLORREF disabledFaceColour; // fill when disabled
    COLORREF lightColour;        // inner top and left bevel line
    COLORREF highlightColour;    // outer top and left bevel line
    COLORREF shadowColour;       // inner bottom and right bevel line, inner ring when pressed
    COLORREF darkShadowColour;   // outer bottom and right bevel line, outer ring when pressed
};

} // namespace brenvik
