#include "shell/brenvik_app_win32.h"

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

    CBrenvikforCustomDlg mainWindow(executable(), applicationName());
    mainWindow.doModal();
}

} // namespace brenvik
