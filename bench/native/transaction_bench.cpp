// Cost of device transactions through the virtual bridge and supply, natively, printed beside
// the waits that a monitor tick (400 ms) and the read-back at connection (2,300 ms) make anyway.

#include "device/transaction.h"
#include "virtual_supply/virtual_bridge.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace {

using brenvik::device::transact;
using brenvik::vsupply::VirtualLink;

void opening(benchmark::State& state) {
    VirtualLink rig;
    for (auto _ : state) {
        benchmark::DoNotOptimize(transact(rig.link, 10, {}, 2, 1));
    }
}
BENCHMARK(opening);

void chunkRead(benchmark::State& state) {
    VirtualLink rig;
    for (auto _ : state) {
        transact(rig.link, 10, {}, 2, 1);
        for (int i = 0; i < 4; ++i) {
            benchmark::DoNotOptimize(transact(rig.link, 4, {}, 2, 12));
        }
    }
    state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(chunkRead)->Name("block fetch (5 transactions)");

// One block fetch's transactions, timed by hand for the comparison with the waits.
double fetchMicroseconds() {
    VirtualLink rig;
    constexpr int kFetches = 20000;
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFetches; ++f) {
        transact(rig.link, 10, {}, 2, 1);
        for (int i = 0; i < 4; ++i) {
            benchmark::DoNotOptimize(transact(rig.link, 4, {}, 2, 12));
        }
    }
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    return elapsed.count() / kFetches;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double fetch = fetchMicroseconds();
    std::printf("\none transaction (native, virtual bridge): %.3f us\n", fetch / 5);
    std::printf("monitor tick: 5 transactions = %.2f us beside 400 ms of waits, overhead %.6f%%\n",
                fetch, 100.0 * fetch / 400'000.0);
    std::printf("read-back: 5 transactions = %.2f us beside 2300 ms of waits, overhead %.6f%%\n",
                fetch, 100.0 * fetch / 2'300'000.0);
    return 0;
}
