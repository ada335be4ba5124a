#include "monitor/monitoring.h"

#include "monitor/block_decode.h"
#include "monitor/block_fetch.h"
#include "programming/panel.h"
#include "res/resource.h"

namespace brenvik::monitor {

MonitoringLoop::MonitoringLoop(WindowPort& window, Clock& clock, device::DeviceLink& link,
                               MainWindowModel& model, MonitorState& state, MonitoringFlags flags)
    : window_(window), clock_(clock), link_(link), model_(model), state_(state), flags_(flags) {}

void MonitoringLoop::toggle() {
    if (flags_.monitoring) {
        stop();
    } else {
        start();
    }
}

// The first poll comes one period after START, not at once.
void MonitoringLoop::start() {
    flags_.monitoring = true;
    lockPanel(window_);
    timerId_ = window_.setTimer(IDT_MONITOR, kMonitorPeriodMs);
    window_.setControlText(IDC_BTN_START, "STOP");
    window_.setButtonColours(IDC_BTN_START, kWhite, kRed);
    window_.invalidate(false);
    window_.enableControl(IDC_BTN_APPLY, false);
    window_.enableMenuCommand(ID_FILE_SAVECONFIGURATION, false);
}

void MonitoringLoop::stop() {
    window_.killTimer(timerId_);
    flags_.monitoring = false;
    window_.setControlText(IDC_BTN_START, "START");
    flags_.activity = false;
    window_.invalidate(false);
    window_.setButtonColours(IDC_BTN_START, kWhite, kGreen);
    const bool anyOption = unlockPanel(window_, model_.settings);
    window_.enableControl(IDC_BTN_APPLY, anyOption);
    window_.enableMenuCommand(ID_FILE_SAVECONFIGURATION, true);
}

void MonitoringLoop::tick() {
    flags_.activity = !flags_.activity;
    window_.invalidate(false);
    if (const auto block = fetchStatusBlock(window_, clock_, link_, BlockCaller::MonitorTick)) {
        applyMonitoringFields(window_, model_, state_, decodeStatusBlock(*block));
    }
    panelRedisplay(window_, model_);
}

} // namespace brenvik::monitor
