#include "cli/roads.h"

#include "device/forwarding_library.h"
#include "serial_engine/bridge_decoder.h"
#include "serial_engine/serial_engine.h"
#include "serial_engine/virtual_bridge_bus.h"
#include "virtual_supply/scenario.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace brenvik::cli {
namespace {

constexpr std::array<std::pair<Backend, std::string_view>, 6> kBackendNames{{
    {Backend::automatic, "auto"},
    {Backend::ftcspi, "ftcspi"},
    {Backend::d2xx, "d2xx"},
    {Backend::libftdi, "libftdi"},
    {Backend::virtualSupply, "virtual"},
    {Backend::virtualBridge, "virtual-bridge"},
}};

std::string hexText(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string typeText(bool fourChannel) {
    return fourChannel ? "4-channel" : "2-channel";
}

Unit unitOf(const engine::BridgeChannel& channel, std::string_view backend) {
    return {0,
            channel.serial,
            channel.location,
            channel.locationId,
            typeText(channel.type == engine::BridgeType::fourChannel),
            std::string(1, channel.channel),
            channel.description,
            std::string(backend)};
}

// The serial engine over a bus, traced when asked.
class EngineUnit final : public UnitLibrary {
public:
    EngineUnit(engine::BridgeBus& bus, Clock& clock, std::ostream* usbTrace) {
        engine::BridgeBus* used = &bus;
        if (usbTrace != nullptr) {
            tracing_.emplace(bus, trace_.emplace(*usbTrace));
            used = &*tracing_;
        }
        engine_.emplace(*used, clock);
    }
    device::AdapterLibrary& library() override { return *engine_; }

private:
    std::optional<engine::UsbTrace> trace_;
    std::optional<engine::TracingBus> tracing_;
    std::optional<engine::SerialEngine> engine_;
};

// A unit's own bus to the hardware, and the engine over it.
class HardwareUnit final : public UnitLibrary {
public:
    HardwareUnit(std::unique_ptr<engine::BridgeBus> bus, Clock& clock, std::ostream* usbTrace)
        : bus_(std::move(bus)), engine_(*bus_, clock, usbTrace) {}
    device::AdapterLibrary& library() override { return engine_.library(); }

private:
    std::unique_ptr<engine::BridgeBus> bus_;
    EngineUnit engine_;
};

class EngineRoad final : public Road {
public:
    EngineRoad(std::string name, std::function<std::unique_ptr<engine::BridgeBus>()> makeBus)
        : name_(std::move(name)), makeBus_(std::move(makeBus)) {}

    std::string_view name() const override { return name_; }
    void list(std::vector<Unit>& units, std::string& error) override {
        const auto bus = makeBus_();
        std::vector<engine::BridgeChannel> channels;
        const engine::PipeStatus status = bus->enumerate(channels);
        // Also a bridge listed that this user may not open, with the rule to install.
        error = bus->lastError();
        units.clear();
        if (status != engine::PipeStatus::ok) {
            return;
        }
        for (const auto& channel : channels) {
            units.push_back(unitOf(channel, name_));
            units.back().index = units.size() - 1;
        }
    }
    std::unique_ptr<UnitLibrary> open(const Unit*, Clock& clock, std::ostream* usbTrace) override {
        return std::make_unique<HardwareUnit>(makeBus_(), clock, usbTrace);
    }
    bool tracesUsb() const override { return true; }

private:
    std::string name_;
    std::function<std::unique_ptr<engine::BridgeBus>()> makeBus_;
};

// The process's one vendor library, each call made while no other unit is in one: the waits
// between calls still overlap.
class TakingTurns final : public device::ForwardingLibrary, public UnitLibrary {
public:
    TakingTurns(device::AdapterLibrary& inner, std::mutex& turn)
        : ForwardingLibrary(inner), inner_(inner), turn_(turn) {}
    device::AdapterLibrary& library() override { return *this; }
    std::string refusal() const override { return inner_.refusal(); }

private:
    device::FtcStatus through(std::uint32_t,
                              const std::function<device::FtcStatus()>& call) override {
        const std::lock_guard lock(turn_);
        return call();
    }

    device::AdapterLibrary& inner_;
    std::mutex& turn_;
};

class LibraryRoad final : public Road {
public:
    explicit LibraryRoad(std::unique_ptr<device::AdapterLibrary> library)
        : library_(std::move(library)) {}

    std::string_view name() const override { return "ftcspi"; }
    void list(std::vector<Unit>& units, std::string& error) override {
        const std::lock_guard lock(turn_);
        std::uint32_t count = 0;
        if (const auto status = library_->getNumHiSpeedDevices(&count); status != 0) {
            error =
                "the adapter library cannot list bridges (status " + std::to_string(status) + ")";
            return;
        }
        units.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            std::array<char, 256> name{};
            std::array<char, 8> channel{};
            std::uint32_t location = 0;
            std::uint32_t type = 0;
            if (library_->getHiSpeedDeviceNameLocIdChannel(i, name.data(), name.size() - 1,
                                                           &location, channel.data(),
                                                           channel.size() - 1, &type) != 0) {
                continue;
            }
            units.push_back({units.size(), "", hexText(location), location, typeText(type == 2),
                             channel.data(), name.data(), "ftcspi"});
        }
    }
    std::unique_ptr<UnitLibrary> open(const Unit*, Clock&, std::ostream*) override {
        return std::make_unique<TakingTurns>(*library_, turn_);
    }
    bool tracesUsb() const override { return false; }

private:
    std::unique_ptr<device::AdapterLibrary> library_;
    std::mutex turn_;
};

// The devices a scenario lists, or the default scenario's.
std::vector<vsupply::DeviceEntry> scenarioDevices(const vsupply::HostOptions& host) {
    vsupply::Scenario scenario;
    if (host.scenarioFile) {
        if (const auto text = vsupply::readFile(*host.scenarioFile)) {
            vsupply::applyText(*text, scenario, vsupply::KeySet::Scenario);
        }
    }
    return scenario.devices;
}

class HostedUnit : public UnitLibrary {
public:
    HostedUnit(const vsupply::HostOptions& host, std::optional<std::size_t> device)
        : hosted_(withDevice(host, device), [start = std::chrono::steady_clock::now()] {
              return std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start);
          }) {}
    device::AdapterLibrary& library() override { return hosted_; }

protected:
    static vsupply::HostOptions withDevice(vsupply::HostOptions host,
                                           std::optional<std::size_t> device) {
        host.device = device;
        return host;
    }
    vsupply::HostedBridge hosted_;
};

// The serial engine, traced when asked, over the decoder of one bridge whose frames reach the
// hosted virtual bridge.
class DecodedUnit final : public HostedUnit {
public:
    DecodedUnit(const vsupply::HostOptions& host, std::optional<std::size_t> device, Clock& clock,
                std::ostream* usbTrace)
        : HostedUnit(host, device) {
        engine_ = engineOver(bus_, clock, usbTrace);
    }
    device::AdapterLibrary& library() override { return engine_->library(); }

private:
    engine::VirtualBridgeBus bus_{
        hosted_.bridge(),
        [this](std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
               std::uint32_t& delivered) { return hosted_.answer(frame, reply, delivered); }};
    std::unique_ptr<UnitLibrary> engine_;
};

class VirtualRoad final : public Road {
public:
    VirtualRoad(const vsupply::HostOptions& host, bool throughDecoder)
        : host_(host), throughDecoder_(throughDecoder) {}

    std::string_view name() const override {
        return throughDecoder_ ? "virtual-bridge" : "virtual";
    }
    void list(std::vector<Unit>& units, std::string&) override {
        units.clear();
        for (const auto& device : scenarioDevices(host_)) {
            units.push_back(unitOf(engine::channelOf(device), name()));
            units.back().index = units.size() - 1;
        }
    }
    std::unique_ptr<UnitLibrary> open(const Unit* unit, Clock& clock,
                                      std::ostream* usbTrace) override {
        const auto device = unit != nullptr ? std::optional(unit->index) : std::nullopt;
        if (throughDecoder_) {
            return std::make_unique<DecodedUnit>(host_, device, clock, usbTrace);
        }
        return std::make_unique<HostedUnit>(host_, device);
    }
    bool tracesUsb() const override { return throughDecoder_; }

private:
    vsupply::HostOptions host_;
    bool throughDecoder_;
};

} // namespace

std::optional<Backend> backendNamed(std::string_view name) {
    for (const auto& [backend, text] : kBackendNames) {
        if (text == name) {
            return backend;
        }
    }
    return std::nullopt;
}

std::string_view backendName(Backend backend) {
    for (const auto& [value, text] : kBackendNames) {
        if (value == backend) {
            return text;
        }
    }
    return "auto";
}

std::string unitName(const Unit& unit) {
    return unit.serial.empty() ? unit.location : unit.serial;
}

device::BridgeChoice choiceOf(const Unit& unit) {
    return [locationId = unit.locationId](const device::BridgeListing& listing) {
        return listing.locationId == locationId && device::isChannelA(listing);
    };
}

std::unique_ptr<UnitLibrary> engineOver(engine::BridgeBus& bus, Clock& clock,
                                        std::ostream* usbTrace) {
    return std::make_unique<EngineUnit>(bus, clock, usbTrace);
}

std::unique_ptr<Road> engineRoad(std::string name,
                                 std::function<std::unique_ptr<engine::BridgeBus>()> makeBus) {
    return std::make_unique<EngineRoad>(std::move(name), std::move(makeBus));
}

std::unique_ptr<Road> libraryRoad(std::unique_ptr<device::AdapterLibrary> library) {
    return std::make_unique<LibraryRoad>(std::move(library));
}

std::unique_ptr<Road> virtualRoad(const vsupply::HostOptions& host, bool throughDecoder) {
    return std::make_unique<VirtualRoad>(host, throughDecoder);
}

} // namespace brenvik::cli
