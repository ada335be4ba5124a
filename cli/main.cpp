// brenvik: the command line beside the window, for scripts and production benches.

#include "cli/commands.h"
#include "cli/installed_library.h"
#ifdef BRENVIK_SERVE
#include "serve/command.h"
#endif

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace {

using namespace brenvik;

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted = true;
}

// Wall time that never steps backwards during a run: the system time at start plus the
// monotonic time since. Waits are cut into short slices so Ctrl+C ends them promptly.
class SteadyPollTimer final : public cli::PollTimer {
public:
    cli::WallTime now() override {
        return startWall_ + std::chrono::duration_cast<cli::WallTime::duration>(
                                std::chrono::steady_clock::now() - startSteady_);
    }
    void waitUntil(cli::WallTime deadline, const std::atomic<bool>& stop) override {
        constexpr auto kSlice = std::chrono::milliseconds(50);
        for (auto left = deadline - now(); left.count() > 0 && !stop; left = deadline - now()) {
            std::this_thread::sleep_for(std::min<cli::WallTime::duration>(left, kSlice));
        }
    }

private:
    cli::WallTime startWall_ = std::chrono::system_clock::now();
    std::chrono::steady_clock::time_point startSteady_ = std::chrono::steady_clock::now();
};

// The virtual supply keeps its state and writes its trace where the stand-in library does.
vsupply::HostOptions virtualSupplyFiles(const char* program) {
    vsupply::HostOptions options;
    const char* state = std::getenv("BRENVIK_VSUPPLY_STATE");
    if (state == nullptr || *state == '\0') {
        options.stateFile =
            std::filesystem::absolute(program).parent_path() / "virtual-supply-state.txt";
    } else if (std::string_view(state) != "none") {
        options.stateFile = state;
    }
    if (const char* trace = std::getenv("BRENVIK_VSUPPLY_TRACE"); trace && *trace != '\0') {
        options.traceFile = trace;
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    cli::prepareConsole();
    SystemClock clock;
    SteadyPollTimer timer;
    cli::Console console{std::cout,
                         std::cerr,
                         std::cin,
                         clock,
                         timer,
                         interrupted,
                         [](bool caught) {
                             std::signal(SIGINT, caught ? onInterrupt : SIG_DFL);
                             std::signal(SIGTERM, caught ? onInterrupt : SIG_DFL);
                         },
                         cli::installedLibrary,
                         virtualSupplyFiles(argv[0])};
    std::vector<cli::ExternalCommand> external;
#ifdef BRENVIK_SERVE
    external.push_back(serve::serveCommand());
#endif
    return cli::runCommandLine(std::vector<std::string>(argv + 1, argv + argc), console, external);
}
