#pragma once
// Finding the USB-to-SPI bridge, opening its channel "A", preparing it as SPI master and reading
// the supply's settings back into the panel, with the two ways the program starts it:
//   Connect Device: the menu command and the connect timer at start-up;
//   silent reconnect: run by APPLY before writing, keeping the operator's pending panel entries
//     by reloading them from the working configuration file that APPLY has just written.
// Both report the outcome in the link flag and on the status line.

#include "config/configuration.h"
#include "device/device_link.h"
#include "monitor/monitor_state.h"
#include "programming/device_settings.h"
#include "ui/clock.h"
#include "ui/window_port.h"

namespace brenvik::device {

// Adapter status the program sets itself when no listed device has channel "A".
inline constexpr FtcStatus kStatusNoChannelA = 27;

// Everything a connection touches, all owned elsewhere for the program's lifetime.
struct ConnectionContext {
    WindowPort& window;
    Clock& clock;
    DeviceLink& link;
    MainWindowModel& model;
    monitor::MonitorState& monitor;
    config::ConfigurationFiles& files;
};

// Menu command "Connect Device" (32779).
void connectDevice(ConnectionContext& ctx);

// Reconnection before APPLY writes; the caller reads the link flag afterwards.
void silentReconnect(ConnectionContext& ctx);

// The connect timer's one tick: repaint, Connect Device, kill the timer, repaint.
void connectTimerStep(ConnectionContext& ctx);

} // namespace brenvik::device
