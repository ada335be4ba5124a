#include "device/ftcspi_library_win32.h"
#include "device/transaction.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace brenvik::device {
namespace {

// Run from a folder without FTCSPI.dll: the program must be able to report the missing adapter
// instead of crashing, so every call fails with a status and leaves its out values alone.
TEST(MissingLibrary, EveryCallFailsCleanly) {
    FtcspiLibrary library;
    EXPECT_FALSE(library.loaded());
    std::uint32_t value = 7;
    std::uint8_t latency = 7;
    FtcHandle handle = 7;
    char text[10] = "x";
    const std::vector<FtcStatus> statuses{
        library.closeDevice(1),
        library.initDevice(1, 299),
        library.setClock(1, 299, &value),
        library.setLoopback(1, 0),
        library.getDllVersion(text, 10),
        library.getNumHiSpeedDevices(&value),
        library.getHiSpeedDeviceNameLocIdChannel(0, text, 10, &value, text, 10, &value),
        library.openHiSpeedDevice("A", 0, "A", &handle),
        library.getHiSpeedDeviceType(1, &value),
        library.turnOnDivideByFiveClock(1),
        library.turnOffDivideByFiveClock(1),
        library.setDeviceLatencyTimer(1, 16),
        library.getDeviceLatencyTimer(1, &latency),
        library.getHiSpeedDeviceClock(0, &value),
        library.setHiSpeedDeviceGpios(1, nullptr, nullptr),
        library.getHiSpeedDeviceGpios(1, nullptr)};
    EXPECT_EQ(statuses, std::vector<FtcStatus>(16, kStatusLibraryMissing));
    EXPECT_EQ(std::tuple(value, latency, handle, std::string(text)),
              std::tuple(7u, std::uint8_t{7}, FtcHandle{7}, std::string("x")));

    DeviceLink link(library);
    const Reply reply = transact(link, 10, {}, 2, 1);
    EXPECT_EQ(std::tuple(reply.delivered, acknowledged(reply), link.adapterStatus),
              std::tuple(0u, false, kStatusLibraryMissing));
}

} // namespace
} // namespace brenvik::device
