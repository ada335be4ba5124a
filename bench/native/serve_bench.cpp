// Figures of `brenvik serve`:
//  - poll timing: 8 virtual supplies polled on one-second slots in real time (the protocol's
//    400 ms of waits each), each poll's distance from its slot and the slots skipped;
//  - answers for 8 supplies x 24 h of retained readings (one a second, synthesised): /metrics,
//    /api/status and /api/history (all of it, and the last hour) through the HTTP server, and
//    the process's memory before and after the readings are held.
// Usage: serve_bench [POLL-SECONDS]   (default 60)

#include "bench/native/bench_support.h"
#include "serve/board.h"
#include "serve/operations_source.h"
#include "serve/schedule.h"
#include "serve/web_face.h"
#include "virtual_supply/scenario.h"
#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <httplib.h>
#include <mutex>
#include <thread>

namespace {

using namespace brenvik;
using namespace std::chrono;
constexpr std::size_t kSupplies = 8;

void pollTiming(int seconds) {
    std::vector<std::unique_ptr<device::AdapterLibrary>> libraries;
    for (std::size_t i = 0; i < kSupplies; ++i) {
        auto bridge = std::make_unique<vsupply::VirtualBridge>(std::vector<vsupply::DeviceEntry>{
            {"Bench Bridge " + std::to_string(i) + " A", static_cast<std::uint32_t>(0x200 + i)}});
        bridge->supply().state() = vsupply::Scenario::plausibleSupply();
        libraries.push_back(std::move(bridge));
    }
    SystemClock clock;
    serve::OperationsSupplySource source(std::move(libraries), clock);
    source.supplies();
    for (std::size_t i = 0; i < kSupplies; ++i) {
        source.poll(i); // connects, outside the timed run
    }
    serve::SteadyTimeline timeline;
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::vector<double> lateMs;
    std::vector<std::int64_t> last(kSupplies, 0);
    std::size_t skipped = 0;
    std::size_t failed = 0;
    std::vector<std::thread> pollers;
    for (std::size_t i = 0; i < kSupplies; ++i) {
        pollers.emplace_back([&, i] {
            serve::pollUntilStopped(
                source, i, timeline, 1000ms, stop, [&](const serve::PollRecord& record) {
                    const std::lock_guard hold(lock);
                    lateMs.push_back(static_cast<double>(record.timeMs % 1000));
                    if (last[i] != 0) {
                        skipped +=
                            static_cast<std::size_t>((record.timeMs - last[i] + 500) / 1000 - 1);
                    }
                    last[i] = record.timeMs;
                    failed += record.outcome.reading ? 0 : 1;
                });
        });
    }
    std::this_thread::sleep_for(seconds * 1s);
    stop = true;
    for (auto& poller : pollers) {
        poller.join();
    }
    std::sort(lateMs.begin(), lateMs.end());
    const auto beyond =
        std::count_if(lateMs.begin(), lateMs.end(), [](double ms) { return ms > 20; });
    double sum = 0;
    for (double ms : lateMs) {
        sum += ms;
    }
    std::printf("poll timing, %zu supplies, %d s: %zu polls (%zu failed), start after its slot: "
                "mean %.2f ms, 99th percentile %.0f ms, max %.0f ms; %lld polls beyond 20 ms; "
                "%zu slots skipped\n",
                kSupplies, seconds, lateMs.size(), failed, sum / static_cast<double>(lateMs.size()),
                lateMs[lateMs.size() * 99 / 100], lateMs.back(), static_cast<long long>(beyond),
                skipped);
}

serve::Reading reading(int second) {
    serve::Reading r;
    r.partNumber = "TRQ 60-40-20";
    r.firmware = "2.3";
    r.outputVolts = 27.5 + (second % 7) * 0.03;
    r.batteryVolts = 27.2 - (second % 5) * 0.03;
    r.chargeAmps = 1.0 + (second % 3) * 0.01;
    r.powerUpHours = 12345 + second / 3600;
    r.batteryInstalledHours = 8760 + second / 3600;
    r.acFaultCount = 3;
    r.systemFaultCount = 1;
    return r;
}

double timedGetMs(httplib::Client& client, const std::string& path, std::size_t& bytes) {
    constexpr int kRuns = 5;
    const auto start = steady_clock::now();
    for (int run = 0; run < kRuns; ++run) {
        const auto answer = client.Get(path);
        if (!answer || answer->status != 200) {
            std::fprintf(stderr, "%s failed\n", path.c_str());
            std::exit(1);
        }
        bytes = answer->body.size();
    }
    return duration<double, std::milli>(steady_clock::now() - start).count() / kRuns;
}

void answers() {
    const double rssBefore = bench::residentKiB();
    const double heapBefore = bench::heapInUseBytes();
    std::vector<serve::SupplyIdentity> supplies;
    for (std::size_t i = 0; i < kSupplies; ++i) {
        char location[16];
        std::snprintf(location, sizeof location, "0x%zX", 0x200 + i);
        supplies.push_back({"Bench Bridge " + std::to_string(i), location});
    }
    serve::Board board(supplies, 24h);
    constexpr std::int64_t kStart = 1796630400000; // 2026-12-07T08:00:00Z
    constexpr int kDay = 86400;
    for (int second = 0; second < kDay; ++second) {
        for (std::size_t i = 0; i < kSupplies; ++i) {
            const std::int64_t time = kStart + second * 1000LL;
            // A minute unplugged every hour.
            if (second % 3600 < 60) {
                board.record(i, time, 1400ms,
                             {std::nullopt, "Fail, Communicate error,please try again. "});
            } else {
                board.record(i, time, 401ms, {reading(second), {}});
            }
        }
    }
    const double rssAfter = bench::residentKiB();
    const double heapAfter = bench::heapInUseBytes();
    std::size_t held = 0;
    for (const serve::HistorySlice& slice : board.history(0)) {
        held += slice.samples.size();
    }
    std::printf("memory for %zu readings (%zu supplies x 24 h at 1 s): resident %.1f MiB more "
                "(%.1f MiB in all), heap %.1f MiB more, %.1f bytes a reading\n",
                held, kSupplies, (rssAfter - rssBefore) / 1024, rssAfter / 1024,
                (heapAfter - heapBefore) / 1048576,
                (heapAfter - heapBefore) / static_cast<double>(held));

    serve::WebFace face(board);
    if (face.bind({"127.0.0.1", 0})) {
        std::fprintf(stderr, "no port\n");
        std::exit(1);
    }
    std::thread server([&] { face.run(); });
    httplib::Client client("127.0.0.1", face.port());
    client.set_read_timeout(60, 0);
    const std::string lastHour =
        "/api/history?since=" + std::to_string((kStart + (kDay - 3600) * 1000LL) / 1000);
    for (const std::string& path : {std::string("/metrics"), std::string("/api/status"), lastHour,
                                    std::string("/api/history")}) {
        std::size_t bytes = 0;
        const double ms = timedGetMs(client, path, bytes);
        std::printf("%-36s %8.2f ms, %9.1f KiB (mean of 5)\n", path.c_str(), ms,
                    static_cast<double>(bytes) / 1024);
    }
    std::printf("resident after the answers: %.1f MiB\n", bench::residentKiB() / 1024);
    face.stop();
    server.join();
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    answers();
    pollTiming(seconds);
    return 0;
}
