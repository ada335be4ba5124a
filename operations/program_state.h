#pragma once
// The program-wide state that lives outside the main window, one instance for the whole run:
// the link to the supply, what the supply last told us, the configuration files in use, the
// monitoring, and whether the next APPLY reconnects before it sends.

#include "config/configuration.h"
#include "device/device_link.h"
#include "monitor/monitor_state.h"

namespace brenvik {

struct ProgramState {
    explicit ProgramState(device::AdapterLibrary& adapter) : link(adapter) {}

    device::DeviceLink link;
    monitor::MonitorState monitor;
    config::ConfigurationFiles files;
    // True between START and STOP.
    bool monitoring = false;
    // Flipped by every monitor tick, cleared by STOP; the window draws one of two product icons
    // by it.
    bool activity = false;
    bool reconnectFirst = false; // set by the operator's Retry after a failed APPLY
};

} // namespace brenvik
