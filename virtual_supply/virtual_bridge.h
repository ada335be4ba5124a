#pragma once
// The USB-to-SPI bridge in software: a list of high-speed devices, opening and initialising a
// channel, and transfers that reach a virtual supply. It stands behind the same adapter library
// interface as the real library, so everything above it runs unchanged; native tests use it
// directly and the stand-in FTCSPI.dll exports it.

#include "device/adapter_library.h"
#include "device/device_link.h"
#include "device/library_status.h"
#include "device/transfer_checks.h"
#include "virtual_supply/bridge_locks.h"
#include "virtual_supply/virtual_supply.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::vsupply {

using device::FtcHandle;
using device::FtcStatus;

// The real library's statuses, as the virtual bridge returns them.
namespace status = device::status;

// Device types reported by ordinals 21 and 23.
inline constexpr std::uint32_t kTypeDualChannel = 1; // FT2232H
inline constexpr std::uint32_t kTypeQuadChannel = 2; // FT4232H

// The ordinal numbers are the library interface's own.
namespace ordinal = device::ordinal;
using device::kAllOrdinals;

// One channel of a bridge as the bridge's driver lists it.
struct DeviceEntry {
    std::string description; // e.g. "USB SPI Bridge A"
    std::uint32_t locationId = 0;
    std::uint32_t type = kTypeDualChannel; // any other value is another high-speed chip

    bool operator==(const DeviceEntry&) const = default;
};

// The library lists only channels whose description ends in " A" or " B"; their channel text
// is "A" when the upper-cased description holds " A" anywhere, otherwise "B".
bool listedByLibrary(std::string_view description);
std::string channelOf(std::string_view description);

// One FT2232H-type bridge, channel "A".
std::vector<DeviceEntry> defaultDevices();

// A library call made to fail: every call of the ordinal, or only its occurrence-th call
// (counted from 1).
struct CallFailure {
    std::uint32_t ordinal = 0;
    std::uint32_t occurrence = 0; // 0: every call
    FtcStatus status = status::kIoError;

    bool operator==(const CallFailure&) const = default;
};

// Attaches or detaches the supply once: after the count-th transfer has been answered, or just
// before the occurrence-th transfer carrying the command code is answered.
struct PlugEvent {
    bool plugged = false;
    std::uint32_t afterTransfers = 0;    // 0: not counted by transfers
    std::uint8_t atCommand = 0;          // 0: not counted by command
    std::uint32_t commandOccurrence = 1; // from 1

    bool operator==(const PlugEvent&) const = default;
};

struct BridgeFaults {
    std::vector<CallFailure> failingCalls;
    bool countZero = false; // the count call succeeds and reports no device
    std::vector<PlugEvent> plugEvents;
    // Not what a real library does, for the robustness tests only:
    // command code -> reply bytes its transfers deliver, when fewer than asked for;
    std::map<std::uint8_t, std::uint32_t> shortTransfers;
    // the transfer never writes its delivered-byte count.
    bool countUntouched = false;

    bool operator==(const BridgeFaults&) const = default;
};

class VirtualBridge : public device::AdapterLibrary {
public:
    // One line per library call, already formatted, without a line end.
    using TraceSink = std::function<void(std::string_view)>;

    VirtualBridge();
    explicit VirtualBridge(std::vector<DeviceEntry> devices);

    std::vector<DeviceEntry>& devices() { return devices_; }
    VirtualSupply& supply() { return supply_; }
    const VirtualSupply& supply() const { return supply_; }
    BridgeFaults& faults() { return faults_; }

    bool plugged() const { return plugged_; }
    void unplug() { plugged_ = false; }
    void plugIn() { plugged_ = true; }

    // The handle of the first open channel, if any.
    std::optional<FtcHandle> openHandle() const;
    // Ordinals of every call so far, in order (for checking call sequences).
    const std::vector<std::uint32_t>& calls() const { return calls_; }
    // Command codes of every transfer that carried a frame, in order.
    const std::vector<std::uint8_t>& commandsSent() const { return commands_; }
    // The SPI clock the first open channel runs at: the chip's base clock (12 MHz while
    // divide-by-five is on, 60 MHz when it is off) divided by (1 + divisor) * 2.
    std::uint32_t spiClockHz() const;
    // Starts the call log, command log and all call counters afresh.
    void forgetCalls();
    // Whether calls() and commandsSent() grow with every call. A host that runs for days and
    // traces to a file turns them off; the counters that faults depend on count on.
    void keepCallLog(bool keep) { keepLog_ = keep; }
    // Shares the devices with other processes through these locks; without, this process is
    // the only one there is.
    void shareWith(std::unique_ptr<BridgeLocks> locks) { locks_ = std::move(locks); }

    void setTrace(TraceSink sink) { trace_ = std::move(sink); }

    // One frame clocked to the supply by a bridge played below the library (the command decoder
    // behind the serial engine): the transfer's faults, plug events and short replies apply, and
    // it is logged and traced as a transfer (ordinal 33) without a handle. Returns the
    // transfer's status; delivered tells how many reply bytes came.
    FtcStatus answer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                     std::uint32_t& delivered);

    void setDllVersion(std::string version) { dllVersion_ = std::move(version); }

    BRENVIK_ADAPTER_CALLS(BRENVIK_OVERRIDE_CALL)

private:
    // What an open channel holds.
    struct Channel {
        std::size_t device = 0; // index into devices_
        std::uint8_t latency = 16;
        std::uint32_t clockDivisor = 0;
        bool divideByFive = true;
        bool loopback = false;
        std::uint8_t highDirections = 0; // bit per high line, 1 output
        std::uint8_t highLevels = 0;
    };

    // Records the call and returns the failure configured for it, or success.
    FtcStatus begin(std::uint32_t ordinal);
    Channel* channel(FtcHandle handle);
    const Channel* firstChannel() const;
    bool dualChannel(const Channel& open) const;
    std::vector<std::size_t> listed() const;
    std::string lockKey(std::size_t device) const;
    bool heldElsewhere(std::size_t device) const;
    FtcStatus finish(std::uint32_t ordinal, std::string_view name, const std::string& arguments,
                     FtcStatus status);
    // A call on an open handle that does nothing else: its failure or the handle's.
    FtcStatus onChannel(std::uint32_t ordinal, FtcHandle handle, Channel*& open);
    FtcStatus transferChecks(FtcHandle handle, const device::TransferParameters& p,
                             device::HighPinRecord* highPins);
    void applyPlugEvents(std::uint8_t code, bool beforeAnswer);
    // Counts a transfer carrying the command, logs it and plays the plug events due before it.
    void countTransfer(std::uint8_t code);

    std::vector<DeviceEntry> devices_;
    VirtualSupply supply_;
    BridgeFaults faults_;
    bool plugged_ = true;
    std::map<FtcHandle, Channel> open_;
    FtcHandle nextHandle_ = 0x1000;
    std::string dllVersion_ = "2.0";
    std::vector<std::uint32_t> calls_;
    std::vector<std::uint8_t> commands_;
    std::vector<std::uint32_t> callCounts_ = std::vector<std::uint32_t>(64, 0);
    std::vector<std::uint32_t> commandCounts_ = std::vector<std::uint32_t>(256, 0);
    std::uint32_t transfers_ = 0;
    bool keepLog_ = true;
    TraceSink trace_;
    std::unique_ptr<BridgeLocks> locks_;
};

// A device link on a virtual bridge whose first channel "A" is open and whose records are set as
// a successful connection leaves them, for code that needs a working link without running the
// connection sequence. The bridge's call log starts empty.
struct VirtualLink {
    VirtualLink();
    explicit VirtualLink(std::vector<DeviceEntry> devices);

    VirtualBridge bridge;
    device::DeviceLink link{bridge};
};

} // namespace brenvik::vsupply
