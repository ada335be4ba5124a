// The main window's pictures, the battery-age colours and the footer link's rules.

#include "shell/presentation.h"

#include <gtest/gtest.h>

namespace brenvik {
namespace {

TEST(Presentation, PicturesInPaintingOrderWithTheProductIconByActivity) {
    EXPECT_EQ(mainWindowImages(false),
              (std::vector<PlacedImage>{{L"Mevo Logo_SquareBlack.png", 0, 0},
                                        {L"Sabrel Icon_L.png", 280, 90},
                                        {L"Brenvik Icon_L1.png", 730, 90}}));
    EXPECT_EQ(mainWindowImages(true)[2], (PlacedImage{L"Brenvik Icon_L2.png", 730, 90}));
    EXPECT_EQ(aboutBoxImage(), (PlacedImage{L"Mevo_Logo_Final2.png", 20, 10}));
}

TEST(Presentation, BatteryAgeColoursRedInTheLowByte) {
    using monitor::BatteryAge;
    const std::pair<BatteryAge, Colour> cases[] = {
        {BatteryAge::None, 0xc8d0d4},           {BatteryAge::Young, 0x00ff00},
        {BatteryAge::Ageing, 0x00ffff},         {BatteryAge::Old, 0x0000ff},
        {static_cast<BatteryAge>(4), 0xc8d0d4},
    };
    for (const auto& [age, colour] : cases) {
        EXPECT_EQ(batteryAgeColour(age, 0xc8d0d4), colour) << static_cast<int>(age);
    }
}

TEST(Presentation, FooterLinkStrictlyInsideAndOnTheLeftButtonAlone) {
    const PixelRect link{176, 514, 616, 530};
    const std::pair<PixelPoint, bool> points[] = {
        {{177, 515}, true},  {{615, 529}, true},  {{176, 520}, false},
        {{300, 514}, false}, {{616, 520}, false}, {{300, 530}, false},
    };
    for (const auto& [point, over] : points) {
        EXPECT_EQ(isOverFooterLink(link, point), over) << point.x << "," << point.y;
    }
    // MK_LBUTTON 1, MK_RBUTTON 2, MK_SHIFT 4, MK_CONTROL 8, MK_MBUTTON 0x10.
    const std::pair<unsigned, bool> keys[] = {{0x01, true},  {0x00, false}, {0x05, false},
                                              {0x09, false}, {0x03, false}, {0x11, false}};
    for (const auto& [flags, opens] : keys) {
        EXPECT_EQ(opensFooterLink(flags), opens) << flags;
    }
}

} // namespace
} // namespace brenvik
