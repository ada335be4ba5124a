#pragma once
// The program-wide state that lives outside the main window, one instance for the whole run:
// the link to the supply, what the supply last told us, and the configuration files in use.

#include "config/configuration.h"
#include "device/device_link.h"
#include "monitor/monitor_state.h"

namespace brenvik {

struct ProgramState {
    explicit ProgramState(device::AdapterLibrary& adapter) : link(adapter) {}

    device::DeviceLink link;
    monitor::MonitorState monitor;
    config::ConfigurationFiles files;
    // Flipped by every monitor tick; chooses which product icon the main window paints.
    bool activity = false;
};

} // namespace brenvik
