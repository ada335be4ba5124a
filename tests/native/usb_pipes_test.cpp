// The number a USB location gets, as the adapter library's location id: readable where it fits,
// distinct where it does not.

#include "usb_pipes/ftdi_bus.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using brenvik::usbpipes::locationIdOf;

TEST(FtdiBus, LocationIdPacksBusAndPortsAsHexDigits) {
    EXPECT_EQ(locationIdOf(1, std::vector<std::uint8_t>{2, 1}), 0x121u);
    EXPECT_EQ(locationIdOf(3, std::vector<std::uint8_t>{4}), 0x34u);
    EXPECT_EQ(locationIdOf(0xFF, std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}), 0xFF123456u);
    // A port above 15 or a path deeper than six cannot be packed: a number with the top bit set,
    // different for different paths.
    const auto wide = locationIdOf(1, std::vector<std::uint8_t>{16});
    const auto deep = locationIdOf(1, std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1, 1});
    EXPECT_EQ(wide & 0x80000000u, 0x80000000u);
    EXPECT_EQ(deep & 0x80000000u, 0x80000000u);
    EXPECT_NE(wide, locationIdOf(1, std::vector<std::uint8_t>{17}));
    EXPECT_NE(wide, deep);
}

} // namespace
