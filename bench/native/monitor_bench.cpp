// The monitor tick as the timer runs it (panel read, activity flag, block fetch with command 10,
// decoding, panel redisplay) against the virtual bridge and supply:
//   monitor_tick: wall time with real waits beside the 400 ms of waits a tick is made of;
//   monitor_soak: 10,000 ticks without waits, with the heap in use and the resident set size
//     after the first 100 ticks and after the last, which must not grow.

#include "bench/native/bench_support.h"
#include "device/clock.h"
#include "res/resource.h"
#include "shell/main_window_core.h"
#include "virtual_supply/virtual_bridge.h"

#include <benchmark/benchmark.h>
#include <chrono>

namespace {

using namespace brenvik;
using bench::Wall;

constexpr double kTickWaitsMs = 400.0; // four chunk reads, 100 ms before each

class NoWait final : public Clock {
public:
    void sleep(std::chrono::milliseconds) override {}
};

// The main window's core monitoring a virtual supply whose channel is open.
struct Monitored {
    explicit Monitored(Clock& clock) : core(window, clock, state, "Brenvik-USB.exe") {
        state.link.handle = rig.link.handle;
        state.link.startCondition = rig.link.startCondition;
        rig.bridge.supply().setReadingJitter(2, 1);
        window.setComboItems(IDC_CMB_CHARGE_CURRENT, {"a", "b", "c", "d"});
        core.face().showPanel(core.model());
        core.onStartStop();
    }
    // One tick of the monitor timer; the bridge's own call log (a test aid of the stand-in) is
    // cleared so that only the program's memory is measured.
    void tick() {
        core.onTimer(IDT_MONITOR);
        rig.bridge.forgetCalls();
    }

    vsupply::VirtualLink rig;
    bench::LeanWindow window;
    ProgramState state{rig.bridge};
    MainWindowCore core;
};

void monitor_tick(benchmark::State& state) {
    SystemClock clock;
    Monitored monitored(clock);
    Wall::duration total{};
    for (auto _ : state) {
        const auto start = Wall::now();
        monitored.tick();
        total += Wall::now() - start;
        if (!monitored.state.link.linkOk) {
            state.SkipWithError("poll failed");
            break;
        }
    }
    bench::report(state, total, kTickWaitsMs);
    state.counters["overhead_percent"] =
        state.counters["overhead_ms"] / state.counters["mandated_ms"] * 100.0;
}
BENCHMARK(monitor_tick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void monitor_soak(benchmark::State& state) {
    NoWait clock;
    for (auto _ : state) {
        Monitored monitored(clock);
        for (int i = 0; i < 100; ++i) {
            monitored.tick();
        }
        const double heapStart = bench::heapInUseBytes();
        const double rssStart = bench::residentKiB();
        for (int i = 100; i < 10000; ++i) {
            monitored.tick();
        }
        state.counters["heap_start_bytes"] = heapStart;
        state.counters["heap_end_bytes"] = bench::heapInUseBytes();
        state.counters["rss_start_kib"] = rssStart;
        state.counters["rss_end_kib"] = bench::residentKiB();
    }
}
BENCHMARK(monitor_soak)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
