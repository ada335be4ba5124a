#pragma once
// Only one copy of the program runs at a time. Copies stored under different file names have
// different application names and do not see each other.

#include "win32/handles.h"

#include <string>

namespace brenvik {

class SingleInstanceGuard {
public:
    // Creates the named semaphore that marks the running copy; it is held until the guard goes.
    explicit SingleInstanceGuard(const std::wstring& applicationName);

    // True when a copy with the same application name already holds the semaphore.
    bool anotherCopyRuns() const { return anotherCopyRuns_; }

private:
    win32::UniqueHandle semaphore_;
    bool anotherCopyRuns_ = false;
};

// Sets and removes the instance marker on the main window, by which a second copy finds it.
void setInstanceMarker(HWND window, const std::wstring& applicationName);
void removeInstanceMarker(HWND window, const std::wstring& applicationName);

// Finds the first top-level window with the instance marker, restores it if minimised, and
// brings it and its last active pop-up to the foreground. Returns whether one was found.
bool activateRunningCopy(const std::wstring& applicationName);

} // namespace brenvik
