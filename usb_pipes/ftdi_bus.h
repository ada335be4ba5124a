#pragma once
// Bridges reached through libftdi1 and libusb on Linux: channel A of every two-channel (0403:6010)
// and four-channel (0403:6011) bridge, listed with its serial and its USB bus and port path
// ("1-4.2"), opened by either.
//
// A normal user needs the udev rule shipped beside this file (kUdevRuleName) to open a bridge.

#include "serial_engine/byte_pipe.h"

namespace brenvik::usbpipes {

inline constexpr const char* kUdevRuleName = "60-brenvik-usb-bridge.rules";

class FtdiBus final : public engine::BridgeBus {
public:
    engine::PipeStatus enumerate(std::vector<engine::BridgeChannel>& channels) override;
    std::unique_ptr<engine::BytePipe> open(engine::OpenBy by, std::string_view key,
                                           engine::PipeStatus& status) override;
    std::string lastError() const override { return lastError_; }

private:
    std::string lastError_;
};

// The number the adapter library would give a location: the bus number followed by one hex digit
// per port ("1-2.1" is 0x121). A path that does not fit gets a number of its own with the top bit
// set.
std::uint32_t locationIdOf(std::uint8_t bus, std::span<const std::uint8_t> ports);

} // namespace brenvik::usbpipes
