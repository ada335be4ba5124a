#pragma once
// The sub-commands of the command line and what they need from the process around them, so
// that tests run them in-process with their own streams, clocks and supply.

#include "cli/roads.h"
#include "cli/session.h"
#include "device/adapter_library.h"
#include "device/clock.h"
#include "virtual_supply/hosted_bridge.h"

#include <atomic>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace CLI {
class App;
}

namespace brenvik::cli {

// Wall time for timestamps and the slots of the monitoring loop.
class PollTimer {
public:
    virtual ~PollTimer() = default;
    virtual WallTime now() = 0;
    // Returns at `deadline`, or as soon as `stop` is set.
    virtual void waitUntil(WallTime deadline, const std::atomic<bool>& stop) = 0;
};

// No adapter library where the platform looks for one: the library's file name and the places
// searched, in the order searched.
struct LibraryNotFound {
    std::string library;
    std::vector<std::string> searched;
};
// The installed adapter library; a null library where the platform has none at all.
using InstalledLibrary = std::variant<std::unique_ptr<device::AdapterLibrary>, LibraryNotFound>;

struct Console {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    Clock& clock;     // the protocol's waits
    PollTimer& timer; // timestamps and monitoring slots
    // Set by Ctrl+C while caught; outside monitoring Ctrl+C ends the program as usual.
    const std::atomic<bool>& interrupted;
    std::function<void(bool caught)> catchInterrupts;
    std::function<InstalledLibrary()> installedLibrary;
    // State and trace files of the virtual supply chosen with --virtual.
    vsupply::HostOptions virtualSupply;
    // The bus to real bridges a backend names (d2xx, libftdi); nothing where the platform has
    // no such road or its library is not installed.
    std::function<std::unique_ptr<engine::BridgeBus>(Backend)> hardwareBus = {};
    // A clock of its own for each unit that runs beside others; none: every unit uses `clock`.
    std::function<std::unique_ptr<Clock>()> unitClock = {};
};

// What every sub-command shares: which supply to talk to, and the trace file.
struct CommonOptions {
    bool useVirtual = false;
    std::optional<std::string> virtualScenario;
    std::string trace;
};

// A sub-command defined outside this folder: `add` declares it and its options on the parser and
// returns it; `run` runs it when it was chosen and returns the exit code.
struct ExternalCommand {
    std::function<CLI::App*(CLI::App& parser)> add;
    std::function<int(const CommonOptions& options, Console& console)> run;
};

// The sub-commands this build adds from outside this folder: `serve` in the Linux build, none in
// the Windows one (each program links the one definition that fits it).
std::vector<ExternalCommand> externalCommands();

// Runs one command line (without the program name) and returns the exit code.
int runCommandLine(const std::vector<std::string>& args, Console& console,
                   const std::vector<ExternalCommand>& external = {});

} // namespace brenvik::cli
