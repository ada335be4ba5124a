#include "shell/main_window_core.h"

#include "config/configuration.h"
#include "programming/apply_sequence.h"
#include "programming/panel.h"
#include "res/resource.h"

#include <utility>

namespace brenvik {

std::vector<std::string> defaultChargeSelectorItems() {
    return {"Default Charge Current", "1/2 Default Charge Current", "1/4 Default Charge Current",
            "1/8 Default Charge Current"};
}

MainWindowCore::MainWindowCore(WindowPort& window, Clock& clock, ProgramState& state,
                               std::filesystem::path executable)
    : window_(window), clock_(clock), state_(state), executable_(std::move(executable)),
      monitoring_(window, clock, state.link, model_, state.monitor,
                  {state.monitoring, state.activity}) {}

void MainWindowCore::fillDefaultChargeSelector() {
    window_.setComboItems(IDC_CMB_CHARGE_CURRENT, defaultChargeSelectorItems());
    window_.setComboSelection(IDC_CMB_CHARGE_CURRENT, 0);
}

void MainWindowCore::armConnectTimer() {
    // Not being able to arm it only means no automatic connection; "Connect Device" still works.
    window_.setTimer(IDT_CONNECT, kConnectDelayMs);
}

void MainWindowCore::useWorkingConfigurationFile() {
    state_.files.working = config::workingConfigurationPath(executable_);
    state_.files.useWorking();
}

void MainWindowCore::onOptionBoxClicked(int boxId) {
    brenvik::onOptionBoxClicked(window_, model_, boxId);
}

void MainWindowCore::onDelayEditLostFocus() {
    brenvik::onDelayEditLostFocus(window_, model_);
}

void MainWindowCore::onStartStop() {
    monitoring_.toggle();
}

void MainWindowCore::onTimer(int timerId) {
    // A tick that comes while a panel read shows "Enter an integer." is held back: the operator
    // sees one message at a time, and the timer comes again after it has been closed.
    if (model_.panelReadOpen) {
        return;
    }
    // Every tick starts from what the panel shows; a field that does not read is reported by
    // the read itself.
    panelRead(window_, model_);
    if (timerId == IDT_CONNECT) {
        auto context = connection();
        device::connectTimerStep(context);
    } else if (timerId == IDT_MONITOR) {
        monitoring_.tick();
    }
}

void MainWindowCore::onConnectDevice() {
    auto context = connection();
    device::connectDevice(context);
}

void MainWindowCore::onSaveConfiguration() {
    config::saveConfiguration(window_, model_, state_.files);
}

void MainWindowCore::onLoadConfiguration() {
    config::loadConfiguration(window_, model_, state_.files);
}

void MainWindowCore::onApply() {
    ApplyContext context{window_,        clock_,       state_.link,          model_,
                         state_.monitor, state_.files, state_.reconnectFirst};
    runApplySequence(context);
}

void MainWindowCore::onDestroy() {
    config::saveWorkingConfiguration(window_, model_, state_.files);
}

device::ConnectionContext MainWindowCore::connection() {
    return {window_, clock_, state_.link, model_, state_.monitor, state_.files};
}

} // namespace brenvik
