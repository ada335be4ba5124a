#include "operations/monitoring.h"

#include "monitor/monitoring_values.h"
#include "monitor/status_block.h"

namespace brenvik::operations {

void MonitoringLoop::toggle() {
    if (ctx_.state.monitoring) {
        stop();
    } else {
        start();
    }
}

// The first poll comes one period after START, not at once.
void MonitoringLoop::start() {
    ctx_.state.monitoring = true;
    ctx_.view.lockPanel();
    timerId_ = ctx_.view.armMonitorTimer();
    ctx_.view.showMonitoringButton(true);
    ctx_.view.requestRepaint();
    ctx_.view.enableApply(false);
    ctx_.view.enableSaveConfiguration(false);
}

void MonitoringLoop::stop() {
    ctx_.view.stopMonitorTimer(timerId_);
    ctx_.state.monitoring = false;
    ctx_.state.activity = false;
    ctx_.view.requestRepaint();
    ctx_.view.showMonitoringButton(false);
    ctx_.view.unlockPanel(ctx_.model.settings);
    ctx_.view.enableApply(anyOptionSet(ctx_.model.settings));
    ctx_.view.enableSaveConfiguration(true);
}

monitor::FetchOutcome MonitoringLoop::tick() {
    ctx_.state.activity = !ctx_.state.activity;
    ctx_.view.requestRepaint();
    const monitor::FetchOutcome outcome =
        ctx_.supply().readBlock([this](const monitor::FetchOutcome& soFar) {
            showFetchStatus(ctx_.view, soFar, monitor::BlockCaller::MonitorTick);
        });
    if (outcome.good()) {
        takeMonitoringBlock(ctx_, monitor::decodeStatusBlock(outcome.bytes));
    }
    ctx_.view.showPanel(ctx_.model);
    return outcome;
}

void takeMonitoringBlock(Context& ctx, const monitor::StatusBlock& block) {
    monitor::takeMonitoringValues(ctx.model.texts, block);
    const monitor::BatteryAge age = monitor::batteryAgeOf(block.batteryHours);
    if (age != ctx.state.monitor.batteryAge) {
        ctx.state.monitor.batteryAge = age;
        ctx.view.requestRepaint();
    }
    takeStoredSettings(ctx.model.settings, block);
    ctx.view.showChargeSelection(ctx.model.settings.chargeSelection);
    ctx.state.monitor.lastRead = monitor::lastReadSettingsOf(block);
}

} // namespace brenvik::operations
