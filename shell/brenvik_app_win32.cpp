#include "shell/brenvik_app_win32.h"

#include "device/clock.h"
#include "device/ftcspi_library_win32.h"
#include "operations/program_state.h"
#include "shell/brenvik_dlg_win32.h"

#include <commctrl.h>

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
    // until the next connection attempt or the end of the process.
    device::FtcspiLibrary adapter;
    ProgramState state(adapter);
    SystemClock clock;
    CBrenvikforCustomDlg mainWindow(executable(), applicationName(), state, clock);
    mainWindow.doModal();
}

} // namespace brenvik
