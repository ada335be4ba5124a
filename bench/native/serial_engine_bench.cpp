// Cost of one device transaction through the serial engine and the bridge decoder (every byte the
// adapter library would put on the USB, encoded and decoded again) against the same transaction
// through the virtual bridge, which hands the frame to the supply directly. The 5 ms pause the
// library makes before each transfer on a two-channel bridge is left out of both: it is a wait,
// not work.

#include "serial_engine/bridge_decoder.h"
#include "serial_engine/serial_engine.h"
#include "virtual_supply/virtual_bridge.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace {

using brenvik::device::AdapterLibrary;
using brenvik::device::FtcHandle;

class NoWait final : public brenvik::Clock {
public:
    void sleep(std::chrono::milliseconds) override {}
};

// A bridge channel opened and initialised as the connection leaves it.
FtcHandle open(AdapterLibrary& library) {
    char name[101] = {};
    char channel[5] = {};
    std::uint32_t location = 0;
    std::uint32_t type = 0;
    FtcHandle handle = 0;
    library.getHiSpeedDeviceNameLocIdChannel(0, name, 100, &location, channel, 5, &type);
    library.openHiSpeedDevice(name, location, channel, &handle);
    library.initDevice(handle, 299);
    library.turnOffDivideByFiveClock(handle);
    return handle;
}

void transaction(AdapterLibrary& library, FtcHandle handle, std::uint8_t code,
                 std::uint32_t replyBytes) {
    const brenvik::device::StartCondition start{0, 0, 1, 0};
    brenvik::device::HighPinRecord record{};
    const std::uint8_t frame[2] = {code, 0x55};
    std::uint8_t reply[12] = {};
    std::uint32_t delivered = 0;
    if (library.writeRead(handle, &start, 1, 0, 16, frame, 2, 1, 0, replyBytes * 8, reply,
                          &delivered, &record) != 0) {
        std::fprintf(stderr, "transaction failed\n");
        std::exit(1);
    }
    benchmark::DoNotOptimize(reply);
}

// Engine, decoder and supply as the virtual-bridge road puts them together.
struct EngineRig {
    brenvik::vsupply::VirtualSupply supply;
    brenvik::engine::DecoderBus bus;
    brenvik::engine::BridgeDecoder& decoder = bus.add(brenvik::engine::decoderChannel(), &supply);
    NoWait clock;
    brenvik::engine::SerialEngine engine{bus, clock};
    FtcHandle handle = open(engine);
};

struct BridgeRig {
    brenvik::vsupply::VirtualBridge bridge;
    FtcHandle handle = open(bridge);
    BridgeRig() { bridge.keepCallLog(false); }
};

template <typename Rig>
AdapterLibrary& library(Rig& rig) {
    if constexpr (std::is_same_v<Rig, EngineRig>) {
        return rig.engine;
    } else {
        return rig.bridge;
    }
}

// A monitor tick's block fetch: the opening command and four chunk reads.
template <typename Rig>
void blockFetch(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        transaction(library(rig), rig.handle, 10, 1);
        for (int i = 0; i < 4; ++i) {
            transaction(library(rig), rig.handle, 4, 12);
        }
    }
    state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(blockFetch<EngineRig>)->Name("block fetch, serial engine + decoder");
BENCHMARK(blockFetch<BridgeRig>)->Name("block fetch, virtual bridge");

template <typename Rig>
double microsecondsPerTransaction() {
    Rig rig;
    constexpr int kFetches = 20000;
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < kFetches; ++f) {
        transaction(library(rig), rig.handle, 10, 1);
        for (int i = 0; i < 4; ++i) {
            transaction(library(rig), rig.handle, 4, 12);
        }
    }
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    return elapsed.count() / (kFetches * 5);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double engine = microsecondsPerTransaction<EngineRig>();
    const double bridge = microsecondsPerTransaction<BridgeRig>();
    std::printf("\none transaction, serial engine + decoder: %.3f us\n", engine);
    std::printf("one transaction, virtual bridge:          %.3f us\n", bridge);
    std::printf("ratio: %.2fx; beside the library's 5 ms pause per transfer: %.4f%% of it\n",
                engine / bridge, 100.0 * engine / 5000.0);
    return 0;
}
