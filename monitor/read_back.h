#pragma once
// Settings read-back at connection: the programming panel is made to show what the supply
// holds (delays, charge selection, installation date), with the firmware version, the part
// number and the connected model's battery sizes in the charge selector.
//
// The outcome is left in the link flag: true when the block arrived whole, false otherwise. On
// either failure the panel shows what it showed before. The monitoring fields, the battery-age
// state, the option boxes and the enabling of controls are never touched.

#include "device/device_link.h"
#include "monitor/monitor_state.h"
#include "programming/device_settings.h"
#include "ui/clock.h"
#include "ui/window_port.h"

namespace brenvik::monitor {

void readBackSettings(WindowPort& window, Clock& clock, device::DeviceLink& link,
                      MainWindowModel& model, MonitorState& state);

} // namespace brenvik::monitor
