// Wall time of the settings read-back and of a whole Connect Device against the virtual bridge
// and supply, with real waits, beside the waits the exchanges are made of. The difference is the
// program's own cost plus the transfers.

#include "bench/native/bench_support.h"
#include "config/configuration.h"
#include "device/connection.h"
#include "monitor/monitor_state.h"
#include "monitor/read_back.h"
#include "programming/device_settings.h"
#include "programming/panel.h"
#include "ui/clock.h"
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

void BM_ReadBack(benchmark::State& state) {
    vsupply::VirtualLink virtualLink;
    cli::HeadlessWindow window(bench::nowhere());
    SystemClock clock;
    MainWindowModel model;
    panelRedisplay(window, model);
    monitor::MonitorState monitorState;
    Wall::duration total{};
    for (auto _ : state) {
        const auto start = Wall::now();
        monitor::readBackSettings(window, clock, virtualLink.link, model, monitorState);
        total += Wall::now() - start;
        if (!virtualLink.link.linkOk) {
            state.SkipWithError("read-back failed");
            break;
        }
    }
    report(state, total, kReadBackWaitsMs);
}

void BM_ConnectDevice(benchmark::State& state) {
    vsupply::VirtualBridge bridge;
    device::DeviceLink link(bridge);
    cli::HeadlessWindow window(bench::nowhere());
    SystemClock clock;
    MainWindowModel model;
    panelRedisplay(window, model);
    monitor::MonitorState monitorState;
    const auto working = std::filesystem::temp_directory_path() / "connect_bench_Brenvik.ini";
    config::ConfigurationFiles files{working, working};
    device::ConnectionContext ctx{window, clock, link, model, monitorState, files};
    Wall::duration total{};
    for (auto _ : state) {
        const auto start = Wall::now();
        device::connectDevice(ctx);
        total += Wall::now() - start;
        if (!link.linkOk) {
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
