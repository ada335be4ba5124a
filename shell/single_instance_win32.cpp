#include "shell/single_instance_win32.h"

namespace brenvik {
namespace {

// Any non-null value marks the window; only its presence counts.
HANDLE const kMarker = reinterpret_cast<HANDLE>(1);

} // namespace

SingleInstanceGuard::SingleInstanceGuard(const std::wstring& applicationName)
    : semaphore_(::CreateSemaphoreW(nullptr, 1, 1, applicationName.c_str())) {
    if (semaphore_ && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        anotherCopyRuns_ = true;
        semaphore_.reset();
    }
}

void setInstanceMarker(HWND window, const std::wstring& applicationName) {
    ::SetPropW(window, applicationName.c_str(), kMarker);
}

void removeInstanceMarker(HWND window, const std::wstring& applicationName) {
    ::RemovePropW(window, applicationName.c_str());
}

bool activateRunningCopy(const std::wstring& applicationName) {
    for (HWND window = ::GetWindow(::GetDesktopWindow(), GW_CHILD); ::IsWindow(window) != FALSE;
         window = ::GetWindow(window, GW_HWNDNEXT)) {
        if (::GetPropW(window, applicationName.c_str()) == nullptr) {
            continue;
        }
        if (::IsIconic(window) != FALSE) {
            ::ShowWindow(window, SW_RESTORE);
        }
        ::SetForegroundWindow(window);
        ::SetForegroundWindow(::GetLastActivePopup(window));
        return true;
    }
    return false;
}

} // namespace brenvik
