#pragma once
// What the native benchmarks share: the window they run the sequences in, the report of wall
// time against the waits a sequence is made of, and the process's memory figures.

#include "tests/support/fake_window.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <malloc.h>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace brenvik::bench {

using Wall = std::chrono::steady_clock;

// The main window's controls, keeping nothing of what happened but the last status text, so
// that only the program's own memory is measured.
struct LeanWindow : testing::FakeWindow {
    LeanWindow() { keepHistory = false; }
};

// Average wall time per iteration, the mandated waits and what lies beyond them.
inline void report(benchmark::State& state, Wall::duration total, double mandatedMs) {
    const double wallMs = std::chrono::duration<double, std::milli>(total).count() /
                          static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wallMs;
    state.counters["mandated_ms"] = mandatedMs;
    state.counters["overhead_ms"] = wallMs - mandatedMs;
}

// Resident set size of this process.
inline double residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024.0;
}

// Bytes of the heap in use.
inline double heapInUseBytes() {
    return static_cast<double>(::mallinfo2().uordblks);
}

} // namespace brenvik::bench
