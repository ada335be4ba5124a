#include "serve/command.h"

#include "serve/board.h"
#include "serve/csv_log.h"
#include "serve/operations_source.h"
#include "serve/schedule.h"
#include "serve/web_face.h"

#include <CLI/CLI.hpp>
#include <csignal>
#include <memory>
#include <thread>

namespace brenvik::serve {
namespace {

using namespace std::chrono_literals;

struct ServeOptions {
    std::string listen = "127.0.0.1:9731";
    double interval = 1.0;
    std::vector<std::string> devices;
    bool all = false;
    std::string csv;
    double retentionHours = 24;
};

constexpr const char* kDescription =
    "Poll the supplies and serve their readings: a live page with plots at /, Prometheus metrics "
    "at /metrics, JSON at /api/status and /api/history?since=TIME. Readings are kept in memory "
    "for --retention hours, about 40 bytes each: 24 h at one poll a second is about 3.5 MB per "
    "supply. Ctrl+C or SIGTERM ends it (exit 0). Linux build only.";

int fail(cli::Console& console, cli::ExitCode code, const std::string& message) {
    console.err << "brenvik: " << message << '\n';
    return static_cast<int>(code);
}

bool named(const SupplyIdentity& supply, const std::string& name) {
    return name == supply.bridge || name == supply.location;
}

// Which of the listed supplies to serve: the first (as the other sub-commands take), every one
// with --all, or those --device names. Nothing when a name matches none.
std::optional<std::vector<std::size_t>> choose(const std::vector<SupplyIdentity>& found,
                                               const ServeOptions& options, std::string& unknown) {
    std::vector<std::size_t> chosen;
    if (options.all) {
        for (std::size_t i = 0; i < found.size(); ++i) {
            chosen.push_back(i);
        }
    } else if (options.devices.empty()) {
        chosen.push_back(0);
    }
    for (const std::string& name : options.devices) {
        const auto it = std::find_if(found.begin(), found.end(),
                                     [&](const SupplyIdentity& s) { return named(s, name); });
        if (it == found.end()) {
            unknown = name;
            return std::nullopt;
        }
        chosen.push_back(static_cast<std::size_t>(it - found.begin()));
    }
    return chosen;
}

int serve(const ServeOptions& options, const cli::CommonOptions& common, cli::Console& console) {
    const auto address = parseListenAddress(options.listen);
    if (!address) {
        return fail(console, cli::ExitCode::BadInput,
                    "--listen: expected ADDRESS:PORT, got '" + options.listen + "'");
    }
    auto opened = openSupplies(common, console);
    if (auto* failure = std::get_if<OpenFailure>(&opened)) {
        return fail(console, failure->code, failure->message);
    }
    auto& source = *std::get<std::unique_ptr<OperationsSupplySource>>(opened);
    const std::vector<SupplyIdentity> found = source.supplies();
    if (found.empty()) {
        return fail(console, cli::ExitCode::NoDevice,
                    "no device: no bridge with channel \"A\" found");
    }
    std::string unknown;
    const auto chosen = choose(found, options, unknown);
    if (!chosen) {
        std::string list;
        for (const SupplyIdentity& s : found) {
            list += (list.empty() ? "" : ", ") + s.bridge + " (" + s.location + ")";
        }
        return fail(console, cli::ExitCode::NoDevice,
                    "no device: no bridge named '" + unknown + "'; found " + list);
    }
    std::vector<SupplyIdentity> supplies;
    for (const std::size_t i : *chosen) {
        supplies.push_back(found[i]);
    }

    std::optional<CsvLog> csv;
    if (!options.csv.empty()) {
        std::error_code error;
        if (!std::filesystem::is_directory(options.csv, error)) {
            return fail(console, cli::ExitCode::BadInput, options.csv + ": not a folder");
        }
        csv.emplace(options.csv, supplies);
        if (const auto file = csv->unwritable()) {
            return fail(console, cli::ExitCode::BadInput, file->string() + ": cannot be written");
        }
    }

    Board board(supplies,
                std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::duration<double, std::ratio<3600>>(options.retentionHours)));
    WebFace face(board);
    if (const auto error = face.bind(*address)) {
        return fail(console, cli::ExitCode::BadInput, *error);
    }
    console.out << "Serving " << supplies.size() << (supplies.size() == 1 ? " supply" : " supplies")
                << " on http://"
                << (address->host.find(':') != std::string::npos ? "[" + address->host + "]"
                                                                 : address->host)
                << ":" << face.port() << "/ (Ctrl+C ends)" << std::endl;

    // A browser that goes away mid-answer must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    console.catchInterrupts(true);
    std::atomic<bool> stop{false};
    std::atomic<bool> served{false};
    const Interval interval =
        std::chrono::duration_cast<Interval>(std::chrono::duration<double>(options.interval));
    SteadyTimeline timeline;
    std::vector<std::thread> pollers;
    for (std::size_t n = 0; n < supplies.size(); ++n) {
        pollers.emplace_back([&, n] {
            bool csvFailing = false;
            pollUntilStopped(source, (*chosen)[n], timeline, interval, stop,
                             [&, n](const PollRecord& record) {
                                 board.record(n, record.timeMs, record.duration, record.outcome);
                                 if (!csv) {
                                     return;
                                 }
                                 PollRecord row = record;
                                 row.index = n;
                                 const bool written = csv->append(row);
                                 if (!written && !csvFailing) {
                                     console.err << "brenvik: " + csv->file(n).string() +
                                                        ": cannot be written; readings stay in "
                                                        "memory\n";
                                 }
                                 csvFailing = !written;
                             });
        });
    }
    std::thread watcher([&] {
        while (!console.interrupted && !served) {
            std::this_thread::sleep_for(50ms);
        }
        stop = true;
        face.stop();
    });
    face.run();
    served = true;
    stop = true;
    watcher.join();
    for (std::thread& poller : pollers) {
        poller.join();
    }
    console.catchInterrupts(false);
    console.out << "Stopped." << std::endl;
    return static_cast<int>(cli::ExitCode::Success);
}

} // namespace

cli::ExternalCommand serveCommand() {
    auto options = std::make_shared<ServeOptions>();
    return {
        [options](CLI::App& parser) {
            CLI::App* command = parser.add_subcommand("serve", kDescription);
            command
                ->add_option("--listen", options->listen,
                             "Address and port to answer on (default 127.0.0.1:9731; "
                             "0.0.0.0:PORT for every interface)")
                ->type_name("ADDRESS:PORT");
            command
                ->add_option("--interval", options->interval, "Seconds between polls (default 1)")
                ->check(CLI::PositiveNumber);
            CLI::Option* device = command->add_option(
                "--device", options->devices,
                "Serve the bridge with this name or location (repeatable; default: "
                "the first found)");
            device->type_name("NAME|LOCATION");
            command->add_flag("--all", options->all, "Serve every bridge found")->excludes(device);
            command
                ->add_option("--csv", options->csv,
                             "Append one row per poll to DIR/brenvik-LOCATION.csv")
                ->type_name("DIR");
            command
                ->add_option("--retention", options->retentionHours,
                             "Hours of readings kept in memory (default 24)")
                ->check(CLI::PositiveNumber)
                ->type_name("HOURS");
            return command;
        },
        [options](const cli::CommonOptions& common, cli::Console& console) {
            return serve(*options, common, console);
        },
    };
}

} // namespace brenvik::serve
