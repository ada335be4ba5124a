#pragma once
// The main window's look that needs no Windows API: which pictures it paints where, the colour
// of the battery installed time, and when the footer line acts as a link.

#include "monitor/monitor_state.h"
#include "shell/color_button_drawing.h"

#include <string_view>
#include <vector>

namespace brenvik {

// A picture painted on the window background at its natural size, by bare file name.
struct PlacedImage {
    std::wstring_view file; // a literal, so its data() ends in a null character
    int x;
    int y;

    friend bool operator==(const PlacedImage&, const PlacedImage&) = default;
};

// The pictures of the main window in painting order; the product icon alternates with the
// activity flag while monitoring runs.
std::vector<PlacedImage> mainWindowImages(bool activity);

// The About box's logo.
PlacedImage aboutBoxImage();

// Text background of the battery installed time: green, yellow or red by age, otherwise the
// field's default colour.
Colour batteryAgeColour(monitor::BatteryAge age, Colour defaultColour);

// True when `point` lies strictly inside `link` (its left column and top row are outside).
bool isOverFooterLink(const PixelRect& link, PixelPoint point);

// Key-state flags of a mouse message: the link opens on the left button alone, without Shift,
// Ctrl or another button.
bool opensFooterLink(unsigned keyFlags);

} // namespace brenvik
