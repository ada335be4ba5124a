#pragma once
// The devices of a virtual bridge as bridges on a bus: each is played by the command decoder,
// whose frames reach the virtual bridge's transfer with its faults, plug events and trace, so
// the serial engine's road meets the same supply, scenarios and faults as the stand-in library.
// The bus lists what the virtual bridge lists at that moment (nothing while its count is made
// to read zero).

#include "serial_engine/bridge_decoder.h"
#include "virtual_supply/virtual_bridge.h"

#include <functional>
#include <set>

namespace brenvik::engine {

// The channel a device of a virtual bridge is listed as: serial "VB" and the location id in hex
// and the channel letter, location "0x121", the device's name as description.
BridgeChannel channelOf(const vsupply::DeviceEntry& device);

class VirtualBridgeBus final : public BridgeBus {
public:
    // How a frame reaches the bridge; VirtualBridge::answer unless a host wraps it.
    using Answer =
        std::function<device::FtcStatus(std::span<const std::uint8_t> frame,
                                        std::span<std::uint8_t> reply, std::uint32_t& delivered)>;

    explicit VirtualBridgeBus(vsupply::VirtualBridge& bridge);
    VirtualBridgeBus(vsupply::VirtualBridge& bridge, Answer answer);

    PipeStatus enumerate(std::vector<BridgeChannel>& channels) override;
    std::unique_ptr<BytePipe> open(OpenBy by, std::string_view key, PipeStatus& status) override;
    std::string lastError() const override { return decoders_.lastError(); }

private:
    vsupply::VirtualBridge& bridge_;
    Answer answer_;
    DecoderBus decoders_;
    std::set<std::string> played_; // locations that have a decoder
};

} // namespace brenvik::engine
