#pragma once
// The application object: single-instance guard, common controls, then the main window, run
// modally for the life of the program.

#include "framework/cwinapp.h"
#include "shell/single_instance_win32.h"

#include <optional>

namespace brenvik {

class CBrenvikforCustomApp : public framework::CWinApp {
public:
    using CWinApp::CWinApp;

    // Exit code of a second copy, which hands the focus to the first and ends.
    static constexpr int kAlreadyRunningExitCode = 1;

protected:
    void initInstance() override;

private:
    // Held for the life of the process once this copy is the running one.
    std::optional<SingleInstanceGuard> guard_;
};

} // namespace brenvik
