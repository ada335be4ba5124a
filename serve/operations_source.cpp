#include "serve/operations_source.h"

#include "device/bridge.h"
#include "monitor/block_fetch.h"
#include "monitor/status_block.h"
#include "virtual_supply/hosted_bridge.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace brenvik::serve {
namespace {

std::string hex(std::uint32_t location) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(location));
    return text;
}

// Every listed device whose channel is "A", with the name the library gives it.
std::vector<std::pair<SupplyIdentity, std::uint32_t>> channelsA(device::AdapterLibrary& library) {
    std::vector<std::pair<SupplyIdentity, std::uint32_t>> found;
    std::uint32_t count = 0;
    if (library.getNumHiSpeedDevices(&count) != device::kStatusSuccess) {
        return found;
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        // One byte beyond the sizes passed, so the name is terminated whatever the library does.
        std::array<char, 101> name{};
        device::BridgeListing listing{index};
        std::uint32_t type = 0;
        if (library.getHiSpeedDeviceNameLocIdChannel(
                index, name.data(), 100, &listing.locationId, listing.channel.data(),
                device::kChannelBufferSize, &type) != device::kStatusSuccess) {
            break;
        }
        if (device::isChannelA(listing)) {
            found.push_back({{name.data(), hex(listing.locationId)}, listing.locationId});
        }
    }
    return found;
}

// The values as `brenvik status --json` gives them: the window's texts, the stored settings and
// the charge selector's item of the last known model.
Reading readingOf(const monitor::DisplayTexts& t, const monitor::StatusBlock& b,
                  std::uint8_t modelCode) {
    const auto decimal = [](const std::string& text) { return std::strtod(text.c_str(), nullptr); };
    const auto integer = [](const std::string& text) {
        return static_cast<std::int64_t>(std::strtoll(text.c_str(), nullptr, 10));
    };
    Reading r;
    r.partNumber = t.partNumber;
    r.firmware = t.firmware;
    r.outputVolts = decimal(t.outputVoltage);
    r.batteryVolts = decimal(t.batteryVoltage);
    r.chargeAmps = decimal(t.chargeCurrent);
    r.powerUpHours = integer(t.powerUpTime);
    r.batteryInstalledHours = integer(t.batteryTime);
    r.acFaultCount = integer(t.acFaultCount);
    r.systemFaultCount = integer(t.sysFaultCount);
    r.faiActivated = b.faiActivated;
    r.outputLatching = b.outputLatching;
    r.acFault = !b.acNoFault;
    r.systemFault = !b.sysNoFault;
    r.acFaultDelay = {b.acFaultHours, b.acFaultMinutes, b.acFaultSeconds};
    r.systemFaultDelay = {b.sysFaultHours, b.sysFaultMinutes, b.sysFaultSeconds};
    r.chargeSelection = b.chargeSelection;
    const monitor::ModelInfo* model = monitor::findModel(modelCode);
    const auto& items = model != nullptr ? model->chargeItems : monitor::kDefaultChargeItems;
    if (b.chargeSelection < items.size()) {
        r.chargeText = std::string(items[b.chargeSelection]);
    }
    r.installMonth = b.installMonth;
    r.installDay = b.installDay;
    r.installYear = static_cast<int>(b.installYear);
    return r;
}

// The trace file, written from every poller in turn.
class SharedTrace final : public device::TransactionObserver {
public:
    SharedTrace(const std::string& file, cli::PollTimer& timer)
        : writer_(std::ofstream(file, std::ios::app | std::ios::binary),
                  [&timer] { return timer.now(); }) {}
    void onTransaction(std::span<const std::uint8_t> frame, const device::Reply& reply) override {
        const std::lock_guard hold(lock_);
        writer_.onTransaction(frame, reply);
    }

private:
    std::mutex lock_;
    cli::TraceWriter writer_;
};

} // namespace

OperationsSupplySource::OperationsSupplySource(
    std::vector<std::unique_ptr<device::AdapterLibrary>> libraries, Clock& clock)
    : clock_(clock) {
    for (auto& library : libraries) {
        libraries_.push_back(std::make_unique<Library>());
        libraries_.back()->library = std::move(library);
    }
}

std::vector<SupplyIdentity> OperationsSupplySource::supplies() {
    std::vector<SupplyIdentity> identities;
    units_.clear();
    for (auto& library : libraries_) {
        const std::lock_guard hold(library->lock);
        for (auto& [identity, location] : channelsA(*library->library)) {
            identities.push_back(std::move(identity));
            units_.push_back(std::make_unique<Unit>(*library, location, clock_));
            units_.back()->link.observer = trace_.get();
        }
    }
    return identities;
}

std::optional<std::string> OperationsSupplySource::connect(Unit& unit) {
    using enum device::OpenResult;
    const std::uint32_t location = unit.location;
    const device::OpenResult opened =
        unit.supply.open([location](const device::BridgeListing& listing) {
            return device::isChannelA(listing) && listing.locationId == location;
        });
    switch (opened) {
    case Opened:
        break;
    case OpenFailed:
        return "no device: bridge " + hex(location) + " could not be opened";
    case SetUpFailed:
        return "no device: bridge " + hex(location) + " could not be set up";
    default:
        return "no device: bridge " + hex(location) + " not found";
    }
    const monitor::FetchOutcome readBack = unit.supply.readSettings();
    if (!readBack.good()) {
        return "communication failed: the supply did not answer the read-back";
    }
    const monitor::StatusBlock block = monitor::decodeStatusBlock(readBack.bytes);
    monitor::takeIdentity(unit.texts, block);
    unit.connected = true;
    return std::nullopt;
}

PollOutcome OperationsSupplySource::poll(std::size_t index) {
    Unit& unit = *units_.at(index);
    const std::lock_guard hold(unit.library.lock);
    if (!unit.connected) {
        if (auto failure = connect(unit)) {
            return {std::nullopt, std::move(*failure)};
        }
    }
    const monitor::FetchOutcome outcome = unit.supply.readBlock();
    if (!outcome.good()) {
        unit.connected = unit.link.adapterStatus == device::kStatusSuccess;
        return {std::nullopt,
                std::string(operations::fetchStatus(outcome, monitor::BlockCaller::MonitorTick)
                                .value_or("poll failed"))};
    }
    const monitor::StatusBlock block = monitor::decodeStatusBlock(outcome.bytes);
    monitor::takeMonitoringValues(unit.texts, block);
    if (monitor::findModel(block.modelCode) != nullptr) {
        unit.modelCode = block.modelCode;
    }
    return {readingOf(unit.texts, block, unit.modelCode), {}};
}

void OperationsSupplySource::setTrace(std::unique_ptr<device::TransactionObserver> trace) {
    trace_ = std::move(trace);
    for (auto& unit : units_) {
        unit->link.observer = trace_.get();
    }
}

std::variant<std::unique_ptr<OperationsSupplySource>, OpenFailure>
openSupplies(const cli::CommonOptions& options, cli::Console& console) {
    std::vector<std::unique_ptr<device::AdapterLibrary>> libraries;
    if (options.useVirtual) {
        vsupply::HostOptions host = console.virtualSupply;
        if (options.virtualScenario) {
            if (!vsupply::readFile(*options.virtualScenario)) {
                return OpenFailure{cli::ExitCode::BadInput,
                                   *options.virtualScenario + ": cannot be read"};
            }
            host.scenarioFile = *options.virtualScenario;
        }
        const auto start = std::chrono::steady_clock::now();
        libraries.push_back(std::make_unique<vsupply::HostedBridge>(host, [start] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
        }));
    } else {
        cli::InstalledLibrary installed = console.installedLibrary();
        auto* library = std::get_if<std::unique_ptr<device::AdapterLibrary>>(&installed);
        if (library == nullptr || !*library) {
            return OpenFailure{cli::ExitCode::NoDevice,
                               "no adapter library on this system; use --virtual"};
        }
        libraries.push_back(std::move(*library));
    }
    auto source = std::make_unique<OperationsSupplySource>(std::move(libraries), console.clock);
    if (!options.trace.empty()) {
        if (!std::ofstream(options.trace, std::ios::app | std::ios::binary).is_open()) {
            return OpenFailure{cli::ExitCode::BadInput, options.trace + ": cannot be written"};
        }
        source->setTrace(std::make_unique<SharedTrace>(options.trace, console.timer));
    }
    return source;
}

} // namespace brenvik::serve
