#pragma once
// How a colour button draws itself, as a list of drawing steps: the face fill, the one-pixel
// frame lines, the caption lines and the focus rectangle. The button's owner-draw callback only
// executes the steps, so the layout is the same on every platform and checkable without one.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brenvik {

// A colour value with red in the low byte, then green, then blue.
using Colour = std::uint32_t;

// Right and bottom are exclusive.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct PixelPoint {
    int x = 0;
    int y = 0;

    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// Button style bits that change the caption layout (the platform's values).
inline constexpr unsigned kButtonStyleLeft = 0x100;
inline constexpr unsigned kButtonStyleRight = 0x200;
inline constexpr unsigned kButtonStyleTop = 0x400;
inline constexpr unsigned kButtonStyleBottom = 0x800;
inline constexpr unsigned kButtonStyleMultiLine = 0x2000;

// Text format flags of a caption line (the platform's text-drawing values).
inline constexpr unsigned kTextLeft = 0x0;
inline constexpr unsigned kTextCenter = 0x1;
inline constexpr unsigned kTextRight = 0x2;
inline constexpr unsigned kTextVCenter = 0x4;
inline constexpr unsigned kTextSingleLine = 0x20;

// The item state of one draw.
struct ButtonState {
    bool selected = false; // pressed
    bool disabled = false;
    bool focus = false;
    bool isDefault = false;
};

struct ButtonColours {
    Colour text = 0;
    Colour face = 0;
    Colour disabledFace = 0;
    Colour light = 0;
    Colour highlight = 0;
    Colour shadow = 0;
    Colour darkShadow = 0;
};

struct ButtonDrawing {
    PixelRect item;
    ButtonState state;
    unsigned style = 0; // the button's window style
    std::wstring caption;
    int lineHeight = 0; // height of the last caption line in the button's font
    ButtonColours colours;
};

struct FillStep {
    PixelRect rect;
    Colour colour;
};

// A solid one-pixel line; its end point is not drawn.
struct LineStep {
    PixelPoint from;
    PixelPoint to;
    Colour colour;
};

// One caption line drawn transparently, clipped to its rectangle.
struct TextStep {
    std::wstring text;
    PixelRect rect;
    Colour colour;
    unsigned format;
};

// The platform's dotted, inverting focus rectangle.
struct FocusStep {
    PixelRect rect;
};

using DrawStep = std::variant<FillStep, LineStep, TextStep, FocusStep>;

// The caption's lines: split at line feeds with the multi-line style, else the whole caption.
std::vector<std::wstring> captionLines(std::wstring_view caption, unsigned style);

// Every step of one draw, in drawing order.
std::vector<DrawStep> colorButtonSteps(const ButtonDrawing& drawing);

} // namespace brenvik
