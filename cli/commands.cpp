#include "cli/commands.h"

#include "cli/config_input.h"
#include "cli/records.h"
#include "cli/verification.h"
#include "config/configuration.h"
#include "device/forwarding_library.h"
#include "programming/change_summary.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace brenvik::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExitCodes = R"(Exit codes:
  0  success
  1  no device: no bridge channel found, or no adapter library
  2  communication with the supply failed
  3  verification: the supply holds other values than were written
  4  bad input: a file that cannot be read or written, a value out of range, not an integer
  5  cancelled by the operator)";

struct Options {
    std::vector<std::string> virtualScenario;
    bool useVirtual = false;
    std::string trace;
    bool json = false;
    double interval = 1.0;
    unsigned count = 0;
    std::string csv;
    std::string config;
    bool yes = false;
    bool noVerify = false;
    std::string report;
};

// A file that a row or the whole file can be written to without touching anything first: an
// existing file that opens for appending, or a new one in an existing folder.
bool canWrite(const fs::path& file) {
    std::error_code error;
    if (fs::exists(file, error)) {
        return !fs::is_directory(file, error) &&
               std::ofstream(file, std::ios::app | std::ios::binary).is_open();
    }
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    return fs::is_directory(folder, error);
}

// Keeps the status of the last open call: only that tells a bridge another program holds.
class OpenWatch final : public device::ForwardingLibrary {
public:
    using ForwardingLibrary::ForwardingLibrary;
    bool inUse() const { return lastOpen_ == device::kStatusDeviceInUse; }

private:
    device::FtcStatus through(std::uint32_t ordinal,
                              const std::function<device::FtcStatus()>& call) override {
        const device::FtcStatus status = call();
        if (ordinal == device::ordinal::kOpen) {
            lastOpen_ = status;
        }
        return status;
    }

    device::FtcStatus lastOpen_ = device::kStatusSuccess;
};

// Which library is missing, where it was looked for and what to install.
std::string libraryNotFoundText(const LibraryNotFound& missing) {
    std::string places;
    for (std::size_t i = 0; i < missing.searched.size(); ++i) {
        places += (i == 0                             ? " in "
                   : i + 1 == missing.searched.size() ? " or "
                                                      : ", ") +
                  missing.searched[i];
    }
    return "no adapter library: " + missing.library + " was not found" + places +
           "; install the USB bridge vendor's 32-bit " + missing.library +
           " (beside brenvik.exe will do), or use --virtual";
}

// Edits (insertions, deletions, substitutions, swaps of neighbours) that turn `from` into `to`.
std::size_t editDistance(std::string_view from, std::string_view to) {
    std::vector<std::vector<std::size_t>> d(from.size() + 1,
                                            std::vector<std::size_t>(to.size() + 1));
    for (std::size_t i = 0; i <= from.size(); ++i) {
        for (std::size_t j = 0; j <= to.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (from[i - 1] == to[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && from[i - 1] == to[j - 2] && from[i - 2] == to[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[from.size()][to.size()];
}

// The word given where a sub-command belongs, when the command line has no sub-command: a word
// after the scenario that --virtual took along with it, the first word that is not an option, or
// the only word --virtual took when it names no file. Empty when there is none.
std::string misplacedWord(const CLI::App& app) {
    const std::vector<std::string>& scenario = app.get_option("--virtual")->results();
    if (scenario.size() > 1) {
        return scenario[1];
    }
    for (const std::string& word : app.remaining()) {
        if (!word.starts_with('-')) {
            return word;
        }
    }
    std::error_code error;
    if (scenario.size() == 1 && !scenario.front().empty() && !fs::exists(scenario.front(), error)) {
        return scenario.front();
    }
    return {};
}

// Names the unknown sub-command and suggests the nearest one, or lists them all when none is
// near.
std::string unknownSubcommandText(const std::string& word, const std::vector<std::string>& names) {
    std::string nearest;
    std::size_t best = 3; // more edits than this is another word, not a typing slip
    std::string all;
    for (const std::string& name : names) {
        all += (all.empty() ? "" : ", ") + name;
        if (const std::size_t distance = editDistance(word, name); distance < best) {
            best = distance;
            nearest = name;
        }
    }
    return "unknown sub-command '" + word + "'; " +
           (nearest.empty() ? "the sub-commands are " + all : "did you mean '" + nearest + "'?");
}

class Runner {
public:
    Runner(Console& console, const Options& options) : console_(console), options_(options) {}

    int status();
    int monitor();
    int read();
    int apply();

private:
    int pollUntilDone();
    // The change summary in the confirmation dialog's words, then the operator's answer.
    bool confirm(const ConfirmationTexts& texts);
    // Ends an apply: the report row (when asked for), then the exit code and its line.
    int finishApply(ReportRow& row, ExitCode code, const std::string& verify);

    int fail(ExitCode code, const std::string& message) {
        console_.err << "brenvik: " << message << '\n';
        return static_cast<int>(code);
    }
    // One line naming what cannot be written.
    int unwritable(const std::string& file) {
        return fail(ExitCode::BadInput, file + ": cannot be written");
    }
    // The checks every sub-command makes before anything is sent.
    std::optional<int> checkCommonInput();
    // Opens the adapter library and connects as the window does; the exit code when that failed.
    std::optional<int> connect();
    int communicationFailed() {
        return fail(ExitCode::CommunicationFailed,
                    "communication failed: " + session_->lastStatus());
    }

    Console& console_;
    const Options& options_;
    std::unique_ptr<device::AdapterLibrary> library_;
    std::optional<OpenWatch> watch_;
    std::optional<TraceWriter> trace_;
    std::unique_ptr<Session> session_;
};

std::optional<int> Runner::checkCommonInput() {
    if (!options_.trace.empty() && !canWrite(options_.trace)) {
        return unwritable(options_.trace);
    }
    if (!options_.virtualScenario.empty() && !vsupply::readFile(options_.virtualScenario.front())) {
        return fail(ExitCode::BadInput, options_.virtualScenario.front() + ": cannot be read");
    }
    return std::nullopt;
}

std::optional<int> Runner::connect() {
    if (options_.useVirtual) {
        vsupply::HostOptions host = console_.virtualSupply;
        if (!options_.virtualScenario.empty()) {
            host.scenarioFile = options_.virtualScenario.front();
        }
        const auto start = std::chrono::steady_clock::now();
        library_ = std::make_unique<vsupply::HostedBridge>(host, [start] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
        });
    } else {
        InstalledLibrary installed = console_.installedLibrary();
        if (const auto* missing = std::get_if<LibraryNotFound>(&installed)) {
            return fail(ExitCode::NoDevice, libraryNotFoundText(*missing));
        }
        library_ = std::move(std::get<std::unique_ptr<device::AdapterLibrary>>(installed));
    }
    if (!library_) {
        return fail(ExitCode::NoDevice, "no adapter library on this system; use --virtual");
    }
    if (const std::string refusal = library_->refusal(); !refusal.empty()) {
        return fail(ExitCode::NoDevice, refusal);
    }
    watch_.emplace(*library_);
    session_ = std::make_unique<Session>(*watch_, console_.clock);
    if (!options_.trace.empty()) {
        trace_.emplace(std::ofstream(options_.trace, std::ios::app | std::ios::binary),
                       [this] { return console_.timer.now(); });
        session_->link().observer = &*trace_;
    }
    switch (session_->connect()) {
    case ExitCode::Success:
        return std::nullopt;
    case ExitCode::NoDevice:
        return fail(ExitCode::NoDevice,
                    watch_->inUse() ? "no device: the bridge is in use by another program"
                                    : "no device: no bridge with channel \"A\" could be opened");
    default:
        return fail(ExitCode::CommunicationFailed,
                    "communication failed: the supply did not answer the read-back");
    }
}

int Runner::status() {
    if (auto code = checkCommonInput()) {
        return *code;
    }
    if (auto code = connect()) {
        return *code;
    }
    if (!session_->poll()) {
        return communicationFailed();
    }
    const ChargeItems& items = session_->chargeItems();
    console_.out << (options_.json ? statusJson(session_->record(), items)
                                   : statusText(session_->record(), items));
    return static_cast<int>(ExitCode::Success);
}

int Runner::monitor() {
    if (auto code = checkCommonInput()) {
        return *code;
    }
    if (!options_.csv.empty() && !canWrite(options_.csv)) {
        return unwritable(options_.csv);
    }
    if (auto code = connect()) {
        return *code;
    }
    console_.catchInterrupts(true);
    const int code = pollUntilDone();
    console_.catchInterrupts(false);
    return code;
}

// Polls keep to slots counted from the first, whatever each poll took; a slot already past when
// a poll ends is skipped rather than polled late. Ctrl+C ends the loop between polls.
int Runner::pollUntilDone() {
    const auto interval = std::chrono::duration_cast<WallTime::duration>(
        std::chrono::duration<double>(options_.interval));
    const WallTime first = console_.timer.now();
    std::int64_t slot = 0;
    for (unsigned polls = 0; options_.count == 0 || polls < options_.count; ++polls) {
        console_.timer.waitUntil(first + slot * interval, console_.interrupted);
        if (console_.interrupted) {
            break;
        }
        const std::string time = isoTime(console_.timer.now());
        const bool good = session_->poll().has_value();
        const monitor::DisplayTexts* texts = good ? &session_->record().texts : nullptr;
        const std::string failure = session_->lastStatus();
        console_.out << pollLine(time, texts, failure) << std::flush;
        if (!options_.csv.empty() &&
            !appendRow(options_.csv, kPollCsvHeader, pollCsvRow(time, texts, failure))) {
            return unwritable(options_.csv);
        }
        const auto elapsed = console_.timer.now() - first;
        slot = std::max(slot + 1, static_cast<std::int64_t>(elapsed / interval) + 1);
    }
    return static_cast<int>(ExitCode::Success);
}

int Runner::read() {
    if (auto code = checkCommonInput()) {
        return *code;
    }
    if (!canWrite(options_.config)) {
        return unwritable(options_.config);
    }
    if (auto code = connect()) {
        return *code;
    }
    // The three setting boxes are ticked so that the file, applied to another supply, copies
    // these settings; the installation date and the resets belong to each unit and stay off.
    DeviceSettings settings = session_->record().settings;
    settings.optChargeSelector = settings.optAcFaultDelay = settings.optSysFaultDelay = 1;
    if (!config::writeConfigurationValues(options_.config, settings)) {
        return unwritable(options_.config);
    }
    console_.out << "Settings of " << session_->record().texts.partNumber << " written to "
                 << options_.config << "\n";
    return static_cast<int>(ExitCode::Success);
}

bool Runner::confirm(const ConfirmationTexts& texts) {
    console_.out << "Battery Charge Selector: " << texts.chargeSelection << "\n"
                 << "AC Fault reporting delay time in: " << texts.acFaultDelay << "\n"
                 << "System Fault reporting delay time in: " << texts.sysFaultDelay << "\n";
    for (const std::string* line : {&texts.actionLine1, &texts.actionLine2, &texts.actionLine3}) {
        if (!line->empty()) {
            console_.out << *line << "\n";
        }
    }
    if (options_.yes) {
        return true;
    }
    console_.out << "Proceed? [y/N] " << std::flush;
    std::string answer;
    std::getline(console_.in, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
}

int Runner::finishApply(ReportRow& row, ExitCode code, const std::string& verify) {
    row.verify = verify;
    if (!options_.report.empty() &&
        !appendRow(options_.report, kReportCsvHeader, reportCsvRow(row))) {
        return unwritable(options_.report);
    }
    if (code == ExitCode::Success) {
        console_.out << "Applied to " << row.partNumber << ": " << row.actions << "; " << verify
                     << "\n";
        return static_cast<int>(code);
    }
    return fail(code, verify);
}

int Runner::apply() {
    if (auto code = checkCommonInput()) {
        return *code;
    }
    const auto input = readCheckedConfiguration(options_.config);
    if (const auto* refusal = std::get_if<std::string>(&input)) {
        return fail(ExitCode::BadInput, *refusal);
    }
    const DeviceSettings& requested = std::get<DeviceSettings>(input);
    if (!options_.report.empty() && !canWrite(options_.report)) {
        return unwritable(options_.report);
    }
    if (auto code = connect()) {
        return *code;
    }
    ReportRow row;
    row.time = isoTime(console_.timer.now());
    const auto before = session_->poll();
    if (!before) {
        return finishApply(row, ExitCode::CommunicationFailed,
                           "communication failed before writing: " + session_->lastStatus());
    }
    const MainWindowModel& record = session_->record();
    row.partNumber = record.texts.partNumber;
    row.firmware = record.texts.firmware;
    row.powerUpHours = record.texts.powerUpTime;
    row.settingsBefore = settingsText(*before);
    row.actions = "none";

    if (!confirm(buildChangeSummary(requested, row.partNumber))) {
        return finishApply(row, ExitCode::Cancelled, "cancelled by the operator");
    }
    const operations::WriteOutcome outcome =
        session_->supply().write(writePlan(requested, session_->lastRead()));
    row.actions = actionsText(outcome);
    if (!outcome.allSucceeded()) {
        return finishApply(row, ExitCode::CommunicationFailed,
                           "communication failed: " + failedActionsText(outcome));
    }
    if (options_.noVerify) {
        return finishApply(row, ExitCode::Success, "not verified");
    }
    const auto after = session_->poll();
    if (!after) {
        return finishApply(row, ExitCode::CommunicationFailed,
                           "communication failed while verifying: " + session_->lastStatus());
    }
    row.settingsAfter = settingsText(*after);
    std::string differences;
    for (const std::string& difference : verificationDifferences(requested, *after)) {
        differences += (differences.empty() ? "" : "; ") + difference;
    }
    if (!differences.empty()) {
        return finishApply(row, ExitCode::VerifyMismatch, "verification failed: " + differences);
    }
    return finishApply(row, ExitCode::Success, "verified");
}

} // namespace

int runCommandLine(const std::vector<std::string>& args, Console& console,
                   const std::vector<ExternalCommand>& external) {
    Options options;
    CLI::App app("Programs and watches a Brenvik power supply through its USB bridge.", "brenvik");
    app.footer(std::string(kExitCodes));
    app.require_subcommand(1);
    app.fallthrough();
    app.add_option("--virtual", options.virtualScenario,
                   "Talk to the virtual supply, set up from SCENARIO if given")
        ->expected(0, 1)
        ->type_name("[SCENARIO]");
    app.add_option("--trace", options.trace, "Append every transaction to FILE")->type_name("FILE");

    CLI::App* status = app.add_subcommand("status", "Print every field the supply reports");
    status->add_flag("--json", options.json, "Print one JSON object");

    CLI::App* monitor = app.add_subcommand(
        "monitor", "Poll the supply like the window does; Ctrl+C ends it (exit 0)");
    monitor->add_option("--interval", options.interval, "Seconds between polls (default 1)")
        ->check(CLI::PositiveNumber);
    monitor->add_option("--count", options.count, "Number of polls (default: until Ctrl+C)");
    monitor->add_option("--csv", options.csv, "Append one row per poll to FILE")->type_name("FILE");

    CLI::App* read =
        app.add_subcommand("read", "Write the supply's settings to a configuration file");
    read->add_option("--config", options.config, "Configuration file to write")
        ->required()
        ->type_name("FILE.ini");

    CLI::App* apply =
        app.add_subcommand("apply", "Write the settings of a configuration file and verify them");
    apply->add_option("--config", options.config, "Configuration file to apply")
        ->required()
        ->type_name("FILE.ini");
    apply->add_flag("--yes", options.yes, "Do not ask before writing");
    apply->add_flag("--no-verify", options.noVerify, "Do not read the settings back afterwards");
    apply->add_option("--report", options.report, "Append one row for this unit to FILE.csv")
        ->type_name("FILE.csv");

    std::vector<CLI::App*> externalCommands;
    for (const ExternalCommand& command : external) {
        externalCommands.push_back(command.add(app));
    }

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        std::vector<const CLI::App*> subcommands{status, monitor, read, apply};
        subcommands.insert(subcommands.end(), externalCommands.begin(), externalCommands.end());
        const bool noSubcommand = std::none_of(subcommands.begin(), subcommands.end(),
                                               [](const CLI::App* sub) { return sub->parsed(); });
        if (const std::string word = misplacedWord(app); noSubcommand && !word.empty()) {
            std::vector<std::string> names;
            for (const CLI::App* sub : subcommands) {
                names.push_back(sub->get_name());
            }
            console.err << "brenvik: " << unknownSubcommandText(word, names) << '\n';
            return static_cast<int>(ExitCode::BadInput);
        }
        return app.exit(error, console.out, console.err) == 0
                   ? 0
                   : static_cast<int>(ExitCode::BadInput);
    }
    options.useVirtual = app.count("--virtual") > 0;
    // A bare --virtual leaves an empty value: the default scenario.
    std::erase(options.virtualScenario, std::string{});

    for (std::size_t i = 0; i < external.size(); ++i) {
        if (externalCommands[i]->parsed()) {
            const CommonOptions common{options.useVirtual,
                                       options.virtualScenario.empty()
                                           ? std::nullopt
                                           : std::optional(options.virtualScenario.front()),
                                       options.trace};
            return external[i].run(common, console);
        }
    }

    Runner runner(console, options);
    if (status->parsed()) {
        return runner.status();
    }
    if (monitor->parsed()) {
        return runner.monitor();
    }
    if (read->parsed()) {
        return runner.read();
    }
    return runner.apply();
}

} // namespace brenvik::cli
