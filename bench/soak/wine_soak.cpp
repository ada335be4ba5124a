// Real-time monitoring soak of the running program: starts Brenvik-USB against the stand-in
// library, presses START, unplugs the virtual supply for five seconds in the middle of every ten
// minutes through the control file, and every minute prints the program's handle count, GDI and
// USER objects, committed bytes and working set, with the seconds whose status line showed a
// good and a failed poll. Usage: wine_soak.exe [minutes (10)]

#include "tools/driver/program_driver.h"

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <psapi.h>
#include <string>
#include <thread>

using namespace brenvik::wintest;

int wmain(int argc, wchar_t** argv) {
    const int minutes = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10;
    ProgramSession session;
    session.useScenario("hour_length_ms = 60000\njitter = 2\ncontrol_file = control.txt\n");
    const fs::path control = session.folder() / "control.txt";
    writeFile(control, "plugged = yes\n");
    RunningProgram program = session.start();
    session.waitForStatus(L"Pass, Connect device success! ");
    click(session.window(), IDC_BTN_START);

    const brenvik::framework::UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.processId()));
    const HWND bar = statusBar(session.window());
    std::printf("minute handles gdi user commit_kib working_set_kib good_s failed_s\n");
    int good = 0;
    int failed = 0;
    for (int second = 1; second <= minutes * 60; ++second) {
        std::this_thread::sleep_for(1s);
        if (second % 600 == 300) {
            writeFile(control, "plugged = no\n");
        } else if (second % 600 == 305) {
            writeFile(control, "plugged = yes\n");
        }
        const std::wstring status = statusBarText(bar, 1);
        good += status == L"Pass, Read device status success! ";
        failed += status.rfind(L"Fail", 0) == 0;
        if (second % 60 == 0 || second == 1) {
            DWORD handles = 0;
            ::GetProcessHandleCount(process.get(), &handles);
            PROCESS_MEMORY_COUNTERS_EX memory{};
            ::GetProcessMemoryInfo(
                process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
            std::printf("%6d %7lu %3lu %4lu %11lu %15lu %6d %8d\n", second / 60, handles,
                        ::GetGuiResources(process.get(), GR_GDIOBJECTS),
                        ::GetGuiResources(process.get(), GR_USEROBJECTS),
                        memory.PagefileUsage / 1024, memory.WorkingSetSize / 1024, good, failed);
            std::fflush(stdout);
        }
    }
    return program.close() ? 0 : 1;
}
