#include "cli/commands.h"

#include "cli/config_input.h"
#include "cli/records.h"
#include "cli/replay.h"
#include "cli/verification.h"
#include "config/configuration.h"
#include "device/forwarding_library.h"
#include "programming/change_summary.h"
#include "usb_pipes/ftdi_bus.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <system_error>
#include <thread>
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
    std::string backend = "auto";
    std::string device;
    bool all = false;
    std::string usbTrace;
    std::string replay;
};

// Why the adapter library refused, in the operator's words, for the statuses a road to real
// bridges returns; empty for the others.
std::string adapterReason(device::FtcStatus status) {
    switch (status) {
    case 3:
        return "the bridge could not be opened: another program holds it, or this user may not "
               "use it (install " +
               std::string(usbpipes::kUdevRuleName) + " on Linux)";
    case 4:
        return "the bridge vanished from the USB";
    case 20:
        return "the bridge did not answer in time";
    case 21:
        return "the bridge did not synchronise";
    default:
        return {};
    }
}

// Lines written to it reach the target whole, each after the unit's prefix, one unit's line at
// a time.
class PrefixedLines final : public std::streambuf {
public:
    PrefixedLines(std::ostream& target, std::string prefix, std::mutex& turn)
        : target_(target), prefix_(std::move(prefix)), turn_(turn) {}
    ~PrefixedLines() override {
        if (!line_.empty()) {
            overflow('\n');
        }
    }
    PrefixedLines(const PrefixedLines&) = delete;
    PrefixedLines& operator=(const PrefixedLines&) = delete;

protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) {
            return 0;
        }
        line_.push_back(static_cast<char>(c));
        if (c == '\n') {
            const std::lock_guard lock(turn_);
            target_ << prefix_ << line_ << std::flush;
            line_.clear();
        }
        return c;
    }

private:
    std::ostream& target_;
    std::string prefix_;
    std::mutex& turn_;
    std::string line_;
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
    Runner(Console& console, const Options& options, Road& road, const Unit* unit,
           std::mutex* fileTurn)
        : console_(console), options_(options), road_(road), unit_(unit), fileTurn_(fileTurn) {}

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
    // A unit's file: with --all each unit has its own.
    std::string unitFile(const std::string& file) const {
        return options_.all && unit_ != nullptr ? vsupply::deviceFile(file, unit_->index).string()
                                                : file;
    }
    bool append(const std::string& file, std::string_view header, std::string_view row) {
        std::unique_lock<std::mutex> lock;
        if (fileTurn_ != nullptr) {
            lock = std::unique_lock(*fileTurn_);
        }
        return appendRow(file, header, row);
    }
    // The adapter library's reason for the last failure, as " (reason)", or nothing.
    std::string reason() const {
        const std::string text = adapterReason(session_->link().adapterStatus);
        return text.empty() ? text : " (" + text + ")";
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
                    "communication failed: " + session_->lastStatus() + reason());
    }

    Console& console_;
    const Options& options_;
    Road& road_;
    const Unit* unit_;
    std::mutex* fileTurn_;
    std::ofstream usbTraceFile_;
    std::unique_ptr<UnitLibrary> library_;
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
    std::ostream* usbTrace = nullptr;
    if (!options_.usbTrace.empty()) {
        usbTraceFile_.open(unitFile(options_.usbTrace), std::ios::app | std::ios::binary);
        usbTrace = &usbTraceFile_;
    }
    library_ = road_.open(unit_, console_.clock, usbTrace);
    if (const std::string refusal = library_->library().refusal(); !refusal.empty()) {
        return fail(ExitCode::NoDevice, refusal);
    }
    watch_.emplace(library_->library());
    session_ = std::make_unique<Session>(*watch_, console_.clock);
    if (!options_.trace.empty()) {
        session_->link().observer = &trace_.emplace(
            std::ofstream(unitFile(options_.trace), std::ios::app | std::ios::binary),
            [this] { return console_.timer.now(); });
    }
    const device::BridgeChoice choice =
        unit_ != nullptr ? choiceOf(*unit_) : device::BridgeChoice(device::isChannelA);
    switch (session_->connect(choice)) {
    case ExitCode::Success:
        return std::nullopt;
    case ExitCode::NoDevice: {
        if (watch_->inUse()) {
            return fail(ExitCode::NoDevice, "no device: the bridge is in use by another program");
        }
        std::string why = reason();
        if (why.empty()) {
            std::vector<Unit> units;
            std::string error;
            road_.list(units, error);
            why = error.empty() ? "" : " (" + error + ")";
        }
        return fail(ExitCode::NoDevice,
                    "no device: no bridge with channel \"A\" could be opened" + why);
    }
    default:
        return fail(ExitCode::CommunicationFailed,
                    session_->opened() == device::OpenResult::SetUpFailed
                        ? "communication failed: the bridge could not be set up" + reason()
                        : "communication failed: the supply did not answer the read-back" +
                              reason());
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
            !append(options_.csv,
                    options_.all ? "bridge," + std::string(kPollCsvHeader)
                                 : std::string(kPollCsvHeader),
                    (options_.all ? csvField(unitName(*unit_)) + "," : std::string()) +
                        pollCsvRow(time, texts, failure))) {
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
    if (!options_.report.empty() && !append(options_.report, kReportCsvHeader, reportCsvRow(row))) {
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
    row.bridge = unit_ != nullptr ? unitName(*unit_) : std::string();
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
                           "communication failed: " + failedActionsText(outcome) + reason());
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

// Chooses the road the options name; nothing, with the reason, when it is not there.
std::unique_ptr<Road> chooseRoad(const Options& options, Console& console, Replay* replay,
                                 std::string& error) {
    const auto backend = backendNamed(options.backend);
    if (!backend) {
        error = "unknown backend " + options.backend +
                "; one of auto, ftcspi, d2xx, libftdi, virtual, virtual-bridge";
        return nullptr;
    }
    vsupply::HostOptions host = console.virtualSupply;
    if (!options.virtualScenario.empty()) {
        host.scenarioFile = options.virtualScenario.front();
    }
    if (replay != nullptr) {
        return replayRoad(*replay);
    }
    if (*backend == Backend::virtualBridge) {
        return virtualRoad(host, true);
    }
    if (options.useVirtual || *backend == Backend::virtualSupply) {
        return virtualRoad(host, false);
    }
    const auto busRoad = [&](Backend which) -> std::unique_ptr<Road> {
        if (!console.hardwareBus || !console.hardwareBus(which)) {
            return nullptr;
        }
        return engineRoad(std::string(backendName(which)),
                          [&console, which] { return console.hardwareBus(which); });
    };
    if (*backend == Backend::d2xx || *backend == Backend::libftdi) {
        auto road = busRoad(*backend);
        if (!road) {
            error = std::string(backendName(*backend)) + " is not available on this system";
        }
        return road;
    }
    InstalledLibrary installed = console.installedLibrary();
    auto* library = std::get_if<std::unique_ptr<device::AdapterLibrary>>(&installed);
    if (*backend == Backend::automatic && (library == nullptr || !*library)) {
        for (const Backend which : {Backend::d2xx, Backend::libftdi}) {
            if (auto road = busRoad(which)) {
                return road;
            }
        }
    }
    if (const auto* missing = std::get_if<LibraryNotFound>(&installed)) {
        error = libraryNotFoundText(*missing);
        return nullptr;
    }
    if (*library) {
        return libraryRoad(std::move(*library));
    }
    error = "no adapter library on this system; use --virtual";
    return nullptr;
}

std::string listText(const std::vector<Unit>& units, bool json) {
    std::ostringstream out;
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const Unit& u : units) {
            list.push_back({{"index", u.index},
                            {"serial", u.serial},
                            {"location", u.location},
                            {"type", u.type},
                            {"channel", u.channel},
                            {"description", u.description},
                            {"backend", u.backend}});
        }
        out << list.dump() << "\n";
        return out.str();
    }
    out << "index  serial       location     type       channel  description               "
           "backend\n";
    for (const Unit& u : units) {
        char line[256];
        std::snprintf(line, sizeof line, "%-6zu %-12s %-12s %-10s %-8s %-25s %s\n", u.index,
                      u.serial.c_str(), u.location.c_str(), u.type.c_str(), u.channel.c_str(),
                      u.description.c_str(), u.backend.c_str());
        out << line;
    }
    return out.str();
}

// Runs one sub-command on every unit at once, each in a thread of its own with its own clock
// and files; every line a unit prints starts with its name. The exit code is the worst unit's.
int runUnits(Console& console, const Options& options, Road& road, const std::vector<Unit>& units,
             int (Runner::*command)()) {
    std::mutex lines;
    std::mutex files;
    std::vector<int> codes(units.size(), 0);
    std::vector<std::thread> threads;
    console.catchInterrupts(true);
    for (std::size_t i = 0; i < units.size(); ++i) {
        threads.emplace_back([&, i] {
            const std::string prefix = "[" + unitName(units[i]) + "] ";
            // JSON stays one object a line; the closing lines name the units.
            PrefixedLines outLines(console.out, options.json ? "" : prefix, lines);
            PrefixedLines errLines(console.err, prefix, lines);
            std::ostream out(&outLines);
            std::ostream err(&errLines);
            const auto ownClock = console.unitClock ? console.unitClock() : nullptr;
            Console unitConsole{out,
                                err,
                                console.in,
                                ownClock ? *ownClock : console.clock,
                                console.timer,
                                console.interrupted,
                                [](bool) {},
                                console.installedLibrary,
                                console.virtualSupply};
            Runner runner(unitConsole, options, road, &units[i], &files);
            codes[i] = (runner.*command)();
            out.flush();
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    console.catchInterrupts(false);
    int worst = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        (options.json ? console.err : console.out)
            << "unit " << units[i].index << " " << unitName(units[i]) << ": "
            << (codes[i] == 0 ? "ok" : "failed, exit " + std::to_string(codes[i])) << "\n";
        worst = std::max(worst, codes[i]);
    }
    return worst;
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
    app.add_option("--backend", options.backend,
                   "Road to the bridge: auto (the adapter library where installed, then the "
                   "bridge driver's library, then libftdi1), ftcspi, d2xx, libftdi, virtual, "
                   "virtual-bridge (the serial engine on a played bridge and the virtual supply)")
        ->type_name("ROAD");
    app.add_option("--device", options.device,
                   "Use the bridge with this serial or location (see `brenvik list`)")
        ->type_name("SERIAL|LOCATION");
    app.add_option("--usb-trace", options.usbTrace,
                   "Append every USB write and read to FILE (roads through the serial engine)")
        ->type_name("FILE");
    app.add_option("--replay", options.replay,
                   "With --virtual: answer each frame with the reply recorded in TRACE (from "
                   "--trace or --usb-trace) and report the first frame that differs")
        ->type_name("TRACE");

    bool listJson = false;
    CLI::App* list = app.add_subcommand("list", "List every bridge channel the road sees");
    list->add_flag("--json", listJson, "Print one JSON array");

    CLI::App* status = app.add_subcommand("status", "Print every field the supply reports");
    status->add_flag("--json", options.json, "Print one JSON object");
    status->add_flag("--all", options.all, "Every bridge at once, one block per unit");

    CLI::App* monitor = app.add_subcommand(
        "monitor", "Poll the supply like the window does; Ctrl+C ends it (exit 0)");
    monitor->add_option("--interval", options.interval, "Seconds between polls (default 1)")
        ->check(CLI::PositiveNumber);
    monitor->add_option("--count", options.count, "Number of polls (default: until Ctrl+C)");
    monitor->add_option("--csv", options.csv, "Append one row per poll to FILE")->type_name("FILE");
    monitor->add_flag("--all", options.all, "Every bridge at once; rows start with the bridge");

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
    apply->add_flag("--all", options.all, "Every bridge at once (with --yes), one row per unit");

    std::vector<CLI::App*> externalCommands;
    for (const ExternalCommand& command : external) {
        externalCommands.push_back(command.add(app));
    }

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        std::vector<const CLI::App*> subcommands{list, status, monitor, read, apply};
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

    const auto badInput = [&console](const std::string& message) {
        console.err << "brenvik: " << message << '\n';
        return static_cast<int>(ExitCode::BadInput);
    };
    if (!options.replay.empty() && !options.useVirtual) {
        return badInput("--replay needs --virtual");
    }
    if (options.all && !options.device.empty()) {
        return badInput("--all and --device exclude each other");
    }
    if (options.all && apply->parsed() && !options.yes) {
        return badInput("apply --all writes every unit at once: give --yes");
    }
    std::optional<Replay> replay;
    if (!options.replay.empty()) {
        std::string error;
        auto recording = readRecording(options.replay, error);
        if (!recording) {
            return badInput(error);
        }
        replay.emplace(std::move(*recording));
    }
    std::string error;
    const std::unique_ptr<Road> road =
        chooseRoad(options, console, replay ? &*replay : nullptr, error);
    if (!road) {
        console.err << "brenvik: " << error << '\n';
        return static_cast<int>(error.starts_with("unknown") ? ExitCode::BadInput
                                                             : ExitCode::NoDevice);
    }
    if (!options.usbTrace.empty() && !road->tracesUsb()) {
        return badInput("--usb-trace needs a road through the serial engine: d2xx, libftdi or "
                        "virtual-bridge");
    }
    if (!options.usbTrace.empty() && !canWrite(options.usbTrace)) {
        return badInput(options.usbTrace + ": cannot be written");
    }

    std::vector<Unit> units;
    if (list->parsed() || options.all || !options.device.empty()) {
        error.clear();
        road->list(units, error);
        // `list` on its own shows what every road to real bridges sees.
        if (list->parsed() && options.backend == "auto" && !options.useVirtual) {
            for (const Backend which : {Backend::d2xx, Backend::libftdi}) {
                if (road->name() == backendName(which) || !console.hardwareBus ||
                    !console.hardwareBus(which)) {
                    continue;
                }
                std::vector<Unit> more;
                std::string ignored;
                engineRoad(std::string(backendName(which)), [&console, which] {
                    return console.hardwareBus(which);
                })->list(more, ignored);
                for (Unit& unit : more) {
                    unit.index = units.size();
                    units.push_back(std::move(unit));
                }
            }
        }
        if (units.empty()) {
            console.err << "brenvik: no bridge found" << (error.empty() ? "" : ": " + error)
                        << '\n';
            return static_cast<int>(ExitCode::NoDevice);
        }
    }
    if (list->parsed()) {
        console.out << listText(units, listJson);
        return static_cast<int>(ExitCode::Success);
    }
    int (Runner::*command)() = status->parsed()    ? &Runner::status
                               : monitor->parsed() ? &Runner::monitor
                               : read->parsed()    ? &Runner::read
                                                   : &Runner::apply;
    std::erase_if(units, [](const Unit& u) { return u.channel != "A"; });
    const Unit* chosen = nullptr;
    if (!options.device.empty()) {
        const auto found = std::ranges::find_if(units, [&](const Unit& u) {
            return u.serial == options.device || u.location == options.device;
        });
        if (found == units.end()) {
            console.err << "brenvik: no bridge " << options.device
                        << " with channel \"A\"; `brenvik list` shows the bridges found\n";
            return static_cast<int>(ExitCode::NoDevice);
        }
        chosen = &*found;
    }
    int code = 0;
    if (options.all) {
        if (units.empty()) {
            console.err << "brenvik: no bridge found with channel \"A\"\n";
            return static_cast<int>(ExitCode::NoDevice);
        }
        code = runUnits(console, options, *road, units, command);
    } else {
        Runner runner(console, options, *road, chosen, nullptr);
        code = (runner.*command)();
    }
    if (replay) {
        if (const auto difference = replay->difference()) {
            console.err << "brenvik: replay: " << *difference << '\n';
            code = std::max(code, static_cast<int>(ExitCode::CommunicationFailed));
        }
    }
    return code;
}

} // namespace brenvik::cli
