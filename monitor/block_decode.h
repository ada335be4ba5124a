#pragma once
// Moving a decoded status block into the main window's fields.
//
// Values go into the window's model (device settings and display texts), from where the panel
// redisplay moves them into the controls. Only the charge selector is touched directly: its
// selection is made at once, and the read-back rebuilds its items for the connected model.
// The two callers decode different field groups, each in its own fixed order.

#include "monitor/monitor_state.h"
#include "monitor/status_block.h"
#include "programming/device_settings.h"
#include "ui/window_port.h"

namespace brenvik::monitor {

// Field groups.
void applyCountersAndHours(DisplayTexts& texts, const StatusBlock& block);
// Stores the battery-age class; a changed class repaints the window (no erase) so the battery
// installed time is redrawn in its new colour.
void applyBatteryAge(WindowPort& window, MonitorState& state, const StatusBlock& block);
void applyDelays(DeviceSettings& settings, const StatusBlock& block);
void applyChargeSelection(WindowPort& window, DeviceSettings& settings, const StatusBlock& block);
void applyLastReadSettings(MonitorState& state, const StatusBlock& block);
void applyStatusTexts(DisplayTexts& texts, const StatusBlock& block);
void applyVoltages(DisplayTexts& texts, const StatusBlock& block);
// Part number of a known model; an unknown model leaves it as it was.
void applyPartNumber(DisplayTexts& texts, const StatusBlock& block);
// The charge selector's items of a known model; an unknown model leaves them as they were.
void applyChargeSelectorItems(WindowPort& window, const StatusBlock& block);
// Current by the model's scale, then zero whenever the battery voltage is too low.
void applyChargeCurrent(DisplayTexts& texts, const StatusBlock& block);
void applyFirmware(DisplayTexts& texts, const StatusBlock& block);
void applyInstallDate(DeviceSettings& settings, const StatusBlock& block);

// The settings and identity fields, as the read-back at connection takes them.
void applyReadBackFields(WindowPort& window, MainWindowModel& model, MonitorState& state,
                         const StatusBlock& block);

// Every field but the selector's items, as a monitoring tick takes them.
void applyMonitoringFields(WindowPort& window, MainWindowModel& model, MonitorState& state,
                           const StatusBlock& block);

} // namespace brenvik::monitor
