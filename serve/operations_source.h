#pragma once
// The supplies through the supply API of the operations layer: every channel "A" each adapter
// library lists is one supply, opened by its location, read back once, then polled with the
// monitor tick's block fetch. A poll that fails because a library call failed (the bridge gone,
// not just a bad reply) makes the next poll open the bridge again first, so a bridge that is
// plugged back in answers again by itself.

#include "cli/commands.h"
#include "device/adapter_library.h"
#include "device/clock.h"
#include "device/device_link.h"
#include "monitor/monitoring_values.h"
#include "operations/supply.h"
#include "serve/supply_source.h"

#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

namespace brenvik::serve {

class OperationsSupplySource final : public SupplySource {
public:
    // `clock` serves the protocol's waits; it is called from several threads.
    OperationsSupplySource(std::vector<std::unique_ptr<device::AdapterLibrary>> libraries,
                           Clock& clock);

    // Lists the bridges anew; the supplies polled are those of the latest list.
    std::vector<SupplyIdentity> supplies() override;
    // Supplies behind one library are polled one at a time, as the library is not known to
    // take calls from several threads.
    PollOutcome poll(std::size_t index) override;

    // Every transaction of every supply goes to `trace` too.
    void setTrace(std::unique_ptr<device::TransactionObserver> trace);

private:
    struct Library {
        std::unique_ptr<device::AdapterLibrary> library;
        std::mutex lock;
    };
    struct Unit {
        Unit(Library& owner, std::uint32_t locationId, Clock& clock)
            : library(owner), location(locationId), link(*owner.library), supply(link, clock) {}
        Library& library;
        std::uint32_t location;
        device::DeviceLink link;
        operations::Supply supply;
        monitor::DisplayTexts texts;
        std::uint8_t modelCode = 0; // the last known model's, 0 before one
        bool connected = false;
    };
    std::optional<std::string> connect(Unit& unit);

    Clock& clock_;
    std::vector<std::unique_ptr<Library>> libraries_;
    std::vector<std::unique_ptr<Unit>> units_;
    std::unique_ptr<device::TransactionObserver> trace_;
};

struct OpenFailure {
    cli::ExitCode code;
    std::string message;
};

// The supplies the command line's common options name: the virtual supply (`--virtual`), or the
// installed adapter library; with the trace of `--trace`.
std::variant<std::unique_ptr<OperationsSupplySource>, OpenFailure>
openSupplies(const cli::CommonOptions& options, cli::Console& console);

} // namespace brenvik::serve
