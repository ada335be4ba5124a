// Every sequence the program runs against the supply, under every fault the virtual bridge and
// supply can play, on a library that reports the delivered-byte count and on one that leaves it
// alone. Invariants are checked on each run rather than each path restated; the matrix of
// outcomes is printed for the record.

#include "cli/commands.h"
#include "device/commands.h"
#include "device/connection.h"
#include "monitor/monitoring.h"
#include "programming/apply_sequence.h"
#include "programming/panel.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/scenario.h"
#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iomanip>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using Settings = monitor::LastReadSettings;
using Sent = std::vector<std::uint8_t>;

// Never read from a supply: the last-read settings before any sequence ran.
constexpr Settings kUnread{200, 200, 200, 200, 200, 200, 200};
// The supply's stored settings as the program keeps them after reading them.
constexpr Settings kSupplyRead{3, 2, 15, 30, 7, 8, 9};

fs::path freshFolder(const char* prefix) {
    fs::path folder = fs::temp_directory_path() / (prefix + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    return folder;
}

// One fault, as a scenario text names it, and which transfers (0-based, in the order sent) it
// spoils.
struct Fault {
    std::string kind; // column of the matrix
    std::string text; // e.g. "fail_call = 28@3"
    std::function<bool(std::size_t index, const Sent& sent)> hits;
};

// A main window with its working file, on a bridge with one channel "A" and a model-1 supply.
struct Rig {
    explicit Rig(bool countUntouched) {
        std::ofstream(files.working) << "[SystemParameter]\nAcFltDelayHr=11\nICharge=1\n";
        window.setComboItems(1003, {"Default Charge Current", "1/2 Default Charge Current",
                                    "1/4 Default Charge Current", "1/8 Default Charge Current"});
        model.settings.acFaultHours = 5;
        model.settings.installMonth = 7;
        model.settings.installDay = 18;
        model.settings.installYear = 2011;
        panelRedisplay(window, model);
        bridge.supply().state().settings = {30, 15, 2, 9, 8, 7, 3};
        bridge.supply().setReadingJitter(0, 1);
        bridge.faults().countUntouched = countUntouched;
        monitorState.lastRead = kUnread;
        // Where the status line stood at each transfer: texts from there on came after it.
        bridge.setTrace([this](std::string_view line) {
            if (line.starts_with("call ord=33 ")) {
                historyAtTransfer.push_back(window.statusHistory.size());
            }
        });
    }
    ~Rig() { fs::remove_all(directory); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    // What the operator sees that came, or could have come, from the supply.
    std::vector<std::string> shown() const {
        std::vector<std::string> values;
        for (int id : {1005, 1006, 1013, 1014, 1015, 1016, 1017, 1034, 1035, 1058, 1060}) {
            values.push_back(window.controlText(id));
        }
        values.push_back(std::to_string(window.comboSelection(1003)));
        values.push_back(window.comboItems(1003).front());
        return values;
    }

    fs::path directory = freshFolder("brenvik-fault-matrix-");
    config::ConfigurationFiles files{directory / "Brenvik.ini", directory / "Brenvik.ini"};
    vsupply::VirtualBridge bridge;
    device::DeviceLink link{bridge};
    testing::FakeWindow window;
    testing::FakeClock clock;
    MainWindowModel model;
    monitor::MonitorState monitorState;
    device::ConnectionContext ctx{window, clock, link, model, monitorState, files};
    bool reconnectFirst = false;
    ApplyContext apply{window, clock, link, model, monitorState, files, reconnectFirst};
    std::vector<std::size_t> historyAtTransfer;
};

struct Sequence {
    const char* name;
    bool connectFirst; // runs on a link that a clean Connect Device made
    std::function<void(Rig&)> run;
};

// APPLY confirmed, with the option boxes at `boxes` (indexes into the six) ticked.
Sequence applyWith(const char* name, std::vector<std::size_t> boxes) {
    return {name, true, [boxes](Rig& r) {
                for (const std::size_t box : boxes) {
                    r.window.setChecked(kOptionBoxIds[box], true);
                    onOptionBoxClicked(r.window, r.model, kOptionBoxIds[box]);
                }
                r.window.confirmationAnswers = {true};
                runApplySequence(r.apply);
            }};
}

void monitorTick(Rig& r) {
    bool monitoring = true;
    bool activity = false;
    monitor::MonitoringLoop loop(r.window, r.clock, r.link, r.model, r.monitorState,
                                 {monitoring, activity});
    panelRead(r.window, r.model);
    loop.tick();
}

const std::vector<Sequence> kSequences{
    {"Connect Device", false, [](Rig& r) { device::connectDevice(r.ctx); }},
    {"silent reconnect", true, [](Rig& r) { device::silentReconnect(r.ctx); }},
    {"monitor tick", true, monitorTick},
    applyWith("APPLY charge", {0}),
    applyWith("APPLY AC delay", {1}),
    applyWith("APPLY system delay", {2}),
    applyWith("APPLY battery reset", {3}),
    applyWith("APPLY fault reset", {4}),
    applyWith("APPLY date", {5}),
    applyWith("APPLY all six", {0, 1, 2, 3, 4, 5}),
};

// Every fault that can meet a sequence whose clean run made these calls and sent these commands.
std::vector<Fault> faultsFor(bool connecting, const std::vector<std::uint32_t>& calls,
                             const Sent& sent, bool countUntouched) {
    const auto never = [](std::size_t, const Sent&) { return false; };
    const auto n = [](auto value) { return std::to_string(value); };
    std::vector<Fault> faults{{"none", "", never}};
    std::map<std::uint32_t, std::uint32_t> occurrences;
    for (const std::uint32_t ordinal : calls) {
        const std::uint32_t k = ++occurrences[ordinal];
        faults.push_back({"fail_call", "fail_call = " + n(ordinal) + "@" + n(k),
                          [=](std::size_t i, const Sent&) { return ordinal == 33 && i + 1 == k; }});
    }
    if (connecting) {
        faults.push_back({"count_zero", "count_zero = yes", never});
        faults.push_back({"no channel A", "device = B | 1 | B | 1\ndevice = C | 2 | C | 2", never});
    }
    for (const std::uint8_t code : std::set<std::uint8_t>(sent.begin(), sent.end())) {
        const auto ofCode = [code](std::size_t i, const Sent& s) { return s[i] == code; };
        const auto add = [&](const char* kind, const std::string& value) {
            faults.push_back({kind, std::string(kind) + " = " + value, ofCode});
        };
        add("no_ack", n(code));
        // A library that does not report the count cannot show a short transfer either.
        if (!countUntouched) {
            add("short_transfer", n(code) + ":" + n(device::commandShape(code)->replyLength - 1));
        }
        // The reply bytes that commands 1, 2 and 14 must echo.
        for (int byte = 0; byte < (code == 1 ? 9 : code == 2 ? 7 : code == 14 ? 4 : 0); ++byte) {
            add("wrong_echo", n(code) + ":" + n(byte));
        }
        if (code == 6 || code == 12) {
            add("nonzero_confirm", n(code));
        }
        if (code == 4) {
            add("bad_checksum", "yes");
        }
    }
    std::map<std::uint8_t, std::uint32_t> commandOccurrences;
    for (std::size_t at = 0; at < sent.size(); ++at) {
        faults.push_back({"unplug",
                          "unplug_at = " + n(sent[at]) + "@" + n(++commandOccurrences[sent[at]]),
                          [at](std::size_t i, const Sent&) { return i >= at; }});
    }
    return faults;
}

// The transfers the fault spoilt; checks that no confirm followed a spoilt request.
std::vector<std::size_t> spoilt(const Fault& fault, const Sent& sent) {
    std::vector<std::size_t> hits;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (fault.hits(i, sent)) {
            hits.push_back(i);
            const bool request = sent[i] == 1 || sent[i] == 5 || sent[i] == 11 || sent[i] == 13;
            EXPECT_FALSE(request && i + 1 < sent.size() && sent[i + 1] == sent[i] + 1)
                << "confirm " << sent[i] + 1 << " sent after a failed request";
        }
    }
    return hits;
}

// Whether `text` is one by which the operation that sends `code` reports progress or success;
// the block fetches, 3, 4 and 10, share theirs with the connection they close.
bool passesFor(std::uint8_t code, const std::string& text) {
    static const std::map<int, std::string> words{{1, "EEPROM"},
                                                  {2, "EEPROM"},
                                                  {5, "battery connect"},
                                                  {6, "battery connect"},
                                                  {11, "Fault counts"},
                                                  {12, "Fault counts"},
                                                  {13, "installation date"},
                                                  {14, "installation date"}};
    const auto found = words.find(code);
    return text.starts_with("Pass, ") &&
           text.find(found == words.end() ? "device" : found->second) != std::string::npos;
}

// After a spoilt exchange nothing of its operation passes, nor does APPLY's closing box.
void checkNothingPassedAfter(const Rig& rig, const std::vector<std::size_t>& hits) {
    const auto& history = rig.window.statusHistory;
    for (const std::size_t i : hits) {
        for (std::size_t j = rig.historyAtTransfer.at(i); j < history.size(); ++j) {
            EXPECT_FALSE(passesFor(rig.bridge.commandsSent()[i], history[j])) << history[j];
        }
    }
    EXPECT_FALSE(!hits.empty() &&
                 std::ranges::count(rig.window.messageTexts(), "Write EEPROM success.") > 0);
}

// The link flag follows the last check, except a failed reset confirm's.
void checkLinkFlag(const Rig& rig) {
    const auto& history = rig.window.statusHistory;
    const std::string last = rig.window.statusText();
    if (last.starts_with("Pass")) {
        EXPECT_TRUE(rig.link.linkOk);
    } else if (history.size() < 2 || !history[history.size() - 2].starts_with("Pass, Rest")) {
        EXPECT_FALSE(rig.link.linkOk) << last;
    }
}

// Shown values and the last-read settings come from a good block or not at all: each field
// shows what it showed before, after a clean run, or after a run the supply never answered.
void checkShownValues(const Rig& rig, const std::vector<std::vector<std::string>>& allowed,
                      const Settings& cleanRead) {
    const auto shown = rig.shown();
    for (std::size_t f = 0; f < shown.size(); ++f) {
        EXPECT_TRUE(std::ranges::any_of(allowed, [&](const auto& a) { return a[f] == shown[f]; }))
            << "field " << f << " shows " << shown[f];
    }
    const Settings& read = rig.monitorState.lastRead;
    EXPECT_TRUE(read == kUnread || read == kSupplyRead || read == cleanRead);
}

// sequence -> fault kind -> outcome -> runs
using Matrix = std::map<std::string, std::map<std::string, std::map<std::string, int>>>;

void print(const Matrix& matrix) {
    std::cout << "sequence            | fault kind      | outcomes\n";
    for (const auto& [sequence, kinds] : matrix) {
        for (const auto& [kind, outcomes] : kinds) {
            std::cout << std::left << std::setw(20) << sequence << "| " << std::setw(16) << kind
                      << "|";
            for (const auto& [outcome, runs] : outcomes) {
                std::cout << " " << outcome << " x" << runs;
            }
            std::cout << "\n";
        }
    }
}

// Runs the sequence on a fresh rig; the connection it needs first is made without faults.
void runOn(Rig& rig, const Sequence& sequence, const Fault* fault) {
    if (sequence.connectFirst) {
        device::connectDevice(rig.ctx);
        rig.window.statusHistory.clear();
        rig.bridge.forgetCalls();
        rig.historyAtTransfer.clear();
    }
    if (fault != nullptr) {
        vsupply::Scenario scenario;
        scenario.devices = rig.bridge.devices();
        scenario.bridgeFaults.countUntouched = rig.bridge.faults().countUntouched;
        ASSERT_EQ(vsupply::applyText(fault->text, scenario, vsupply::KeySet::Scenario).errors,
                  std::vector<std::string>{});
        rig.bridge.devices() = scenario.devices;
        rig.bridge.faults() = scenario.bridgeFaults;
        rig.bridge.supply().faults() = scenario.supplyFaults;
    }
    sequence.run(rig);
}

TEST(FaultMatrix, EverySequenceUnderEveryFaultKeepsItsPromises) {
    Matrix matrix;
    for (const bool countUntouched : {false, true}) {
        for (const Sequence& sequence : kSequences) {
            SCOPED_TRACE(std::string(sequence.name) + (countUntouched ? ", count left alone" : ""));
            Rig clean(countUntouched);
            const auto before = clean.shown();
            runOn(clean, sequence, nullptr);
            ASSERT_TRUE(clean.window.statusText().starts_with("Pass"));
            Rig mute(countUntouched);
            mute.bridge.supply().faults().unacknowledged = {1, 3, 5, 10, 11, 13};
            mute.bridge.unplug();
            runOn(mute, sequence, nullptr);
            const std::vector<std::vector<std::string>> allowed{before, clean.shown(),
                                                                mute.shown()};
            for (const Fault& fault : faultsFor(!sequence.connectFirst, clean.bridge.calls(),
                                                clean.bridge.commandsSent(), countUntouched)) {
                SCOPED_TRACE(fault.text);
                Rig rig(countUntouched);
                ASSERT_NO_THROW(runOn(rig, sequence, &fault));
                checkNothingPassedAfter(rig, spoilt(fault, rig.bridge.commandsSent()));
                checkLinkFlag(rig);
                checkShownValues(rig, allowed, clean.monitorState.lastRead);
                // APPLY's outcome is its closing box; the others' their last status text.
                const std::string last = rig.window.statusText();
                if (!countUntouched) {
                    ++matrix[sequence.name][fault.kind]
                            [rig.window.messages.empty() ? last.substr(0, last.find_first_of(", "))
                                                         : rig.window.messages.back().caption];
                }
            }
        }
    }
    print(matrix);
}

// The command line's waits and slots on a made-up time line that every wait moves on.
class FakeTime final : public Clock, public cli::PollTimer {
public:
    void sleep(std::chrono::milliseconds duration) override { now_ += duration; }
    cli::WallTime now() override { return now_; }
    void waitUntil(cli::WallTime deadline, const std::atomic<bool>&) override {
        now_ = std::max(now_, deadline);
    }

private:
    cli::WallTime now_{};
};

// One sub-command run against the virtual supply of `scenario`: its exit code, and the library
// calls and commands sent, as the stand-in's trace lists them.
struct CommandLineRun {
    int code = 0;
    std::vector<std::uint32_t> calls;
    Sent sent;
};

CommandLineRun runCommandLine(const fs::path& folder, std::vector<std::string> args,
                              const std::string& scenario) {
    std::ofstream(folder / "scenario.txt", std::ios::trunc) << "hour_length_ms = 0\n" << scenario;
    fs::remove(folder / "trace.txt");
    fs::remove(folder / "state.txt");
    args.insert(args.begin(), {"--virtual", (folder / "scenario.txt").string()});
    std::ostringstream out;
    std::istringstream in;
    FakeTime time;
    const std::atomic<bool> interrupted{false};
    const auto noLibrary = [] { return std::unique_ptr<device::AdapterLibrary>(); };
    cli::Console console{
        out,         out,       in,
        time,        time,      interrupted,
        [](bool) {}, noLibrary, {std::nullopt, folder / "state.txt", folder / "trace.txt"}};
    CommandLineRun run{cli::runCommandLine(args, console), {}, {}};
    std::ifstream trace(folder / "trace.txt");
    for (std::string line; std::getline(trace, line);) {
        if (const auto at = line.find(" call ord="); at != std::string::npos) {
            run.calls.push_back(static_cast<std::uint32_t>(std::stoul(line.substr(at + 10))));
        }
        if (const auto at = line.find(" frame="); at != std::string::npos) {
            run.sent.push_back(
                static_cast<std::uint8_t>(std::stoul(line.substr(at + 7, 2), nullptr, 16)));
        }
    }
    return run;
}

// Each sub-command under each fault: a spoilt exchange never exits 0, and no confirm follows a
// request whose reply was spoilt.
TEST(FaultMatrix, CommandLineSubCommandsUnderEveryFault) {
    const fs::path folder = freshFolder("brenvik-fault-cli-");
    std::ofstream(folder / "apply.ini")
        << "[SystemParameter]\nAcFltDelayHr=1\nICharge=2\nInstallMM=7\nInstallDD=18\n"
           "InstallYYYY=2011\nbChargeCurrent=1\nbAcFltDelay=1\nbSysFltDelay=1\n"
           "bResetBatCon=1\nbResetFaultCounts=1\nbInstallDate=1\n";
    const std::vector<std::vector<std::string>> commands{
        {"status"},
        {"read", "--config", (folder / "read.ini").string()},
        {"apply", "--config", (folder / "apply.ini").string(), "--yes"},
    };
    Matrix matrix;
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front());
        const CommandLineRun clean = runCommandLine(folder, command, "");
        ASSERT_EQ(clean.code, 0);
        for (const Fault& fault : faultsFor(true, clean.calls, clean.sent, false)) {
            SCOPED_TRACE(fault.text);
            CommandLineRun run;
            ASSERT_NO_THROW(run = runCommandLine(folder, command, fault.text + "\n"));
            EXPECT_TRUE(spoilt(fault, run.sent).empty() || run.code != 0);
            ++matrix["brenvik " + command.front()][fault.kind]["exit " + std::to_string(run.code)];
        }
    }
    fs::remove_all(folder);
    print(matrix);
}

} // namespace
} // namespace brenvik
