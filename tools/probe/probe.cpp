// brenvik-probe: looks at a running Brenvik-USB from outside, for scripts.
//
//   brenvik-probe wait-window <timeout-ms>          exit 0 once the main window is visible
//   brenvik-probe status                            print the status line (part 1 of the bar)
//   brenvik-probe wait-status <text> <timeout-ms>   exit 0 once the status line contains text
//   brenvik-probe close                             close the window as a user would and wait
//                                                   for the program to end
// Exit code 1 on timeout or when no window is found, 2 for a wrong command line.

#include "framework/text.h"
#include "tools/driver/program_driver.h"

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using brenvik::framework::narrow;
namespace wintest = brenvik::wintest;

constexpr int kTimedOut = 1;
constexpr int kUsage = 2;

bool parseMilliseconds(const wchar_t* text, std::chrono::milliseconds& out) {
    wchar_t* end = nullptr;
    const long long value = std::wcstoll(text, &end, 10);
    if (end == text || *end != L'\0' || value < 0) {
        return false;
    }
    out = std::chrono::milliseconds(value);
    return true;
}

template <class Done>
bool waitFor(std::chrono::milliseconds timeout, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::wstring statusLine(HWND window) {
    const HWND bar = wintest::statusBar(window);
    return bar != nullptr ? wintest::statusBarText(bar, 1) : std::wstring{};
}

int usage() {
    std::fputs("usage: brenvik-probe wait-window <ms> | status | wait-status <text> <ms> | close\n",
               stderr);
    return kUsage;
}

int closeProgram() {
    const HWND window = wintest::findAnyMainWindow();
    if (window == nullptr) {
        return kTimedOut;
    }
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    const brenvik::framework::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (!process) {
        return waitFor(30s, [&] { return ::IsWindow(window) == FALSE; }) ? 0 : kTimedOut;
    }
    return ::WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0 ? 0 : kTimedOut;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        const std::wstring command = argc > 1 ? argv[1] : L"";
        std::chrono::milliseconds timeout{};
        if (command == L"wait-window" && argc == 3 && parseMilliseconds(argv[2], timeout)) {
            return waitFor(timeout, [] { return wintest::findAnyMainWindow() != nullptr; })
                       ? 0
                       : kTimedOut;
        }
        if (command == L"status" && argc == 2) {
            const HWND window = wintest::findAnyMainWindow();
            if (window == nullptr) {
                return kTimedOut;
            }
            std::printf("%s\n", narrow(statusLine(window)).c_str());
            return 0;
        }
        if (command == L"wait-status" && argc == 4 && parseMilliseconds(argv[3], timeout)) {
            const std::wstring wanted = argv[2];
            std::wstring last;
            const bool seen = waitFor(timeout, [&] {
                const HWND window = wintest::findAnyMainWindow();
                last = window != nullptr ? statusLine(window) : std::wstring{};
                return last.find(wanted) != std::wstring::npos;
            });
            std::printf("%s\n", narrow(last).c_str());
            return seen ? 0 : kTimedOut;
        }
        if (command == L"close" && argc == 2) {
            return closeProgram();
        }
        return usage();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "brenvik-probe: %s\n", error.what());
        return kTimedOut;
    }
}
