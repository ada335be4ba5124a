// Wall time of `brenvik apply --all` on 1, 2, 4 and 8 bridges played by the command decoder in
// front of virtual supplies, through the serial engine, with the protocol's real waits. Each
// bridge runs in a thread of its own and nearly all of a unit's time is waiting, so eight units
// should take little longer than one.

#include "cli/commands.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace brenvik;

class RealTimer final : public cli::PollTimer {
public:
    cli::WallTime now() override { return std::chrono::system_clock::now(); }
    void waitUntil(cli::WallTime deadline, const std::atomic<bool>&) override {
        std::this_thread::sleep_until(deadline);
    }
};

double applyAll(const fs::path& folder, int bridges) {
    std::ofstream scenario(folder / "bench.txt");
    scenario << "hour_length_ms = 0\n";
    for (int i = 0; i < bridges; ++i) {
        scenario << "device = Bench Bridge A | " << 0x100 + i << " | 1\n";
    }
    scenario.close();
    std::ofstream(folder / "unit.ini")
        << "[SystemParameter]\nAcFltDelayHr=1\nICharge=2\nInstallMM=7\nInstallDD=18\n"
           "InstallYYYY=2011\nbChargeCurrent=1\nbAcFltDelay=1\nbSysFltDelay=1\n"
           "bResetBatCon=1\nbResetFaultCounts=1\nbInstallDate=1\n";
    std::ostringstream out;
    std::istringstream in;
    SystemClock clock;
    RealTimer timer;
    const std::atomic<bool> interrupted{false};
    cli::Console console{out,
                         out,
                         in,
                         clock,
                         timer,
                         interrupted,
                         [](bool) {},
                         [] { return cli::InstalledLibrary{}; },
                         {std::nullopt, std::nullopt, std::nullopt},
                         {},
                         [] { return std::make_unique<SystemClock>(); }};
    const auto start = std::chrono::steady_clock::now();
    const int code = cli::runCommandLine({"--virtual", (folder / "bench.txt").string(), "--backend",
                                          "virtual-bridge", "apply", "--all", "--yes", "--config",
                                          (folder / "unit.ini").string()},
                                         console);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (code != 0) {
        std::fprintf(stderr, "apply --all on %d bridges failed with %d:\n%s", bridges, code,
                     out.str().c_str());
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main() {
    const fs::path folder = fs::temp_directory_path() /
                            ("brenvik-apply-all-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    std::printf("apply --all, all six options, virtual-bridge road, real waits\n");
    std::printf("bridges  wall time (s)  against one bridge\n");
    double one = 0;
    for (const int bridges : {1, 2, 4, 8}) {
        const double seconds = applyAll(folder, bridges);
        one = bridges == 1 ? seconds : one;
        std::printf("%7d  %13.3f  %17.3fx\n", bridges, seconds, seconds / one);
    }
    fs::remove_all(folder);
    return 0;
}
