// The colour button's drawing steps: fill, frame lines with their corner order, caption lines
// and focus rectangle, for each item state and caption layout.

#include "shell/color_button_drawing.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace brenvik {
namespace {

// One line per step, e.g. "line 0,0 100,0 eeeeee" or "text 'OK' 2,6,96,22 ffffff 25".
std::string describe(const std::vector<DrawStep>& steps) {
    std::string out;
    char buffer[160];
    for (const DrawStep& step : steps) {
        if (const auto* fill = std::get_if<FillStep>(&step)) {
            std::snprintf(buffer, sizeof buffer, "fill %d,%d,%d,%d %06x\n", fill->rect.left,
                          fill->rect.top, fill->rect.right, fill->rect.bottom, fill->colour);
        } else if (const auto* line = std::get_if<LineStep>(&step)) {
            std::snprintf(buffer, sizeof buffer, "line %d,%d %d,%d %06x\n", line->from.x,
                          line->from.y, line->to.x, line->to.y, line->colour);
        } else if (const auto* text = std::get_if<TextStep>(&step)) {
            std::snprintf(buffer, sizeof buffer, "text '%ls' %d,%d,%d,%d %06x %x\n",
                          text->text.c_str(), text->rect.left, text->rect.top, text->rect.right,
                          text->rect.bottom, text->colour, text->format);
        } else {
            const PixelRect& r = std::get<FocusStep>(step).rect;
            std::snprintf(buffer, sizeof buffer, "focus %d,%d,%d,%d\n", r.left, r.top, r.right,
                          r.bottom);
        }
        out += buffer;
    }
    return out;
}

ButtonDrawing button(ButtonState state, unsigned style, std::wstring caption, int lineHeight,
                     PixelRect item = {0, 0, 100, 30}) {
    return {item,       state,
            style,      std::move(caption),
            lineHeight, {0xffffff, 0x008000, 0xc0c0c0, 0xdddddd, 0xeeeeee, 0x888888, 0x444444}};
}

TEST(ColorButtonSteps, FillFrameCaptionAndFocusByItemState) {
    // Focused or default: the black outline, then the raised frame inside it.
    const std::string outlined = "line 0,0 100,0 000000\nline 0,0 0,30 000000\n"
                                 "line 0,29 100,29 000000\nline 99,0 99,30 000000\n"
                                 "line 1,1 99,1 eeeeee\nline 1,1 1,29 eeeeee\n"
                                 "line 1,28 99,28 444444\nline 98,1 98,29 444444\n"
                                 "line 2,2 98,2 dddddd\nline 2,2 2,28 dddddd\n"
                                 "line 2,27 98,27 888888\nline 97,2 97,28 888888\n";
    const struct {
        const char* name;
        ButtonState state;
        std::string expected;
    } cases[] = {
        {"released: raised frame, caption moved up and left",
         {},
         "fill 0,0,100,30 008000\n"
         "line 0,0 100,0 eeeeee\nline 0,0 0,30 eeeeee\n"
         "line 0,29 100,29 444444\nline 99,0 99,30 444444\n"
         "line 1,1 99,1 dddddd\nline 1,1 1,29 dddddd\n"
         "line 1,28 99,28 888888\nline 98,1 98,29 888888\n"
         "text 'APPLY' 2,5,96,21 ffffff 25\n"},
        {"pressed and focused: two dark rings, caption in place, focus 4 px in",
         {.selected = true, .focus = true},
         "fill 0,0,100,30 008000\n"
         "line 0,0 100,0 444444\nline 0,0 0,30 444444\n"
         "line 0,29 100,29 444444\nline 99,0 99,30 444444\n"
         "line 1,1 99,1 888888\nline 1,1 1,29 888888\n"
         "line 1,28 99,28 888888\nline 98,1 98,29 888888\n"
         "text 'APPLY' 3,6,97,22 ffffff 25\n"
         "focus 4,4,96,26\n"},
        {"default: black outline around the raised frame, no focus rectangle",
         {.isDefault = true},
         "fill 0,0,100,30 008000\n" + outlined + "text 'APPLY' 2,5,96,21 ffffff 25\n"},
        {"disabled and focused: disabled face, white then grey caption, focus",
         {.disabled = true, .focus = true},
         "fill 0,0,100,30 c0c0c0\n" + outlined +
             "text 'APPLY' 3,6,97,22 ffffff 25\n"
             "text 'APPLY' 2,5,96,21 808080 25\n"
             "focus 4,4,96,26\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe(colorButtonSteps(button(c.state, 0, L"APPLY", 16))), c.expected)
            << c.name;
    }
}

TEST(ColorButtonSteps, CaptionLinesByMultiLineAndAlignmentStyles) {
    // The text steps of a released button 60 x 40 with lines 10 pixels high, by style.
    const std::tuple<unsigned, const wchar_t*, const char*> rows[] = {
        // Without the multi-line style a line feed stays in the one line.
        {0x0, L"ON\nOFF", "text 'ON\nOFF' 2,13,56,23 ffffff 25\n"},
        {0x2300, L"ON\nOFF", "text 'ON' 2,8,56,18 ffffff 1\ntext 'OFF' 2,18,56,28 ffffff 1\n"},
        {0x2500, L"ON\nOFF", "text 'ON' 2,1,56,11 ffffff 0\ntext 'OFF' 2,11,56,21 ffffff 0\n"},
        {0x2a00, L"A\r\n\nB",
         "text 'A\r' 2,7,56,17 ffffff 2\ntext '' 2,17,56,27 ffffff 2\ntext 'B' 2,27,56,37 ffffff "
         "2\n"},
        {0x2c00, L"", "text '' 2,13,56,23 ffffff 25\n"}};
    const auto texts = [](const ButtonDrawing& drawing) {
        std::vector<DrawStep> steps = colorButtonSteps(drawing);
        std::erase_if(steps,
                      [](const DrawStep& s) { return !std::holds_alternative<TextStep>(s); });
        return describe(steps);
    };
    for (const auto& [style, caption, expected] : rows) {
        EXPECT_EQ(texts(button({}, style, caption, 10, {0, 0, 60, 40})), expected)
            << std::hex << style;
    }
    // Caption taller than the button: (11 - 16) / 2 rounds toward zero to -2.
    EXPECT_EQ(texts(button({}, 0, L"GO", 16, {10, 20, 70, 31})),
              "text 'GO' 12,16,66,32 ffffff 25\n");
}

} // namespace
} // namespace brenvik
