#pragma once
// The USB-to-SPI bridge in software: a list of high-speed devices, opening and initialising a
// channel, and transfers that reach a virtual supply. It stands behind the same adapter library
// interface as the real library, so everything above it runs unchanged; native tests use it
// directly and the stand-in FTCSPI.dll exports it.

#include "device/adapter_library.h"
#include "device/device_link.h"
#include "virtual_supply/virtual_supply.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::vsupply {

using device::FtcHandle;
using device::FtcStatus;

// Statuses the virtual bridge returns; any non-zero value is a failure to the program.
inline constexpr FtcStatus kStatusInvalidHandle = 1;
inline constexpr FtcStatus kStatusDeviceNotFound = 2;
inline constexpr FtcStatus kStatusIoError = 4;
inline constexpr FtcStatus kStatusInvalidParameter = 6;
inline constexpr FtcStatus kStatusBufferTooSmall = 21;

// Device types reported by ordinals 21 and 23.
inline constexpr std::uint32_t kTypeDualChannel = 1; // FT2232H
inline constexpr std::uint32_t kTypeQuadChannel = 2; // FT4232H

// The ordinal numbers are the library interface's own.
namespace ordinal = device::ordinal;
using device::kAllOrdinals;

struct DeviceEntry {
    std::string name;
    std::uint32_t locationId = 0;
    std::string channel;
    std::uint32_t type = kTypeDualChannel;

    bool operator==(const DeviceEntry&) const = default;
};

// One FT2232H-type bridge, channel "A".
std::vector<DeviceEntry> defaultDevices();

// A library call made to fail: every call of the ordinal, or only its occurrence-th call
// (counted from 1).
struct CallFailure {
    std::uint32_t ordinal = 0;
    std::uint32_t occurrence = 0; // 0: every call
    FtcStatus status = kStatusIoError;

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
    // Command code -> reply bytes its transfers deliver, when fewer than asked for.
    std::map<std::uint8_t, std::uint32_t> shortTransfers;
    // The transfer never writes its delivered-byte count, as some library builds do not.
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

    // The handle of the open channel, if any.
    std::optional<FtcHandle> openHandle() const { return openHandle_; }
    // Ordinals of every call so far, in order (for checking call sequences).
    const std::vector<std::uint32_t>& calls() const { return calls_; }
    // Command codes of every transfer that carried a frame, in order.
    const std::vector<std::uint8_t>& commandsSent() const { return commands_; }
    std::uint32_t transferCount() const { return transfers_; }
    // The SPI clock the channel runs at: the chip's base clock (12 MHz while divide-by-five is on,
    // 60 MHz when it is off) divided by (1 + divisor) * 2.
    std::uint32_t spiClockHz() const;
    std::uint8_t latencyMs() const { return latency_; }
    bool loopback() const { return loopback_; }
    // Starts the call log, command log and all call counters afresh.
    void forgetCalls();
    // Whether calls() and commandsSent() grow with every call. A host that runs for days and
    // traces to a file turns them off; the counters that faults depend on count on.
    void keepCallLog(bool keep) { keepLog_ = keep; }

    void setTrace(TraceSink sink) { trace_ = std::move(sink); }

    // One frame clocked to the supply by a bridge played below the library (the command decoder
    // behind the serial engine): the transfer's faults, plug events, short replies and loopback
    // apply, and it is logged and traced as a transfer (ordinal 33) without a handle. Returns
    // the transfer's status; delivered tells how many reply bytes came.
    FtcStatus answer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                     std::uint32_t& delivered);
    void setDllVersion(std::string version) { dllVersion_ = std::move(version); }

    FtcStatus closeDevice(FtcHandle handle) override;
    FtcStatus initDevice(FtcHandle handle, std::uint32_t clockDivisor) override;
    FtcStatus setClock(FtcHandle handle, std::uint32_t clockDivisor,
                       std::uint32_t* clockFrequencyHz) override;
    FtcStatus setLoopback(FtcHandle handle, std::uint32_t loopbackOn) override;
    FtcStatus getDllVersion(char* buffer, std::uint32_t bufferSize) override;
    FtcStatus getNumHiSpeedDevices(std::uint32_t* count) override;
    FtcStatus getHiSpeedDeviceNameLocIdChannel(std::uint32_t index, char* name,
                                               std::uint32_t nameSize, std::uint32_t* locationId,
                                               char* channel, std::uint32_t channelSize,
                                               std::uint32_t* deviceType) override;
    FtcStatus openHiSpeedDevice(const char* name, std::uint32_t locationId, const char* channel,
                                FtcHandle* handle) override;
    FtcStatus getHiSpeedDeviceType(FtcHandle handle, std::uint32_t* deviceType) override;
    FtcStatus turnOnDivideByFiveClock(FtcHandle handle) override;
    FtcStatus turnOffDivideByFiveClock(FtcHandle handle) override;
    FtcStatus setDeviceLatencyTimer(FtcHandle handle, std::uint8_t milliseconds) override;
    FtcStatus getDeviceLatencyTimer(FtcHandle handle, std::uint8_t* milliseconds) override;
    FtcStatus getHiSpeedDeviceClock(std::uint32_t clockDivisor,
                                    std::uint32_t* clockFrequencyHz) override;
    FtcStatus setHiSpeedDeviceGpios(FtcHandle handle, const device::LowPinStates* lowPins,
                                    const device::HighPinSettings* highPins) override;
    FtcStatus getHiSpeedDeviceGpios(FtcHandle handle, device::HighPinStates* highPins) override;
    FtcStatus writeRead(FtcHandle handle, const device::StartCondition* start,
                        std::uint32_t frameBitOrder, std::uint32_t frameClockEdge,
                        std::uint32_t frameBits, const std::uint8_t* frame,
                        std::uint32_t frameBytes, std::uint32_t replyBitOrder,
                        std::uint32_t replyClockEdge, std::uint32_t replyBits, std::uint8_t* reply,
                        std::uint32_t* replyBytesDelivered,
                        const device::HighPinRecord* highPins) override;

private:
    // Records the call and returns the failure configured for it, or success.
    FtcStatus begin(std::uint32_t ordinal);
    FtcStatus checkHandle(FtcHandle handle) const;
    FtcStatus finish(std::uint32_t ordinal, std::string_view name, const std::string& arguments,
                     FtcStatus status);
    // A call on an open handle with no further effect than its status.
    FtcStatus handleCall(std::uint32_t ordinal, std::string_view name, FtcHandle handle,
                         const std::string& arguments);
    // A call that sets the channel's clock: its divisor, or divide-by-five on or off.
    FtcStatus clockCall(std::uint32_t ordinal, std::string_view name, FtcHandle handle,
                        std::optional<std::uint32_t> divisor, std::optional<bool> divideByFive);
    void applyPlugEvents(std::uint8_t code, bool beforeAnswer);
    // A transfer past its argument checks: counts, plug events, the supply's answer.
    FtcStatus transfer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                       FtcStatus status, std::uint32_t& delivered);

    std::vector<DeviceEntry> devices_;
    VirtualSupply supply_;
    BridgeFaults faults_;
    bool plugged_ = true;
    std::optional<FtcHandle> openHandle_;
    FtcHandle nextHandle_ = 0x1000;
    std::uint8_t latency_ = 0;
    std::uint32_t clockDivisor_ = 0;
    bool divideByFive_ = true;
    bool loopback_ = false;
    std::string dllVersion_ = "2.0";
    std::vector<std::uint32_t> calls_;
    std::vector<std::uint8_t> commands_;
    std::vector<std::uint32_t> callCounts_ = std::vector<std::uint32_t>(64, 0);
    std::vector<std::uint32_t> commandCounts_ = std::vector<std::uint32_t>(256, 0);
    std::uint32_t transfers_ = 0;
    bool keepLog_ = true;
    TraceSink trace_;
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
