// APPLY with all six options against the virtual bridge and supply with real waits, beside the
// 4,000 ms of waits its exchanges are made of (the confirmation answered at once); and the cost
// per call of building the change summary and the frames it sends.

#include "device/clock.h"
#include "device/commands.h"
#include "operations/apply.h"
#include "programming/change_summary.h"
#include "res/resource.h"
#include "shell/window_face.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/virtual_bridge.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>

namespace {

using namespace brenvik;
using Wall = std::chrono::steady_clock;

constexpr double kApplyWaitsMs = 4000.0; // a second before each of the confirms 2, 6, 12, 14

// Every option on: AC delay 1 h 2 min 3 s, charge selection 1, installed 07/18/2011.
DeviceSettings allSixOptions() {
    return {.acFaultHours = 1,
            .acFaultMinutes = 2,
            .acFaultSeconds = 3,
            .chargeSelection = 1,
            .installMonth = 7,
            .installDay = 18,
            .installYear = 2011,
            .optChargeSelector = 1,
            .optAcFaultDelay = 1,
            .optSysFaultDelay = 1,
            .optResetBatteryTimer = 1,
            .optResetFaultCounts = 1,
            .optInstallDate = 1};
}

void BM_ApplyAllSixOptions(benchmark::State& state) {
    vsupply::VirtualLink virtualLink;
    testing::FakeWindow window;
    window.setComboItems(IDC_CMB_CHARGE_CURRENT, {"a", "b", "c", "d"});
    WindowFace face{window};
    SystemClock clock;
    MainWindowModel model;
    model.settings = allSixOptions();
    face.showPanel(model);
    ProgramState program{virtualLink.bridge};
    program.link.handle = virtualLink.link.handle;
    program.link.startCondition = virtualLink.link.startCondition;
    const auto working = std::filesystem::temp_directory_path() / "apply_bench_Brenvik.ini";
    program.files = {working, working};
    operations::Context ctx{face, clock, program, model};
    Wall::duration total{};
    for (auto _ : state) {
        window.confirmationAnswers = {true};
        window.messages.clear();
        const auto start = Wall::now();
        operations::runApplySequence(ctx);
        total += Wall::now() - start;
        if (window.messageTexts() != std::vector<std::string>{"Write EEPROM success."}) {
            state.SkipWithError("APPLY did not succeed");
            break;
        }
    }
    const double wallMs = std::chrono::duration<double, std::milli>(total).count() /
                          static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wallMs;
    state.counters["mandated_ms"] = kApplyWaitsMs;
    state.counters["overhead_ms"] = wallMs - kApplyWaitsMs;
    state.counters["overhead_pct"] = 100.0 * (wallMs - kApplyWaitsMs) / kApplyWaitsMs;
}

void BM_ChangeSummary(benchmark::State& state) {
    const DeviceSettings settings = allSixOptions();
    for (auto _ : state) {
        benchmark::DoNotOptimize(buildChangeSummary(settings, "TRQ 60-40-20"));
    }
}

// The eight frames of APPLY with every option on.
void BM_WriteFrames(benchmark::State& state) {
    const DeviceSettings settings = allSixOptions();
    const monitor::LastReadSettings lastRead{};
    for (auto _ : state) {
        const auto payload = settingsPayload(settings, lastRead);
        const auto date =
            device::dateBytes(settings.installMonth, settings.installDay, settings.installYear);
        benchmark::DoNotOptimize(device::settingsWrite(payload));
        benchmark::DoNotOptimize(device::batteryTimerReset());
        benchmark::DoNotOptimize(device::faultCountReset());
        benchmark::DoNotOptimize(device::installDateSet(date));
    }
}

} // namespace

BENCHMARK(BM_ApplyAllSixOptions)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ChangeSummary);
BENCHMARK(BM_WriteFrames);

BENCHMARK_MAIN();
