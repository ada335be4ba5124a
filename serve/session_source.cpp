#include "serve/session_source.h"

#include "res/resource.h"
#include "virtual_supply/hosted_bridge.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>

namespace brenvik::serve {
namespace {

// The first channel "A" the library lists, as Connect Device takes it.
std::optional<SupplyIdentity> firstChannelA(device::AdapterLibrary& library) {
    std::uint32_t count = 0;
    if (library.getNumHiSpeedDevices(&count) != device::kStatusSuccess) {
        return std::nullopt;
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        // One byte beyond the sizes passed, so the name is terminated whatever the library does.
        std::array<char, 101> name{};
        std::array<char, 6> channel{};
        std::uint32_t location = 0;
        std::uint32_t type = 0;
        if (library.getHiSpeedDeviceNameLocIdChannel(index, name.data(), 100, &location,
                                                     channel.data(), 5,
                                                     &type) != device::kStatusSuccess) {
            return std::nullopt;
        }
        if (std::string_view(channel.data()) == "A") {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(location));
            return SupplyIdentity{name.data(), hex};
        }
    }
    return std::nullopt;
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

Reading readingOf(cli::Session& session) {
    const MainWindowModel& model = session.model();
    const DisplayTexts& t = model.texts;
    const DeviceSettings& s = model.settings;
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
    r.faiActivated = t.faiActivated == "Yes";
    r.outputLatching = t.outputLatching == "Yes";
    r.acFault = t.acFaultStatus == "Fault";
    r.systemFault = t.sysFaultStatus == "Fault";
    r.acFaultDelay = {s.acFaultHours, s.acFaultMinutes, s.acFaultSeconds};
    r.systemFaultDelay = {s.sysFaultHours, s.sysFaultMinutes, s.sysFaultSeconds};
    r.chargeSelection = s.chargeSelection;
    const auto items = session.window().comboItems(IDC_CMB_CHARGE_CURRENT);
    if (s.chargeSelection >= 0 && static_cast<std::size_t>(s.chargeSelection) < items.size()) {
        r.chargeText = items[static_cast<std::size_t>(s.chargeSelection)];
    }
    r.installMonth = s.installMonth;
    r.installDay = s.installDay;
    r.installYear = s.installYear;
    return r;
}

} // namespace

SessionSupplySource::SessionSupplySource(
    std::vector<std::unique_ptr<device::AdapterLibrary>> libraries, Clock& clock,
    std::ostream& messages) {
    for (auto& library : libraries) {
        auto session = std::make_unique<cli::Session>(*library, clock, messages);
        session->window().setMessagesShown(false);
        units_.push_back({std::move(library), std::move(session)});
    }
}

std::vector<SupplyIdentity> SessionSupplySource::supplies() {
    std::vector<SupplyIdentity> found;
    listed_.clear();
    for (std::size_t unit = 0; unit < units_.size(); ++unit) {
        if (auto identity = firstChannelA(*units_[unit].library)) {
            found.push_back(std::move(*identity));
            listed_.push_back(unit);
        }
    }
    return found;
}

PollOutcome SessionSupplySource::poll(std::size_t index) {
    Unit& unit = units_.at(listed_.at(index));
    cli::Session& session = *unit.session;
    if (!unit.connected) {
        switch (session.connect()) {
        case cli::ExitCode::Success:
            unit.connected = true;
            break;
        case cli::ExitCode::NoDevice:
            return {std::nullopt, "no device: the bridge could not be opened"};
        default:
            return {std::nullopt, "communication failed: the supply did not answer the read-back"};
        }
    }
    if (session.poll()) {
        return {readingOf(session), {}};
    }
    unit.connected = session.link().adapterStatus == device::kStatusSuccess;
    return {std::nullopt, session.window().lastStatusText()};
}

void SessionSupplySource::setTrace(std::unique_ptr<device::TransactionObserver> trace) {
    trace_ = std::move(trace);
    for (Unit& unit : units_) {
        unit.session->link().observer = trace_.get();
    }
}

std::variant<std::unique_ptr<SessionSupplySource>, OpenFailure>
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
    } else if (auto installed = console.installedLibrary()) {
        libraries.push_back(std::move(installed));
    } else {
        return OpenFailure{cli::ExitCode::NoDevice,
                           "no adapter library on this system; use --virtual"};
    }
    auto source =
        std::make_unique<SessionSupplySource>(std::move(libraries), console.clock, console.err);
    if (!options.trace.empty()) {
        if (!std::ofstream(options.trace, std::ios::app | std::ios::binary).is_open()) {
            return OpenFailure{cli::ExitCode::BadInput, options.trace + ": cannot be written"};
        }
        source->setTrace(std::make_unique<SharedTrace>(options.trace, console.timer));
    }
    return source;
}

} // namespace brenvik::serve
