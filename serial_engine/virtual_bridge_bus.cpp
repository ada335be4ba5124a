#include "serial_engine/virtual_bridge_bus.h"

#include <algorithm>
#include <cstdio>

namespace brenvik::engine {

BridgeChannel channelOf(const vsupply::DeviceEntry& device) {
    const char channel = channelOfDescription(device.description);
    char serial[16];
    std::snprintf(serial, sizeof serial, "VB%06X%c", device.locationId & 0xFFFFFF,
                  channel == 0 ? '?' : channel);
    char location[16];
    std::snprintf(location, sizeof location, "0x%X", device.locationId);
    return {serial,
            location,
            device.locationId,
            device.type == vsupply::kTypeQuadChannel ? BridgeType::fourChannel
                                                     : BridgeType::twoChannel,
            channel == 0 ? '?' : channel,
            device.description,
            false};
}

VirtualBridgeBus::VirtualBridgeBus(vsupply::VirtualBridge& bridge)
    : VirtualBridgeBus(bridge, [&bridge](std::span<const std::uint8_t> frame,
                                         std::span<std::uint8_t> reply, std::uint32_t& delivered) {
          return bridge.answer(frame, reply, delivered);
      }) {}

VirtualBridgeBus::VirtualBridgeBus(vsupply::VirtualBridge& bridge, Answer answer)
    : bridge_(bridge), answer_(std::move(answer)) {}

PipeStatus VirtualBridgeBus::enumerate(std::vector<BridgeChannel>& channels) {
    channels.clear();
    if (bridge_.faults().countZero) {
        return PipeStatus::ok;
    }
    for (const auto& device : bridge_.devices()) {
        const BridgeChannel channel = channelOf(device);
        if (played_.insert(channel.location).second) {
            decoders_.add(channel, [this](std::span<const std::uint8_t> frame,
                                          std::span<std::uint8_t> reply, std::size_t& delivered) {
                std::uint32_t count = 0;
                const bool good = answer_(frame, reply, count) == device::kStatusSuccess;
                delivered = count;
                return good;
            });
        }
        channels.push_back(channel);
    }
    return PipeStatus::ok;
}

std::unique_ptr<BytePipe> VirtualBridgeBus::open(OpenBy by, std::string_view key,
                                                 PipeStatus& status) {
    std::vector<BridgeChannel> listed;
    enumerate(listed);
    if (std::none_of(listed.begin(), listed.end(), [&](const BridgeChannel& c) {
            return (by == OpenBy::serial ? c.serial : c.location) == key;
        })) {
        status = PipeStatus::deviceNotFound;
        return nullptr;
    }
    return decoders_.open(by, key, status);
}

} // namespace brenvik::engine
