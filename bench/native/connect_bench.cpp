// Wall time of the settings read-back and of a whole Connect Device against the virtual bridge
// and supply, with real waits, beside the waits the exchanges are made of. The difference is the
// program's own cost plus the transfers.

#include "bench/native/bench_support.h"
#include "device/clock.h"
#include "operations/connection.h"
#include "shell/window_face.h"
#include "virtual_supply/virtual_bridge.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>

namespace {

using namespace brenvik;
using bench::report;
using bench::Wall;

constexpr double kReadBackWaitsMs = 2300.0; // 1000 + 1000 + 3 x 100
constexpr double kConnectWaitsMs = 2700.0;  // the read-back's and two 200 ms pin waits

// The main window's operations on a virtual bridge, with real waits.
struct Window {
    explicit Window(device::AdapterLibrary& library) : state(library) {
        const auto working = std::filesystem::temp_directory_path() / "connect_bench_Brenvik.ini";
        state.files = {working, working};
        face.showPanel(model);
    }
    bench::LeanWindow window;
    SystemClock clock;
    ProgramState state;
    MainWindowModel model;
    WindowFace face{window};
    operations::Context ctx{face, clock, state, model};
};

void BM_ReadBack(benchmark::State& state) {
    vsupply::VirtualLink virtualLink;
    Window w(virtualLink.bridge);
    w.state.link.handle = virtualLink.link.handle;
    w.state.link.startCondition = virtualLink.link.startCondition;
    Wall::duration total{};
    for (auto _ : state) {
        const auto start = Wall::now();
        operations::readBackSettings(w.ctx);
        total += Wall::now() - start;
        if (!w.state.link.linkOk) {
            state.SkipWithError("read-back failed");
            break;
        }
    }
    report(state, total, kReadBackWaitsMs);
}

void BM_ConnectDevice(benchmark::State& state) {
    vsupply::VirtualBridge bridge;
    Window w(bridge);
    Wall::duration total{};
    for (auto _ : state) {
        const auto start = Wall::now();
        operations::connectDevice(w.ctx);
        total += Wall::now() - start;
        if (!w.state.link.linkOk) {
            state.SkipWithError("Connect Device failed");
            break;
        }
    }
    report(state, total, kConnectWaitsMs);
}

} // namespace

BENCHMARK(BM_ReadBack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ConnectDevice)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
