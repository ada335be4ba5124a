// A day of monitoring on simulated time: 86,400 monitor ticks, one a second plus up to 200 ms of
// timer jitter, against a virtual supply whose readings jitter and whose hour counters run on
// the same simulated time. Every ten minutes the supply is unplugged for five seconds.
// Figures: heap in use and resident set size after the first 100 ticks and after the last; good
// and failed ticks against the schedule; good ticks that showed anything but the supply's
// current values (its fault count, set anew before every tick, and its hours); the hours the
// supply counted.

#include "bench/native/bench_support.h"
#include "device/clock.h"
#include "res/resource.h"
#include "shell/main_window_core.h"
#include "virtual_supply/virtual_bridge.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <random>
#include <string>

namespace {

using namespace brenvik;
using std::chrono::milliseconds;

constexpr int kTicks = 86'400;
constexpr milliseconds kTickPeriod{1000};
constexpr milliseconds kUnplugEvery{600'000};
constexpr milliseconds kUnpluggedFor{5000};

// Simulated time: every wait of the program moves it on.
class SimulatedClock final : public Clock {
public:
    void sleep(milliseconds duration) override { now += duration; }
    milliseconds now{0};
};

void day_soak(benchmark::State& state) {
    for (auto _ : state) {
        SimulatedClock clock;
        vsupply::VirtualLink rig;
        vsupply::VirtualSupply& supply = rig.bridge.supply();
        supply.setReadingJitter(2, 7);
        supply.setTimeSource([&clock] { return clock.now; }, std::chrono::hours(1));
        const std::uint32_t hoursAtStart = supply.state().powerUpHours;

        bench::LeanWindow window;
        ProgramState program{rig.bridge};
        program.link.handle = rig.link.handle;
        program.link.startCondition = rig.link.startCondition;
        MainWindowCore core(window, clock, program, "Brenvik-USB.exe");
        window.setComboItems(IDC_CMB_CHARGE_CURRENT, {"a", "b", "c", "d"});
        core.face().showPanel(core.model());
        core.onStartStop();

        std::mt19937 random(86400);
        double heapStart = 0;
        double rssStart = 0;
        int good = 0;
        int failed = 0;
        int scheduledFailures = 0;
        int staleGoodTicks = 0;
        for (int tick = 0; tick < kTicks; ++tick) {
            clock.now = std::max(clock.now, kTickPeriod * tick + milliseconds(random() % 200));
            const milliseconds sinceUnplug = clock.now % kUnplugEvery;
            const bool unplugged = clock.now >= kUnplugEvery && sinceUnplug < kUnpluggedFor;
            if (unplugged) {
                rig.bridge.unplug();
                ++scheduledFailures;
            } else {
                rig.bridge.plugIn();
            }
            // A counter that changes every tick tells a fresh value from a stale one.
            const auto faults = static_cast<std::uint16_t>(tick);
            supply.state().acFaultCount = faults;
            core.onTimer(IDT_MONITOR);
            rig.bridge.forgetCalls();
            if (program.link.linkOk) {
                ++good;
                staleGoodTicks +=
                    window.controlText(IDC_EDT_AC_FAULT_COUNT) != std::to_string(faults) ||
                    window.controlText(IDC_EDT_POWERUP_TIME) !=
                        std::to_string(supply.state().powerUpHours);
            } else {
                ++failed;
            }
            if (tick == 99) {
                heapStart = bench::heapInUseBytes();
                rssStart = bench::residentKiB();
            }
        }
        // Measured before the counters below take memory of their own.
        const double heapEnd = bench::heapInUseBytes();
        const double rssEnd = bench::residentKiB();
        state.counters["heap_start_bytes"] = heapStart;
        state.counters["heap_end_bytes"] = heapEnd;
        state.counters["rss_start_kib"] = rssStart;
        state.counters["rss_end_kib"] = rssEnd;
        state.counters["good_ticks"] = good;
        state.counters["failed_ticks"] = failed;
        state.counters["scheduled_failures"] = scheduledFailures;
        state.counters["stale_good_ticks"] = staleGoodTicks;
        state.counters["hours_counted"] = supply.state().powerUpHours - hoursAtStart;
        state.counters["simulated_hours"] =
            std::chrono::duration<double, std::ratio<3600>>(clock.now).count();
        if (failed != scheduledFailures || staleGoodTicks != 0) {
            state.SkipWithError("ticks did not go as scheduled");
        }
    }
}
BENCHMARK(day_soak)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
