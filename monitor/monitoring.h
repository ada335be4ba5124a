#pragma once
// Monitoring behind START/STOP (button 1012): while it is on, the monitor timer (id 1) polls the
// supply once a second with a status block opened by command 10, and the programming panel is
// locked; STOP ends the polling and unlocks the panel by its option boxes.

#include "device/device_link.h"
#include "monitor/monitor_state.h"
#include "programming/device_settings.h"
#include "ui/clock.h"
#include "ui/window_port.h"

#include <cstdint>

namespace brenvik::monitor {

// Period of the monitor timer.
inline constexpr unsigned kMonitorPeriodMs = 1000;

// Button colours, red in the low byte.
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kGreen = 0x008000;
inline constexpr std::uint32_t kRed = 0x0000FF;

// The two program-wide flags the loop keeps: `monitoring` while the monitor timer runs, and
// `activity`, flipped by every tick and cleared by STOP, by which the window alternates the
// product icon.
struct MonitoringFlags {
    bool& monitoring;
    bool& activity;
};

class MonitoringLoop {
public:
    MonitoringLoop(WindowPort& window, Clock& clock, device::DeviceLink& link,
                   MainWindowModel& model, MonitorState& state, MonitoringFlags flags);

    MonitoringLoop(const MonitoringLoop&) = delete;
    MonitoringLoop& operator=(const MonitoringLoop&) = delete;

    // START/STOP clicked: START when stopped, STOP when monitoring.
    void toggle();
    void start();
    void stop();

    // One tick of the monitor timer, after the panel read that starts every tick: flips the
    // activity flag, fetches a block and decodes it when it is good, and redisplays the panel
    // either way, so a failed poll leaves every value as it was.
    void tick();

private:
    WindowPort& window_;
    Clock& clock_;
    device::DeviceLink& link_;
    MainWindowModel& model_;
    MonitorState& state_;
    MonitoringFlags flags_;
    int timerId_ = 0; // as the platform armed it
};

} // namespace brenvik::monitor
