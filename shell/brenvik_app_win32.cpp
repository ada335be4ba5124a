#include "shell/brenvik_app_win32.h"

#include "device/clock.h"
#include "device/ftcspi_library_win32.h"
#include "operations/program_state.h"
#include "serial_engine/serial_engine.h"
#include "shell/brenvik_dlg_win32.h"
#include "usb_pipes/d2xx_bus.h"

#include <commctrl.h>
#include <optional>

namespace brenvik {

void CBrenvikforCustomApp::initInstance() {
    guard_.emplace(applicationName());
    if (guard_->anotherCopyRuns()) {
        activateRunningCopy(applicationName());
        setExitCode(kAlreadyRunningExitCode);
        return;
    }

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    // The adapter library is loaded once for the whole run; the channel it opens stays open
    // until the next connection attempt or the end of the process. Without the vendor's
    // library the serial engine reaches the bridge through the bridge driver's library; with
    // neither, the vendor's library is missing as it always was.
    SystemClock clock;
    device::FtcspiLibrary vendor;
    std::optional<usbpipes::D2xxBus> driver;
    std::optional<engine::SerialEngine> serialEngine;
    if (!vendor.loaded()) {
        driver.emplace();
        if (driver->available()) {
            serialEngine.emplace(*driver, clock);
        }
    }
    device::AdapterLibrary& adapter =
        serialEngine ? static_cast<device::AdapterLibrary&>(*serialEngine) : vendor;
    ProgramState state(adapter);
    CBrenvikforCustomDlg mainWindow(executable(), applicationName(), state, clock);
    mainWindow.doModal();
}

} // namespace brenvik
