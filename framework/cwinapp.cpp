#include "framework/cwinapp.h"

#include "framework/text.h"
#include "ui/app_paths.h"
#include "win32/module_path.h"

#include <exception>

namespace brenvik::framework {

CWinApp::CWinApp(HINSTANCE instance) : instance_(instance) {}

int CWinApp::run() {
    try {
        executable_ = win32::modulePath();
        applicationName_ = brenvik::applicationName(executable_).wstring();
        initInstance();
        return exitCode_;
    } catch (const std::exception& error) {
        ::MessageBoxW(nullptr, widen(error.what()).c_str(), applicationName_.c_str(),
                      MB_OK | MB_ICONERROR);
    } catch (...) {
        ::MessageBoxW(nullptr, L"Unexpected error.", applicationName_.c_str(),
                      MB_OK | MB_ICONERROR);
    }
    return kFailureExitCode;
}

} // namespace brenvik::framework
