#include "shell/main_window_core.h"

#include "res/resource.h"
#include "shell/app_paths.h"

#include <utility>

namespace brenvik {

std::vector<std::string> defaultChargeSelectorItems() {
    return {"Default Charge Current", "1/2 Default Charge Current", "1/4 Default Charge Current",
            "1/8 Default Charge Current"};
}

MainWindowCore::MainWindowCore(WindowPort& window, std::filesystem::path executable)
    : window_(window), executable_(std::move(executable)) {}

void MainWindowCore::fillDefaultChargeSelector() {
    window_.setComboItems(IDC_CMB_CHARGE_CURRENT, defaultChargeSelectorItems());
    window_.setComboSelection(IDC_CMB_CHARGE_CURRENT, 0);
}

void MainWindowCore::armConnectTimer() {
    // Not being able to arm it only means no automatic connection; "Connect Device" still works.
    window_.setTimer(IDT_CONNECT, kConnectDelayMs);
}

void MainWindowCore::useWorkingConfigurationFile() {
    currentConfiguration_ = workingConfigurationFile();
}

std::filesystem::path MainWindowCore::workingConfigurationFile() const {
    return brenvik::workingConfigurationFile(executable_);
}

} // namespace brenvik
