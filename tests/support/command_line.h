#pragma once
// The command line run in-process: its console on made-up time, `brenvik serve` among its
// commands, the platform's libraries as a test sets them, and a folder of files.

#include "cli/commands.h"
#include "serve/command.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_folder.h"

#include <atomic>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace brenvik::testing {

struct Result {
    int code;
    std::string out, err;
};

struct CommandLine {
    std::string path(const std::string& name) const { return (folder / name).string(); }
    // A supply whose readings and hours stand still; `extra` adds scenario lines.
    std::string scenario(const std::string& extra = "") const {
        return folder.write("scenario.txt", "hour_length_ms = 0\njitter = 0\n" + extra);
    }

    cli::Console console(std::ostream& out, std::ostream& err) {
        const auto caught = [this](bool on) { catches.push_back(on); };
        cli::Console made{out,         err,    in,        clock, time,
                          interrupted, caught, installed, host,  hardwareBus};
        made.unitClock = [] { return std::make_unique<FakeClock>(); };
        return made;
    }
    // Runs the words of `line` with `input` as what the operator types; the word S stands for
    // the scenario file, and F/ for the folder.
    Result run(const std::string& line, const std::string& input = "") {
        std::istringstream words(line);
        std::vector<std::string> args;
        for (std::string word; words >> word;) {
            args.push_back(word == "S"              ? path("scenario.txt")
                           : word.starts_with("F/") ? path(word.substr(2))
                                                    : word);
        }
        in.str(input);
        in.clear();
        std::ostringstream out, err;
        cli::Console made = console(out, err);
        const int code = cli::runCommandLine(args, made, {serve::serveCommand()});
        return {code, out.str(), err.str()};
    }

    FakeClock clock;
    FakeTimer time{clock};
    std::istringstream in;
    std::atomic<bool> interrupted{false};
    std::vector<bool> catches; // when Ctrl+C was caught (true) and let go again
    // The platform's adapter library: none at all unless a test says otherwise.
    std::function<cli::InstalledLibrary()> installed = [] { return cli::InstalledLibrary(); };
    vsupply::HostOptions host; // no state file: every run starts from the scenario
    std::function<std::unique_ptr<engine::BridgeBus>(cli::Backend)> hardwareBus;
    TempFolder folder{"brenvik-command-line"};
};

} // namespace brenvik::testing
