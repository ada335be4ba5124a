#pragma once
// The application object: instance initialisation, which runs the program's main dialog
// modally, and the exit code of the process.

#include "win32/win32.h"

#include <filesystem>
#include <string>

namespace brenvik::framework {

class CWinApp {
public:
    explicit CWinApp(HINSTANCE instance);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp() = default;

    // Finds the program's own path, runs the instance initialisation and returns the process's
    // exit code. An exception that reaches this point is shown to the user and ends the program
    // with kFailureExitCode.
    int run();

    HINSTANCE instance() const { return instance_; }
    // Full path of the program, and its file name without folder and extension (set by run).
    const std::filesystem::path& executable() const { return executable_; }
    const std::wstring& applicationName() const { return applicationName_; }

    static constexpr int kFailureExitCode = 3;

protected:
    // The whole life of the program: the main dialog runs modally in here.
    virtual void initInstance() = 0;
    void setExitCode(int code) { exitCode_ = code; }

private:
    HINSTANCE instance_;
    std::filesystem::path executable_;
    std::wstring applicationName_;
    int exitCode_ = 0;
};

} // namespace brenvik::framework
