// Every sequence the program runs against the supply, under every fault the virtual bridge and
// supply can play, on a library that reports the delivered-byte count and on one that leaves it
// alone, and through the serial engine on a bridge played by the command decoder. Invariants
// are checked on each run rather than each path restated.

#include "cli/commands.h"
#include "device/commands.h"
#include "operations/apply.h"
#include "operations/configuration.h"
#include "operations/connection.h"
#include "operations/monitoring.h"
#include "operations/panel.h"
#include "serial_engine/serial_engine.h"
#include "serial_engine/virtual_bridge_bus.h"
#include "shell/window_face.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_folder.h"
#include "virtual_supply/scenario.h"
#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
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

// One fault, as a scenario text names it, and which transfers (0-based, in the order sent) it
// spoils.
struct Fault {
    std::string text; // e.g. "fail_call = 28@3"
    std::function<bool(std::size_t index, const Sent& sent)> hits;
};

const Fault kNone{"", [](std::size_t, const Sent&) { return false; }};
// A supply that answers nothing, on a bridge that is unplugged.
const Fault kMute{"no_ack = 1,3,5,10,11,13\nplugged = no", kNone.hits};

// What a run left: the calls made and commands sent, its cell in the matrix, and what the window
// shows that came, or could have come, from the supply.
struct Outcome {
    std::vector<std::uint32_t> calls;
    Sent sent;
    std::string cell;
    std::vector<std::string> shown;
    Settings lastRead = kUnread;
};

struct Sequence {
    std::string name;
    bool connecting; // opens the connection itself, rather than running on one made cleanly
    // Runs on a fresh set-up under the fault, checking what only the run itself shows against the
    // references: a clean run and one the supply never answered (none for the references).
    std::function<Outcome(bool countUntouched, bool throughEngine, const Fault&,
                          const std::vector<Outcome>&)>
        run;
};

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

// A main window with its working file, on a bridge with one channel "A" and a model-1 supply.
struct Rig {
    Rig(bool countUntouched, bool throughEngine)
        : library(throughEngine ? static_cast<device::AdapterLibrary&>(engine) : bridge) {
        files = {folder.path / "Brenvik.ini", folder.path / "Brenvik.ini"};
        std::ofstream(files.working) << "[SystemParameter]\nAcFltDelayHr=11\nICharge=1\n";
        window.setComboItems(1003, {"Default Charge Current", "1/2 Default Charge Current",
                                    "1/4 Default Charge Current", "1/8 Default Charge Current"});
        model.settings.acFaultHours = 5;
        model.settings.installMonth = 7;
        model.settings.installDay = 18;
        model.settings.installYear = 2011;
        face.showPanel(model);
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

    void play(const Fault& fault) {
        vsupply::Scenario scenario;
        scenario.devices = bridge.devices();
        scenario.bridgeFaults.countUntouched = bridge.faults().countUntouched;
        ASSERT_EQ(vsupply::applyText(fault.text, scenario, vsupply::KeySet::Scenario).errors,
                  std::vector<std::string>{});
        bridge.devices() = scenario.devices;
        bridge.faults() = scenario.bridgeFaults;
        bridge.supply().faults() = scenario.supplyFaults;
        if (!scenario.plugged) {
            bridge.unplug();
        }
    }

    std::vector<std::string> shown() const {
        std::vector<std::string> values;
        for (int id : {1005, 1006, 1013, 1014, 1015, 1016, 1017, 1034, 1035, 1058, 1060}) {
            values.push_back(window.controlText(id));
        }
        values.push_back(std::to_string(window.comboSelection(1003)));
        values.push_back(window.comboItems(1003).front());
        return values;
    }

    testing::TempFolder folder{"brenvik-fault-matrix"};
    vsupply::VirtualBridge bridge;
    testing::FakeClock engineClock;
    engine::VirtualBridgeBus bus{bridge};
    engine::SerialEngine engine{bus, engineClock};
    device::AdapterLibrary& library;
    ProgramState state{library};
    config::ConfigurationFiles& files = state.files;
    device::DeviceLink& link = state.link;
    monitor::MonitorState& monitorState = state.monitor;
    testing::FakeWindow window;
    testing::FakeClock clock;
    MainWindowModel model;
    WindowFace face{window};
    operations::Context ctx{face, clock, state, model};
    std::vector<std::size_t> historyAtTransfer;
};

// Whether `text` is one by which the operation that sends `code` reports progress or success;
// the block fetches, 3, 4 and 10, share theirs with the connection they close.
bool passesFor(std::uint8_t code, const std::string& text) {
    const char* word = code <= 2                  ? "EEPROM"
                       : code == 5 || code == 6   ? "battery connect"
                       : code == 11 || code == 12 ? "Fault counts"
                       : code >= 13               ? "installation date"
                                                  : "device";
    return text.starts_with("Pass, ") && text.find(word) != std::string::npos;
}

// After a spoilt exchange nothing of its operation passes, nor does APPLY's closing box; the
// link flag follows the last check, except a failed reset confirm's.
void checkWindow(const Rig& rig, const std::vector<std::size_t>& hits) {
    const auto& history = rig.window.statusHistory;
    for (const std::size_t i : hits) {
        for (std::size_t j = rig.historyAtTransfer.at(i); j < history.size(); ++j) {
            EXPECT_FALSE(passesFor(rig.bridge.commandsSent()[i], history[j])) << history[j];
        }
    }
    EXPECT_FALSE(!hits.empty() &&
                 std::ranges::count(rig.window.messageTexts(), "Write EEPROM success.") > 0);
    if (rig.window.statusText().starts_with("Pass")) {
        EXPECT_TRUE(rig.link.linkOk);
    } else if (history.size() < 2 || !history[history.size() - 2].starts_with("Pass, Rest")) {
        EXPECT_FALSE(rig.link.linkOk) << rig.window.statusText();
    }
}

// Runs `act` on a fresh rig, after a clean Connect Device unless it connects itself.
Outcome runInWindow(const std::function<void(Rig&)>& act, bool connecting, bool countUntouched,
                    bool throughEngine, const Fault& fault,
                    const std::vector<Outcome>& references) {
    Rig rig(countUntouched, throughEngine);
    const auto before = rig.shown();
    if (!connecting) {
        operations::connectDevice(rig.ctx);
        rig.window.statusHistory.clear();
        rig.bridge.forgetCalls();
        rig.historyAtTransfer.clear();
    }
    rig.play(fault);
    act(rig);
    checkWindow(rig, spoilt(fault, rig.bridge.commandsSent()));
    // APPLY's outcome is its closing box; the others' their last status text.
    const std::string last = rig.window.statusText();
    const Outcome run{rig.bridge.calls(), rig.bridge.commandsSent(),
                      rig.window.messages.empty() ? last.substr(0, last.find_first_of(", "))
                                                  : rig.window.messages.back().caption,
                      rig.shown(), rig.monitorState.lastRead};
    // Shown values and the last-read settings come from a good block or not at all: each field
    // shows what it showed before, after the clean run, or after one the supply never answered.
    for (std::size_t f = 0; f < before.size() && !references.empty(); ++f) {
        EXPECT_TRUE(run.shown[f] == before[f] || run.shown[f] == references[0].shown[f] ||
                    run.shown[f] == references[1].shown[f])
            << "field " << f << " shows " << run.shown[f];
    }
    EXPECT_TRUE(run.lastRead == kUnread || run.lastRead == kSupplyRead ||
                (!references.empty() && run.lastRead == references[0].lastRead));
    return run;
}

Sequence inWindow(std::string name, bool connecting, std::function<void(Rig&)> act) {
    return {name, connecting, std::bind_front(runInWindow, act, connecting)};
}

// APPLY confirmed, with the option boxes at `boxes` (indexes into the six) ticked.
Sequence applyWith(const char* name, std::vector<std::size_t> boxes) {
    return inWindow(name, false, [boxes](Rig& r) {
        for (const std::size_t box : boxes) {
            r.window.setChecked(optionBoxId(kOptionBoxes[box]), true);
            operations::optionBoxClicked(r.face, r.model, kOptionBoxes[box]);
        }
        r.window.confirmationAnswers = {true};
        operations::runApplySequence(r.ctx);
    });
}

void monitorTick(Rig& r) {
    r.state.monitoring = true;
    operations::MonitoringLoop loop(r.ctx);
    r.face.readPanel(r.model);
    loop.tick();
}

// Runs a `brenvik` sub-command against the virtual supply (arguments ending in ".ini" name files
// in a fresh folder): a spoilt exchange never exits 0. Calls and commands come from the trace.
Outcome runCommandLine(const std::vector<std::string>& args, bool countUntouched,
                       bool throughEngine, const Fault& fault, const std::vector<Outcome>&) {
    const testing::TempFolder folder{"brenvik-fault-matrix"};
    std::ofstream(folder.path / "apply.ini")
        << "[SystemParameter]\nAcFltDelayHr=1\nICharge=2\nInstallMM=7\nInstallDD=18\n"
           "InstallYYYY=2011\nbChargeCurrent=1\nbAcFltDelay=1\nbSysFltDelay=1\n"
           "bResetBatCon=1\nbResetFaultCounts=1\nbInstallDate=1\n";
    std::ofstream(folder.path / "scenario.txt")
        << "hour_length_ms = 0\n"
        << (countUntouched ? "count_untouched = yes\n" : "") << fault.text << "\n";
    std::vector<std::string> line{"--virtual", (folder.path / "scenario.txt").string(), "--backend",
                                  throughEngine ? "virtual-bridge" : "virtual"};
    for (const auto& arg : args) {
        line.push_back(arg.ends_with(".ini") ? (folder.path / arg).string() : arg);
    }
    std::ostringstream out;
    std::istringstream in;
    testing::FakeClock clock;
    testing::FakeTimer time{clock};
    const std::atomic<bool> interrupted{false};
    const auto noLibrary = [] { return std::unique_ptr<device::AdapterLibrary>(); };
    const vsupply::HostOptions host{std::nullopt, folder.path / "state.txt",
                                    folder.path / "trace.txt", std::nullopt};
    cli::Console console{out, out, in, clock, time, interrupted, [](bool) {}, noLibrary, host};
    Outcome run;
    run.cell = "exit " + std::to_string(cli::runCommandLine(line, console));
    std::ifstream trace(folder.path / "trace.txt");
    for (std::string entry; std::getline(trace, entry);) {
        if (const auto at = entry.find(" call ord="); at != std::string::npos) {
            run.calls.push_back(std::stoul(entry.substr(at + 10)));
        }
        if (const auto at = entry.find(" frame="); at != std::string::npos) {
            run.sent.push_back(std::stoul(entry.substr(at + 7, 2), nullptr, 16));
        }
    }
    EXPECT_TRUE(spoilt(fault, run.sent).empty() || run.cell != "exit 0");
    return run;
}

Sequence onCommandLine(std::vector<std::string> args) {
    return {"brenvik " + args.front(), true, std::bind_front(runCommandLine, args)};
}

const std::vector<Sequence> kSequences{
    inWindow("Connect Device", true, [](Rig& r) { operations::connectDevice(r.ctx); }),
    inWindow("silent reconnect", false, [](Rig& r) { operations::silentReconnect(r.ctx); }),
    inWindow("monitor tick", false, monitorTick),
    applyWith("APPLY charge", {0}),
    applyWith("APPLY AC delay", {1}),
    applyWith("APPLY system delay", {2}),
    applyWith("APPLY battery reset", {3}),
    applyWith("APPLY fault reset", {4}),
    applyWith("APPLY date", {5}),
    applyWith("APPLY all six", {0, 1, 2, 3, 4, 5}),
    onCommandLine({"status"}),
    onCommandLine({"read", "--config", "read.ini"}),
    onCommandLine({"apply", "--config", "apply.ini", "--yes"}),
};

// Every fault that can meet a sequence whose clean run made these calls and sent these commands.
std::vector<Fault> faultsFor(bool connecting, const Outcome& clean, bool countUntouched) {
    const auto n = [](auto value) { return std::to_string(value); };
    std::vector<Fault> faults{kNone};
    std::map<std::uint32_t, std::uint32_t> occurrences;
    for (const std::uint32_t ordinal : clean.calls) {
        const std::uint32_t k = ++occurrences[ordinal];
        faults.push_back({"fail_call = " + n(ordinal) + "@" + n(k),
                          [=](std::size_t i, const Sent&) { return ordinal == 33 && i + 1 == k; }});
    }
    if (connecting) {
        faults.push_back({"count_zero = yes", kNone.hits});
        faults.push_back({"device = Bridge B | 1 | 1\ndevice = Quad C | 2 | 2", kNone.hits});
    }
    for (const std::uint8_t code : std::set<std::uint8_t>(clean.sent.begin(), clean.sent.end())) {
        const auto add = [&](const char* kind, const std::string& value) {
            faults.push_back({std::string(kind) + " = " + value,
                              [code](std::size_t i, const Sent& s) { return s[i] == code; }});
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
    std::map<std::uint8_t, std::uint32_t> seen;
    for (std::size_t at = 0; at < clean.sent.size(); ++at) {
        const std::uint8_t code = clean.sent[at];
        faults.push_back({"unplug_at = " + n(code) + "@" + n(++seen[code]),
                          [at](std::size_t i, const Sent&) { return i >= at; }});
    }
    return faults;
}

// The road to the bridge: the stand-in library, or the serial engine over the command decoder.
class FaultMatrix : public ::testing::TestWithParam<bool> {};

TEST_P(FaultMatrix, EverySequenceUnderEveryFaultKeepsItsPromises) {
    const bool throughEngine = GetParam();
    // The serial engine always reports the count it delivered.
    for (const bool countUntouched :
         throughEngine ? std::vector{false} : std::vector{false, true}) {
        for (const Sequence& sequence : kSequences) {
            SCOPED_TRACE(sequence.name + (countUntouched ? ", count left alone" : ""));
            const Outcome clean = sequence.run(countUntouched, throughEngine, kNone, {});
            ASSERT_TRUE(clean.cell == "Pass" || clean.cell == "exit 0") << clean.cell;
            const std::vector<Outcome> references{
                clean, sequence.run(countUntouched, throughEngine, kMute, {})};
            for (const Fault& fault : faultsFor(sequence.connecting, clean, countUntouched)) {
                SCOPED_TRACE(fault.text);
                ASSERT_NO_THROW(sequence.run(countUntouched, throughEngine, fault, references));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, FaultMatrix, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "SerialEngine" : "StandIn"; });

} // namespace
} // namespace brenvik
