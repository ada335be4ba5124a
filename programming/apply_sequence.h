#pragma once
// APPLY: the panel read and checked, the supply reached (reconnecting first when the link is
// down or the operator asked to retry), the change summary confirmed, then the write sequence:
// the settings write (commands 1, 2), the battery timer reset (5, 6), the fault count reset
// (11, 12) and the installation date (13, 14), each as its option box says, and a closing box.
//
// The write sequence also runs on its own, without the confirmation and the closing box, for
// callers that have no dialog. Its one-off actions start with a panel read, so such a caller
// shows its settings in its WindowPort (panelRedisplay) before running it.

#include "config/configuration.h"
#include "device/commands.h"
#include "device/connection.h"
#include "device/device_link.h"
#include "monitor/monitor_state.h"
#include "programming/device_settings.h"
#include "ui/clock.h"
#include "ui/window_port.h"

namespace brenvik {

// Everything APPLY touches, all owned elsewhere for the program's lifetime.
struct ApplyContext {
    WindowPort& window;
    Clock& clock;
    device::DeviceLink& link;
    MainWindowModel& model;
    monitor::MonitorState& monitor;
    config::ConfigurationFiles& files;
    // Set by the operator's Retry: the next attempt saves the panel to the working file and
    // reconnects before sending, even with the link up. Program-wide.
    bool& reconnectFirst;

    device::ConnectionContext connection() const {
        return {window, clock, link, model, monitor, files};
    }
};

// What one action of the write sequence did.
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

// The seven setting bytes to send: the device settings' values for the ticked setting options,
// the supply's last-read values for the others, so the supply keeps what it has.
device::SettingsPayload settingsPayload(const DeviceSettings& settings,
                                        const monitor::LastReadSettings& lastRead);

// The write sequence, proceeding as if confirmed: each ticked action in turn, whatever became of
// the ones before. A settings write confirmed in all seven bytes becomes the last-read settings,
// the device settings and the selector's selection; a confirmed date becomes the device
// settings' date.
WriteOutcome runWriteSequence(ApplyContext& ctx);

// A click of APPLY, run to the end: checks, reconnection, confirmation, writes, the closing box
// with its Retry, and APPLY, START and "Save Configuration" enabled again.
void runApplySequence(ApplyContext& ctx);

} // namespace brenvik
