#pragma once
// The supplies as the command line's session reaches them: one adapter library per bridge, each
// with its own session. A poll is the monitor tick's fetch and decode. A poll that fails because
// a library call failed (the bridge gone, not just a bad reply) makes the next poll connect
// again first, so a bridge that is plugged back in answers again by itself.

#include "cli/commands.h"
#include "cli/session.h"
#include "device/adapter_library.h"
#include "serve/supply_source.h"
#include "ui/clock.h"

#include <memory>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace brenvik::serve {

class SessionSupplySource final : public SupplySource {
public:
    // `clock` serves the protocol's waits of every session; it is called from several threads.
    SessionSupplySource(std::vector<std::unique_ptr<device::AdapterLibrary>> libraries,
                        Clock& clock, std::ostream& messages);

    // Each library's first channel "A", as Connect Device would open it; libraries with none
    // are left out.
    std::vector<SupplyIdentity> supplies() override;
    PollOutcome poll(std::size_t index) override;

    // Every transaction of every session goes to `trace` too, one at a time.
    void setTrace(std::unique_ptr<device::TransactionObserver> trace);

private:
    struct Unit {
        std::unique_ptr<device::AdapterLibrary> library;
        std::unique_ptr<cli::Session> session;
        bool connected = false;
    };
    std::vector<Unit> units_;
    std::vector<std::size_t> listed_; // index into units_ of each supply listed
    std::unique_ptr<device::TransactionObserver> trace_;
};

struct OpenFailure {
    cli::ExitCode code;
    std::string message;
};

// The supplies the command line's common options name: the virtual supply (`--virtual`), or the
// installed adapter library; with the trace of `--trace`.
std::variant<std::unique_ptr<SessionSupplySource>, OpenFailure>
openSupplies(const cli::CommonOptions& options, cli::Console& console);

} // namespace brenvik::serve
