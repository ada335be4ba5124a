#pragma once
// The main window's behaviour that needs no Windows API. The dialog owns one instance and
// forwards its handlers to it; the core runs the operations through the window's face, which
// reaches the controls only through the WindowPort.

#include "device/clock.h"
#include "operations/context.h"
#include "operations/monitoring.h"
#include "operations/program_state.h"
#include "operations/window_model.h"
#include "shell/window_face.h"
#include "ui/window_port.h"

#include <filesystem>

namespace brenvik {

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
    WindowFace& face() { return face_; }

    // Window initialisation, in the order the dialog calls them.
    void fillDefaultChargeSelector() { face_.fillDefaultChargeSelector(); }
    void armConnectTimer() { face_.armConnectTimer(); }
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
    operations::Context context() { return {face_, clock_, state_, model_}; }

    WindowFace face_;
    Clock& clock_;
    ProgramState& state_;
    std::filesystem::path executable_;
    MainWindowModel model_;
    operations::MonitoringLoop monitoring_;
};

} // namespace brenvik
