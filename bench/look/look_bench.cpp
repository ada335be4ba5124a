// look-bench: what painting costs Brenvik-USB, with the real main window run inside this
// process against the virtual supply.
//  1. Paint cost: full repaints of the main window with its pictures in the current directory,
//     and the same repaints from a directory without them.
//  2. Soaks: repaints of the main window and both colour buttons, then as many monitor ticks
//     (START, then the monitor timer's ticks sent one after another, each followed by the
//     repaint it asks for), while the process's GDI objects, kernel handles and committed
//     private memory are counted. Wine reports none of these to other processes, so they are
//     counted here:
//  - GDI objects: live objects in the process's GDI handle table, found by allocating probe
//    brushes until the table hands out fresh entries (freed entries are reused first, last
//    freed first), then deleting the probes again;
//  - kernel handles: handle values the process answers for;
//  - memory: committed private pages of the address space.
// Usage: look-bench [repaints]   (default 600); prints the figures.

#include "framework/handles.h"
#include "framework/module_path.h"
#include "res/resource.h"
#include "shell/brenvik_dlg_win32.h"
#include "tests/windows/support/live_dialog.h"
#include "tools/driver/program_driver.h"
#include "ui/app_paths.h"
#include "virtual_supply/virtual_bridge.h"

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace brenvik;

// Device waits pass at once, so the ticks follow each other as fast as the window handles them.
class NoWaitClock final : public Clock {
public:
    void sleep(std::chrono::milliseconds) override {}
};

// The program's own parts around the main window, with the virtual supply as its adapter.
struct Program {
    vsupply::VirtualBridge bridge;
    ProgramState state{bridge};
    NoWaitClock clock;
};

class SoakedWindow : private Program, public CBrenvikforCustomDlg {
public:
    SoakedWindow()
        : CBrenvikforCustomDlg(framework::modulePath(),
                               applicationName(framework::modulePath()).wstring(), state, clock) {}
};

// Live GDI objects, up to a constant: the table's high-water mark less its free entries.
long liveGdiObjects() {
    std::vector<HBRUSH> probes;
    long freeEntries = 0;
    long fresh = -1;
    long run = 0;
    long highest = -1;
    // Fresh entries come in increasing order above every index handed out before them.
    while (run < 64) {
        const HBRUSH probe = ::CreateSolidBrush(RGB(1, 2, 3));
        probes.push_back(probe);
        const long index = LOWORD(reinterpret_cast<UINT_PTR>(probe));
        if (index > highest && (run == 0 || index == highest + 1)) {
            fresh = run == 0 ? index : fresh;
            ++run;
        } else {
            freeEntries += run + 1;
            run = 0;
        }
        highest = index > highest ? index : highest;
    }
    for (auto it = probes.rbegin(); it != probes.rend(); ++it) {
        ::DeleteObject(*it);
    }
    return fresh - freeEntries;
}

long kernelHandles() {
    long count = 0;
    for (UINT_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        count += ::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != FALSE ? 1 : 0;
    }
    return count;
}

double committedPrivateKb() {
    double bytes = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (auto* at = static_cast<const char*>(nullptr);
         ::VirtualQuery(at, &info, sizeof(info)) == sizeof(info);
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) {
            bytes += static_cast<double>(info.RegionSize);
        }
    }
    return bytes / 1024.0;
}

struct Sample {
    long gdi;
    long handles;
    double privateKb;
};

Sample sample() {
    return {liveGdiObjects(), kernelHandles(), committedPrivateKb()};
}

void repaint(HWND window, UINT children) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | children);
}

// Runs `round` `count` times, sampling before, at every sixth and at the end; prints the growth.
template <class Round>
void soak(const char* title, int count, Round round) {
    std::printf("%s\n  %6s  %8s  %8s  %12s\n", title, "rounds", "GDI", "handles", "private KB");
    // One round first, so that what the first one sets up once is not counted as growth.
    round();
    const Sample first = sample();
    Sample last = first;
    std::printf("  %6d  %8ld  %8ld  %12.1f\n", 0, first.gdi, first.handles, first.privateKb);
    const int step = count / 6 > 0 ? count / 6 : 1;
    for (int i = 1; i <= count; ++i) {
        round();
        if (i % step == 0 || i == count) {
            last = sample();
            std::printf("  %6d  %8ld  %8ld  %12.1f\n", i, last.gdi, last.handles, last.privateKb);
        }
    }
    std::printf("  growth: GDI %ld, handles %ld, private %.1f KB\n\n", last.gdi - first.gdi,
                last.handles - first.handles, last.privateKb - first.privateKb);
}

double now() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds per full repaint of the window alone (its background and pictures) and with all
// its controls, over `count` repaints each.
std::pair<double, double> paintCost(HWND window, int count) {
    std::pair<double, double> cost;
    for (double* result : {&cost.first, &cost.second}) {
        const UINT children = result == &cost.first ? RDW_NOCHILDREN : RDW_ALLCHILDREN;
        const double start = now();
        for (int i = 0; i < count; ++i) {
            repaint(window, children);
        }
        *result = (now() - start) / count;
    }
    return cost;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int count = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 600;
    wintest::LiveDialog live([] { return std::make_unique<SoakedWindow>(); });
    const HWND window = live.hwnd();
    if (window == nullptr) {
        std::fprintf(stderr, "look-bench: no main window\n");
        return 1;
    }
    // Let the first connection to the virtual supply finish.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const HWND buttons[] = {::GetDlgItem(window, IDC_BTN_APPLY),
                            ::GetDlgItem(window, IDC_BTN_START)};

    const wintest::TestFolder empty;
    const std::filesystem::path pictures = std::filesystem::current_path();
    std::printf("Paint cost, %d repaints each (ms per repaint)\n  %-20s %12s %20s\n", count, "",
                "main window", "window and controls");
    for (const auto& [name, folder] :
         {std::pair("with the pictures", pictures), std::pair("no picture files", empty.path())}) {
        std::filesystem::current_path(folder);
        const auto [alone, all] = paintCost(window, count);
        std::printf("  %-20s %12.3f %20.3f\n", name, alone, all);
    }
    std::filesystem::current_path(pictures);
    std::printf("\n");

    soak("Repaints of the main window and both colour buttons, in process", count, [&] {
        repaint(window, RDW_ALLCHILDREN);
        for (const HWND button : buttons) {
            repaint(button, RDW_NOCHILDREN);
        }
    });

    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BTN_START, BN_CLICKED), 0);
    soak("Monitor ticks after START, each with its repaint, in process", count, [&] {
        ::SendMessageW(window, WM_TIMER, IDT_MONITOR, 0);
        ::UpdateWindow(window);
    });
    // What the last tick left, to show that the ticks read the supply.
    std::printf("After the ticks: status line \"%ls\", main output voltage \"%ls\"\n",
                wintest::statusBarText(wintest::statusBar(window), 1).c_str(),
                wintest::controlText(window, IDC_EDT_OUTPUT_VOLTAGE).c_str());
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BTN_START, BN_CLICKED), 0);
    return 0;
}
