// brenvik: the command line beside the window, for scripts and production benches.

#include "cli/commands.h"
#include "cli/installed_library.h"
#include "virtual_supply/host_options.h"

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

// The virtual supply finds its scenario and keeps its state and trace as the stand-in library
// does, with this program's folder in place of the library's.
vsupply::HostOptions virtualSupplyFiles(const char* program) {
    const auto environment = [](std::string_view name) -> std::optional<std::filesystem::path> {
        const char* value = std::getenv(std::string(name).c_str());
        if (value == nullptr || *value == '\0') {
            return std::nullopt;
        }
        return std::filesystem::path(value);
    };
    return vsupply::hostOptionsFrom(environment, std::filesystem::absolute(program).parent_path());
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
                         virtualSupplyFiles(argv[0]),
                         cli::hardwareBus,
                         [] { return std::make_unique<SystemClock>(); }};
    return cli::runCommandLine(std::vector<std::string>(argv + 1, argv + argc), console,
                               cli::externalCommands());
}
