#include "shell/color_button_drawing.h"

#include <utility>

namespace brenvik {
namespace {

constexpr Colour kBlack = 0x000000;
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kGrey = 0x808080;

// Frame styles, handled in the order outline, raised, sunken.
constexpr unsigned kFrameSunken = 1;
constexpr unsigned kFrameRaised = 2;
constexpr unsigned kFrameOutline = 4;

class StepList {
public:
    void fill(const PixelRect& rect, Colour colour) { steps_.emplace_back(FillStep{rect, colour}); }

    void top(const PixelRect& r, Colour c) { line({r.left, r.top}, {r.right, r.top}, c); }
    void left(const PixelRect& r, Colour c) { line({r.left, r.top}, {r.left, r.bottom}, c); }
    void bottom(const PixelRect& r, Colour c) {
        line({r.left, r.bottom - 1}, {r.right, r.bottom - 1}, c);
    }
    void right(const PixelRect& r, Colour c) {
        line({r.right - 1, r.top}, {r.right - 1, r.bottom}, c);
    }

    // Top and left in one colour, then bottom and right in another.
    void bevel(const PixelRect& r, Colour topLeft, Colour bottomRight) {
        top(r, topLeft);
        left(r, topLeft);
        bottom(r, bottomRight);
        right(r, bottomRight);
    }

    void text(std::wstring line, const PixelRect& rect, Colour colour, unsigned format) {
        steps_.emplace_back(TextStep{std::move(line), rect, colour, format});
    }
    void focus(const PixelRect& rect) { steps_.emplace_back(FocusStep{rect}); }

    std::vector<DrawStep> take() { return std::move(steps_); }

private:
    void line(PixelPoint from, PixelPoint to, Colour colour) {
        steps_.emplace_back(LineStep{from, to, colour});
    }

    std::vector<DrawStep> steps_;
};

PixelRect shrunk(const PixelRect& r, int by) {
    return {r.left + by, r.top + by, r.right - by, r.bottom - by};
}

void frame(StepList& steps, PixelRect r, unsigned frameStyle, const ButtonColours& colours) {
    if ((frameStyle & kFrameOutline) != 0) {
        steps.bevel(r, kBlack, kBlack);
        r = shrunk(r, 1);
    }
    if ((frameStyle & kFrameRaised) != 0) {
        steps.bevel(r, colours.highlight, colours.darkShadow);
        r = shrunk(r, 1);
        steps.bevel(r, colours.light, colours.shadow);
    }
    if ((frameStyle & kFrameSunken) != 0) {
        steps.bevel(r, colours.darkShadow, colours.darkShadow);
        r = shrunk(r, 1);
        steps.bevel(r, colours.shadow, colours.shadow);
    }
}

unsigned textFormat(unsigned style) {
    switch (style & (kButtonStyleLeft | kButtonStyleRight)) {
    case kButtonStyleLeft | kButtonStyleRight:
        return kTextCenter;
    case kButtonStyleLeft:
        return kTextLeft;
    case kButtonStyleRight:
        return kTextRight;
    default:
        return kTextCenter | kTextVCenter | kTextSingleLine;
    }
}

void caption(StepList& steps, const ButtonDrawing& drawing, Colour colour, const PixelRect& r) {
    const std::vector<std::wstring> lines = captionLines(drawing.caption, drawing.style);
    const int h = drawing.lineHeight;
    const int block = static_cast<int>(lines.size()) * h;
    int y = 0;
    switch (drawing.style & (kButtonStyleTop | kButtonStyleBottom)) {
    case kButtonStyleTop:
        y = r.top + 2;
        break;
    case kButtonStyleBottom:
        y = r.bottom - block - 2;
        break;
    default:
        // Integer division rounds toward zero, also when the caption is taller than the button.
        y = r.top + (r.bottom - r.top - block) / 2 - 1;
        break;
    }
    const unsigned format = textFormat(drawing.style);
    for (const std::wstring& line : lines) {
        steps.text(line, {r.left + 3, y, r.right - 3, y + h}, colour, format);
        y += h;
    }
}

} // namespace

std::vector<std::wstring> captionLines(std::wstring_view caption, unsigned style) {
    if ((style & kButtonStyleMultiLine) == 0) {
        return {std::wstring(caption)};
    }
    std::vector<std::wstring> lines;
    for (std::size_t start = 0;;) {
        const std::size_t feed = caption.find(L'\n', start);
        lines.emplace_back(caption.substr(start, feed - start));
        if (feed == std::wstring_view::npos) {
            return lines;
        }
        start = feed + 1;
    }
}

std::vector<DrawStep> colorButtonSteps(const ButtonDrawing& drawing) {
    const ButtonState& state = drawing.state;
    const ButtonColours& colours = drawing.colours;
    const PixelRect& b = drawing.item;
    const PixelRect a{b.left - 1, b.top - 1, b.right - 1, b.bottom - 1};

    StepList steps;
    steps.fill(b, state.disabled ? colours.disabledFace : colours.face);
    if (state.selected) {
        frame(steps, b, kFrameSunken, colours);
    } else if (state.focus || state.isDefault) {
        frame(steps, b, kFrameOutline | kFrameRaised, colours);
    } else {
        frame(steps, b, kFrameRaised, colours);
    }
    if (state.disabled) {
        // Engraved: a white caption with a grey one a pixel up and left over it.
        caption(steps, drawing, kWhite, b);
        caption(steps, drawing, kGrey, a);
    } else {
        caption(steps, drawing, colours.text, state.selected ? b : a);
    }
    if (state.focus) {
        steps.focus(shrunk(b, 4));
    }
    return steps.take();
}

} // namespace brenvik
