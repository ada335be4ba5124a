// look-bench: what painting costs Brenvik-USB, measured from outside the program as a user's
// desktop drives it.
//  1. Paint cost: full repaints of the main window with its pictures beside the program's
//     folder, and the same repaints with no picture files present.
//  2. Soak: many repaints of the main window and of both colour buttons while sampling the
//     program's GDI objects, handles and memory, which must not grow.
// Usage: look-bench [repaints]   (default 600); prints the figures.

#include "framework/handles.h"
#include "tests/windows/support/program_driver.h"

#include <cstdio>
#include <cstdlib>
#include <psapi.h>
#include <string>

namespace {

using brenvik::wintest::ProgramSession;
using brenvik::wintest::RunningProgram;
namespace fs = std::filesystem;

double now() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A repaint of the window (and its controls when asked), returning once it has painted.
void repaint(HWND window, bool children) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW |
                       (children ? RDW_ALLCHILDREN : RDW_NOCHILDREN));
}

// Milliseconds per repaint, over `count` repaints.
double timeRepaints(HWND window, bool children, int count) {
    const double start = now();
    for (int i = 0; i < count; ++i) {
        repaint(window, children);
    }
    return (now() - start) / count;
}

// Starts the program in a folder of its own, with or without the pictures beside it, and waits
// until the first connection has finished.
RunningProgram startProgram(ProgramSession& session, bool withPictures) {
    if (withPictures) {
        const fs::path pictures = brenvik::wintest::brenvikExecutable().parent_path();
        for (const auto& entry : fs::directory_iterator(pictures)) {
            if (entry.path().extension() == ".png") {
                fs::copy_file(entry.path(), session.folder() / entry.path().filename());
            }
        }
    }
    RunningProgram program = session.start();
    session.waitForStatus(L"Pass, Connect device success! ");
    return program;
}

struct Sample {
    DWORD gdiObjects;
    DWORD userObjects;
    DWORD handles;
    SIZE_T privateBytes;
    SIZE_T workingSet;
};

Sample sample(HANDLE process) {
    Sample s{::GetGuiResources(process, GR_GDIOBJECTS), ::GetGuiResources(process, GR_USEROBJECTS),
             0, 0, 0};
    ::GetProcessHandleCount(process, &s.handles);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof(memory));
    s.privateBytes = memory.PrivateUsage;
    s.workingSet = memory.WorkingSetSize;
    return s;
}

void print(int repaints, const Sample& s) {
    std::printf("  %6d  %8lu  %8lu  %8lu  %10.1f  %10.1f\n", repaints, s.gdiObjects, s.userObjects,
                s.handles, s.privateBytes / 1024.0, s.workingSet / 1024.0);
}

void paintCost(int count) {
    std::printf("Paint cost, %d repaints each (ms per repaint):\n", count);
    std::printf("  %-22s %14s %22s\n", "", "main window", "window and controls");
    for (const bool withPictures : {true, false}) {
        ProgramSession session;
        const RunningProgram program = startProgram(session, withPictures);
        const HWND window = session.window();
        repaint(window, true);
        const double alone = timeRepaints(window, false, count);
        const double all = timeRepaints(window, true, count);
        std::printf("  %-22s %14.3f %22.3f\n",
                    withPictures ? "with the pictures" : "no picture files", alone, all);
        program.close();
    }
}

void soak(int count) {
    ProgramSession session;
    const RunningProgram program = startProgram(session, true);
    const HWND window = session.window();
    const brenvik::framework::UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.processId()));
    const HWND buttons[] = {::GetDlgItem(window, IDC_BTN_APPLY),
                            ::GetDlgItem(window, IDC_BTN_START)};

    std::printf("\nSoak: %d full repaints of the main window and of both colour buttons\n", count);
    std::printf("  %6s  %8s  %8s  %8s  %10s  %10s\n", "paints", "GDI", "USER", "handles",
                "private KB", "working KB");
    // One round first, so that what the first paint sets up once is not counted as growth.
    repaint(window, true);
    const Sample first = sample(process.get());
    print(0, first);
    Sample last = first;
    for (int i = 1; i <= count; ++i) {
        repaint(window, true);
        for (const HWND button : buttons) {
            repaint(button, false);
        }
        if (i % (count / 6 > 0 ? count / 6 : 1) == 0 || i == count) {
            last = sample(process.get());
            print(i, last);
        }
    }
    std::printf("  growth: GDI %ld, USER %ld, handles %ld, private %.1f KB, working set %.1f KB\n",
                static_cast<long>(last.gdiObjects) - static_cast<long>(first.gdiObjects),
                static_cast<long>(last.userObjects) - static_cast<long>(first.userObjects),
                static_cast<long>(last.handles) - static_cast<long>(first.handles),
                (static_cast<double>(last.privateBytes) - first.privateBytes) / 1024.0,
                (static_cast<double>(last.workingSet) - first.workingSet) / 1024.0);
    program.close();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int count = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 600;
    try {
        paintCost(count / 3 > 0 ? count / 3 : 1);
        soak(count);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "look-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
