#pragma once
// The main window's behaviour that needs no Windows API. The dialog owns one instance and
// forwards its handlers to it; the core reaches the controls only through the WindowPort.

#include "programming/device_settings.h"
#include "ui/window_port.h"

#include <filesystem>
#include <string>
#include <vector>

namespace brenvik {

// Items of the charge selector before a supply has told us its model, the first selected.
std::vector<std::string> defaultChargeSelectorItems();

// Period of the connect timer, which connects once shortly after the window has appeared.
inline constexpr unsigned kConnectDelayMs = 500;

class MainWindowCore {
public:
    // `executable` is the full path of the running program; it locates the working
    // configuration file.
    MainWindowCore(WindowPort& window, std::filesystem::path executable);

    MainWindowCore(const MainWindowCore&) = delete;
    MainWindowCore& operator=(const MainWindowCore&) = delete;

    MainWindowModel& model() { return model_; }
    const MainWindowModel& model() const { return model_; }

    // Window initialisation, in the order the dialog calls them.
    void fillDefaultChargeSelector();
    void armConnectTimer();
    void useWorkingConfigurationFile();

    // The file that the configuration writer and reader use.
    const std::filesystem::path& currentConfigurationFile() const { return currentConfiguration_; }
    std::filesystem::path workingConfigurationFile() const;

private:
    WindowPort& window_;
    std::filesystem::path executable_;
    MainWindowModel model_;
    std::filesystem::path currentConfiguration_;
};

} // namespace brenvik
