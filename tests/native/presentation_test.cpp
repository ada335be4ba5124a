// Where the main window paints its pictures, and when the footer line acts as a link: where the
// pointer is and which keys are held.

#include "shell/presentation.h"

#include <gtest/gtest.h>

namespace brenvik {
namespace {

TEST(Presentation, PicturesAtTheirPlacesTheProductIconByActivity) {
    for (const bool activity : {false, true}) {
        EXPECT_EQ(mainWindowImages(activity),
                  (std::vector<PlacedImage>{
                      {L"Mevo Logo_SquareBlack.png", 0, 0},
                      {L"Sabrel Icon_L.png", 280, 90},
                      {activity ? L"Brenvik Icon_L2.png" : L"Brenvik Icon_L1.png", 730, 90}}));
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
