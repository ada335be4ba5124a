#pragma once
// The supply as a face without a window uses it: open a chosen bridge, read the status block,
// read the stored settings, write a plan, each returning what happened as data. The window's
// operations are built from the same steps.

#include "device/bridge.h"
#include "device/clock.h"
#include "device/commands.h"
#include "device/device_link.h"
#include "monitor/block_fetch.h"
#include "programming/settings.h"

#include <optional>
#include <string_view>

namespace brenvik::operations {

// What one action of a write did.
struct ActionOutcome {
    bool ran = false;       // its option was on, so its first command was sent
    bool succeeded = false; // every exchange of it passed its check

    friend bool operator==(const ActionOutcome&, const ActionOutcome&) = default;
};

struct WriteOutcome {
    ActionOutcome settings;     // commands 1 and 2
    ActionOutcome batteryTimer; // commands 5 and 6
    ActionOutcome faultCounts;  // commands 11 and 12
    ActionOutcome installDate;  // commands 13 and 14

    // No action that ran failed.
    bool allSucceeded() const;
    friend bool operator==(const WriteOutcome&, const WriteOutcome&) = default;
};

enum class WriteAction { Settings, BatteryTimer, FaultCounts, InstallDate };

class Supply {
public:
    Supply(device::DeviceLink& link, Clock& clock) : link_(link), clock_(clock) {}

    // Closes the open channel, opens the first bridge `choice` accepts and sets it up.
    device::OpenResult open(const device::BridgeChoice& choice = device::isChannelA);
    // The block as the read-back at connection fetches it (command 3, its waits).
    monitor::FetchOutcome readSettings(const monitor::FetchProgress& progress = {});
    // The block as a monitoring tick fetches it (command 10, its waits).
    monitor::FetchOutcome readBlock(const monitor::FetchProgress& progress = {});
    // One two-step action: request, and after a second its confirm when the request passed.
    device::TwoStepOutcome exchange(const device::TwoStepOperation& operation,
                                    const device::TwoStepProgress& progress = {});
    // Every action of the plan in turn, whatever became of the ones before.
    WriteOutcome write(const WritePlan& plan);

private:
    device::DeviceLink& link_;
    Clock& clock_;
};

// The status-line text each step's outcome shows, as soon as its check is made.
std::string_view openStatus(device::OpenResult result);
// Nothing for a good block at connection, which shows no text of its own.
std::optional<std::string_view> fetchStatus(const monitor::FetchOutcome& soFar,
                                            monitor::BlockCaller caller);
std::string_view actionStatus(WriteAction action, const device::TwoStepOutcome& soFar);

} // namespace brenvik::operations
