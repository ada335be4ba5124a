#pragma once
// The main window's behaviour that needs no Windows API. The dialog owns one instance and
// forwards its handlers to it; the core reaches the controls only through the WindowPort.

#include "device/connection.h"
#include "monitor/monitoring.h"
#include "programming/device_settings.h"
#include "shell/program_state.h"
#include "ui/clock.h"
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
    MainWindowCore(WindowPort& window, Clock& clock, ProgramState& state,
                   std::filesystem::path executable);

    MainWindowCore(const MainWindowCore&) = delete;
    MainWindowCore& operator=(const MainWindowCore&) = delete;

    MainWindowModel& model() { return model_; }
    const MainWindowModel& model() const { return model_; }

    // Window initialisation, in the order the dialog calls them.
    void fillDefaultChargeSelector();
    void armConnectTimer();
    void useWorkingConfigurationFile();

    // Message handlers.
    void onOptionBoxClicked(int boxId);
    void onDelayEditLostFocus();
    void onStartStop();
    // Both window timers: every tick starts with a panel read, then runs the connect step
    // (id 2) or a monitor tick (id 1).
    void onTimer(int timerId);
    void onConnectDevice();
    void onSaveConfiguration();
    void onLoadConfiguration();
    void onApply();
    void onDestroy();

private:
    device::ConnectionContext connection();

    WindowPort& window_;
    Clock& clock_;
    ProgramState& state_;
    std::filesystem::path executable_;
    MainWindowModel model_;
    monitor::MonitoringLoop monitoring_;
};

} // namespace brenvik
