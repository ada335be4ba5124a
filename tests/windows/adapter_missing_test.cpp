#include "device/ftcspi_library_win32.h"
#include "device/transaction.h"

#include <gtest/gtest.h>

namespace brenvik::device {
namespace {

// Run from a folder without FTCSPI.dll: the program must be able to report the missing adapter
// instead of crashing, so every call fails with a status and leaves its out values alone.
TEST(MissingLibrary, EveryCallFailsCleanly) {
    FtcspiLibrary library;
    EXPECT_FALSE(library.loaded());
    for (std::uint32_t ordinal = 0; ordinal < 40; ++ordinal) {
        EXPECT_FALSE(library.resolved(ordinal));
    }

    constexpr std::uint32_t kUntouched = 0xA5A5A5A5;
    std::uint32_t value = kUntouched;
    std::uint32_t type = kUntouched;
    std::uint8_t latency = 0xA5;
    char text[100] = "x";
    char channel[5] = "x";
    FtcHandle handle = kUntouched;
    LowPinStates low{};
    HighPinSettings high{};
    HighPinStates states{};

    EXPECT_EQ(library.closeDevice(1), kStatusLibraryMissing);
    EXPECT_EQ(library.initDevice(1, 299), kStatusLibraryMissing);
    EXPECT_EQ(library.setClock(1, 299, &value), kStatusLibraryMissing);
    EXPECT_EQ(library.setLoopback(1, 0), kStatusLibraryMissing);
    EXPECT_EQ(library.getDllVersion(text, 10), kStatusLibraryMissing);
    EXPECT_EQ(library.getNumHiSpeedDevices(&value), kStatusLibraryMissing);
    EXPECT_EQ(library.getHiSpeedDeviceNameLocIdChannel(0, text, 100, &value, channel, 5, &type),
              kStatusLibraryMissing);
    EXPECT_EQ(library.openHiSpeedDevice("A", 0, "A", &handle), kStatusLibraryMissing);
    EXPECT_EQ(library.getHiSpeedDeviceType(1, &type), kStatusLibraryMissing);
    EXPECT_EQ(library.turnOnDivideByFiveClock(1), kStatusLibraryMissing);
    EXPECT_EQ(library.turnOffDivideByFiveClock(1), kStatusLibraryMissing);
    EXPECT_EQ(library.setDeviceLatencyTimer(1, 16), kStatusLibraryMissing);
    EXPECT_EQ(library.getDeviceLatencyTimer(1, &latency), kStatusLibraryMissing);
    EXPECT_EQ(library.getHiSpeedDeviceClock(0, &value), kStatusLibraryMissing);
    EXPECT_EQ(library.setHiSpeedDeviceGpios(1, &low, &high), kStatusLibraryMissing);
    EXPECT_EQ(library.getHiSpeedDeviceGpios(1, &states), kStatusLibraryMissing);

    EXPECT_EQ(value, kUntouched);
    EXPECT_EQ(type, kUntouched);
    EXPECT_EQ(latency, 0xA5);
    EXPECT_EQ(handle, kUntouched);
    EXPECT_STREQ(text, "x");

    DeviceLink link(library);
    const Reply reply = transact(link, 10, {}, 2, 1);
    EXPECT_EQ(reply.delivered, 0u);
    EXPECT_FALSE(acknowledged(reply));
    EXPECT_EQ(link.adapterStatus, kStatusLibraryMissing);
}

} // namespace
} // namespace brenvik::device
