#include "shell/presentation.h"

namespace brenvik {

std::vector<PlacedImage> mainWindowImages(bool activity) {
    return {
        {L"Mevo Logo_SquareBlack.png", 0, 0},
        {L"Sabrel Icon_L.png", 280, 90},
        {activity ? L"Brenvik Icon_L2.png" : L"Brenvik Icon_L1.png", 730, 90},
    };
}

PlacedImage aboutBoxImage() {
    return {L"Mevo_Logo_Final2.png", 20, 10};
}

Colour batteryAgeColour(monitor::BatteryAge age, Colour defaultColour) {
    switch (age) {
    case monitor::BatteryAge::Young:
        return 0x00FF00;
    case monitor::BatteryAge::Ageing:
        return 0x00FFFF;
    case monitor::BatteryAge::Old:
        return 0x0000FF;
    default:
        return defaultColour;
    }
}

bool isOverFooterLink(const PixelRect& link, PixelPoint point) {
    return link.left < point.x && point.x < link.right && link.top < point.y &&
           point.y < link.bottom;
}

bool opensFooterLink(unsigned keyFlags) {
    constexpr unsigned kLeftButtonOnly = 0x0001; // the platform's left-button key-state flag
    return keyFlags == kLeftButtonOnly;
}

} // namespace brenvik
