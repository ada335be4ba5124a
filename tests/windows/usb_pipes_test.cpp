// The driver-library pipe where the bridge driver is not installed (Wine's system folder has no
// ftd2xx.dll): no bridge, one clear reason, and the serial engine counts no device. A library of
// the same name lies in the program's and the current folder and must not be taken.

#include "serial_engine/serial_engine.h"
#include "usb_pipes/d2xx_bus.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using brenvik::engine::PipeStatus;

class NoWait final : public brenvik::Clock {
public:
    void sleep(std::chrono::milliseconds) override {}
};

TEST(D2xxBus, WithoutTheDriversLibraryListsNoBridgeAndSaysWhy) {
    ASSERT_TRUE(std::filesystem::exists("ftd2xx.dll"));
    brenvik::usbpipes::D2xxBus bus;
    EXPECT_FALSE(bus.available());
    EXPECT_EQ(bus.lastError(),
              "the bridge driver's library ftd2xx.dll is not in the system folder");

    std::vector<brenvik::engine::BridgeChannel> channels(1);
    EXPECT_EQ(bus.enumerate(channels), PipeStatus::deviceNotFound);
    EXPECT_TRUE(channels.empty());
    PipeStatus status = PipeStatus::ok;
    EXPECT_EQ(bus.open(brenvik::engine::OpenBy::serial, "FT0001A", status), nullptr);
    EXPECT_EQ(status, PipeStatus::deviceNotFound);

    NoWait clock;
    brenvik::engine::SerialEngine engine(bus, clock);
    std::uint32_t count = 7;
    EXPECT_EQ(engine.getNumHiSpeedDevices(&count), 2u);
    EXPECT_EQ(count, 0u);
}

} // namespace
