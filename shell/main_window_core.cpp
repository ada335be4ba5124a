#include "shell/main_window_core.h"

#include "operations/apply.h"
#include "operations/configuration.h"
#include "operations/connection.h"
#include "operations/panel.h"
#include "res/resource.h"

#include <utility>

namespace brenvik {

MainWindowCore::MainWindowCore(WindowPort& window, Clock& clock, ProgramState& state,
                               std::filesystem::path executable)
    : face_(window), clock_(clock), state_(state), executable_(std::move(executable)),
      monitoring_(context()) {}

void MainWindowCore::useWorkingConfigurationFile() {
    state_.files.working = config::workingConfigurationPath(executable_);
    state_.files.useWorking();
}

void MainWindowCore::onOptionBoxClicked(int boxId) {
    if (const auto box = optionBoxOf(boxId)) {
        operations::optionBoxClicked(face_, model_, *box);
    }
}

void MainWindowCore::onDelayEditLostFocus() {
    face_.readPanel(model_);
}

void MainWindowCore::onStartStop() {
    monitoring_.toggle();
}

void MainWindowCore::onTimer(int timerId) {
    // A tick that comes while a panel read shows "Enter an integer." is held back: the operator
    // sees one message at a time, and the timer comes again after it has been closed.
    if (face_.panelReadOpen()) {
        return;
    }
    // Every tick starts from what the panel shows; a field that does not read is reported by
    // the read itself.
    face_.readPanel(model_);
    if (timerId == IDT_CONNECT) {
        auto ctx = context();
        operations::connectTimerStep(ctx);
    } else if (timerId == IDT_MONITOR) {
        monitoring_.tick();
    }
}

void MainWindowCore::onConnectDevice() {
    auto ctx = context();
    operations::connectDevice(ctx);
}

void MainWindowCore::onSaveConfiguration() {
    operations::saveConfiguration(face_, model_, state_.files);
}

void MainWindowCore::onLoadConfiguration() {
    operations::loadConfiguration(face_, model_, state_.files);
}

void MainWindowCore::onApply() {
    auto ctx = context();
    operations::runApplySequence(ctx);
}

void MainWindowCore::onDestroy() {
    operations::saveWorkingConfiguration(face_, model_, state_.files);
}

} // namespace brenvik
