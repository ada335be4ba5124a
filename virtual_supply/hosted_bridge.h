#pragma once
// The virtual bridge as a process hosts it when it stands in for the adapter library: set up
// from a scenario file, keeping the supply's stored values in a state file across runs,
// appending every call to a trace file, each line stamped with the milliseconds of the time
// source (since the host was set up), and obeying a control file that an outside test writes
// while the program runs. Through a lock folder it shares its bridge with the other processes
// that use the same folder, as a real bridge is shared.

#include "config/ini_file.h"
#include "device/adapter_library.h"
#include "device/forwarding_library.h"
#include "virtual_supply/scenario.h"
#include "virtual_supply/virtual_bridge.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brenvik::vsupply {

struct HostOptions {
    std::optional<std::filesystem::path> scenarioFile; // none: the default scenario
    std::optional<std::filesystem::path> stateFile;    // none: nothing is kept across runs
    std::optional<std::filesystem::path> traceFile;    // none: no trace
    std::optional<std::filesystem::path> lockFolder{}; // none: no other process shares it
    // Plays only this device of the scenario's list (from 0), with a supply of its own: a host
    // per device puts a bench of bridges side by side. Device N from 1 keeps its state, trace
    // and control files under the names deviceFile gives. None: every device, one supply.
    std::optional<std::size_t> device = std::nullopt;
};

// The file of device N of a scenario: the file itself for device 0, "trace.txt" -> "trace.2.txt"
// for device 2.
std::filesystem::path deviceFile(const std::filesystem::path& file, std::size_t device);

// Reads a whole file; nothing when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path);

class HostedBridge final : public device::ForwardingLibrary {
public:
    // `time` gives the milliseconds since the host was set up: it stamps the trace lines and
    // advances the supply's hour counters.
    HostedBridge(const HostOptions& options, VirtualSupply::TimeSource time);
    // The bridge's trace refers back to its host.
    HostedBridge(const HostedBridge&) = delete;
    HostedBridge& operator=(const HostedBridge&) = delete;

    VirtualBridge& bridge() { return bridge_; }
    // The control file in use, resolved against the scenario file's folder; empty for none.
    const std::filesystem::path& controlFile() const { return controlFile_; }
    // How the state file reaches the disk (the platform's own steps unless a test plays a
    // failure).
    void setStateFileSteps(config::FileReplaceSteps steps) { stateFileSteps_ = std::move(steps); }

    // A frame from a bridge played below the library, as VirtualBridge::answer takes it, with
    // the control file, state file and trace kept as for every call.
    FtcStatus answer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                     std::uint32_t& delivered);

private:
    // Every call first looks at the control file and afterwards saves what the supply stored.
    FtcStatus through(std::uint32_t ordinal, const std::function<FtcStatus()>& call) override;
    void pollControl();
    void persist();
    void note(std::string_view text);

    HostOptions options_;
    VirtualSupply::TimeSource time_;
    Scenario base_;
    VirtualBridge bridge_;
    std::filesystem::path controlFile_;
    std::optional<std::string> controlText_;
    std::uint64_t savedRevision_ = 0;
    config::FileReplaceSteps stateFileSteps_ = config::diskSteps();
};

} // namespace brenvik::vsupply
