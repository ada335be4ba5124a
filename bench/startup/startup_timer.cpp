// startup-timer <runs>: starts Brenvik-USB.exe and startup-minimal.exe (both beside this
// program) <runs> times each, alternately, and prints the time from process creation to the
// main window being visible, side by side with the ratio. Each program is closed with WM_CLOSE
// before the next start.

#include "framework/handles.h"
#include "framework/module_path.h"
#include "tools/driver/program_driver.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using brenvik::wintest::RunningProgram;

struct Candidate {
    const wchar_t* file;
    const wchar_t* caption;
    std::vector<double> milliseconds;
};

double now() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool timeOneStart(Candidate& candidate) {
    const auto executable = brenvik::framework::modulePath().parent_path() / candidate.file;
    const double start = now();
    RunningProgram program = RunningProgram::start(executable);
    HWND window = nullptr;
    while (window == nullptr && program.running()) {
        window = brenvik::wintest::waitForWindow(program.processId(), candidate.caption,
                                                 std::chrono::milliseconds(0));
        if (window == nullptr) {
            ::Sleep(1);
        }
    }
    if (window == nullptr) {
        return false;
    }
    candidate.milliseconds.push_back(now() - start);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return program.waitForExit().has_value();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs =
        argc > 1 ? std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 5;
    Candidate brenvik{L"Brenvik-USB.exe", L"Brenvik-USB", {}};
    Candidate minimal{L"startup-minimal.exe", L"Startup Minimal", {}};
    for (int i = 0; i < runs; ++i) {
        for (Candidate* candidate : {&brenvik, &minimal}) {
            if (!timeOneStart(*candidate)) {
                std::fwprintf(stderr, L"%ls did not show its window\n", candidate->file);
                return 1;
            }
        }
    }
    std::printf("start to visible window, %d runs each (ms)\n", runs);
    std::printf("%-22s %10s %10s %10s\n", "program", "median", "min", "max");
    for (const Candidate* candidate : {&brenvik, &minimal}) {
        const auto [low, high] =
            std::minmax_element(candidate->milliseconds.begin(), candidate->milliseconds.end());
        std::printf("%-22ls %10.1f %10.1f %10.1f\n", candidate->file,
                    median(candidate->milliseconds), *low, *high);
    }
    std::printf("ratio Brenvik-USB / minimal (medians): %.2f\n",
                median(brenvik.milliseconds) / median(minimal.milliseconds));
    return 0;
}
