// Every sequence the program runs against the supply, under every fault the virtual bridge and
// supply can play, on a library that reports the delivered-byte count and on one that leaves it
// alone, and through the serial engine on a bridge played by the command decoder. Invariants
// are checked on each run rather than each path restated. Then the command line's roads to the
// bridge: the serial engine on a played bridge against the stand-in, several bridges at once,
// replay of recorded traces, a bridge another process holds, `brenvik serve`, and the one-line
// refusals.

#include "cli/commands.h"
#include "device/commands.h"
#include "operations/apply.h"
#include "operations/configuration.h"
#include "operations/connection.h"
#include "operations/monitoring.h"
#include "operations/panel.h"
#include "serial_engine/bridge_decoder.h"
#include "serial_engine/serial_engine.h"
#include "serial_engine/virtual_bridge_bus.h"
#include "serve/board.h"
#include "serve/command.h"
#include "serve/json.h"
#include "serve/operations_source.h"
#include "serve/web_face.h"
#include "shell/window_face.h"
#include "tests/support/command_line.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_folder.h"
#include "usb_pipes/ftdi_bus.h"
#include "virtual_supply/bridge_locks.h"
#include "virtual_supply/scenario.h"
#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <httplib.h>
#include <map>
#include <netinet/in.h>
#include <regex>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using Sent = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

using testing::CommandLine;
using testing::Result;

constexpr const char* kAllSix =
    "[SystemParameter]\nAcFltDelayHr=1\nAcFltDelayMin=2\nAcFltDelaySec=3\nSysFltDelaySec=40\n"
    "ICharge=2\nInstallMM=7\nInstallDD=18\nInstallYYYY=2011\nbChargeCurrent=1\nbAcFltDelay=1\n"
    "bSysFltDelay=1\nbResetBatCon=1\nbResetFaultCounts=1\nbInstallDate=1\n";

// Never read from a supply: the last-read settings before any sequence ran.
constexpr monitor::LastReadSettings kUnread{200, 200, 200, 200, 200, 200, 200};
// The supply's stored settings as the program keeps them after reading them.
constexpr monitor::LastReadSettings kSupplyRead{3, 2, 15, 30, 7, 8, 9};

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
    monitor::LastReadSettings lastRead = kUnread;
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
        state.files = {
            folder.write("Brenvik.ini", "[SystemParameter]\nAcFltDelayHr=11\nICharge=1\n"),
            folder.path / "Brenvik.ini"};
        window.setComboItems(1003, {"Default Charge Current", "1/2 Default Charge Current",
                                    "1/4 Default Charge Current", "1/8 Default Charge Current"});
        model.settings = {5, 0, 0, 0, 0, 0, 0, 7, 18, 2011}; // AC fault hours 5, 7/18/2011
        face.showPanel(model);
        bridge.supply().state().settings = {30, 15, 2, 9, 8, 7, 3};
        bridge.supply().setReadingJitter(0, 1);
        bridge.faults().countUntouched = countUntouched;
        state.monitor.lastRead = kUnread;
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
        EXPECT_TRUE(rig.state.link.linkOk);
    } else if (history.size() < 2 || !history[history.size() - 2].starts_with("Pass, Rest")) {
        EXPECT_FALSE(rig.state.link.linkOk) << rig.window.statusText();
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
                      rig.shown(), rig.state.monitor.lastRead};
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

// Runs a `brenvik` sub-command against the virtual supply (F/ names its fresh folder): a spoilt
// exchange never exits 0. Calls and commands come from the trace.
Outcome runCommandLine(const std::string& args, bool countUntouched, bool throughEngine,
                       const Fault& fault, const std::vector<Outcome>&) {
    CommandLine command;
    command.host = {std::nullopt, command.folder / "state.txt", command.folder / "trace.txt"};
    command.folder.write("apply.ini", kAllSix);
    const std::string scenario =
        command.scenario((countUntouched ? "count_untouched = yes\n" : "") + fault.text + "\n");
    const std::string line = "--virtual " + scenario + " --backend " +
                             (throughEngine ? "virtual-bridge " : "virtual ") + args;
    Outcome run;
    run.cell = "exit " + std::to_string(command.run(line).code);
    std::istringstream trace(command.folder.read("trace.txt"));
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

Sequence onCommandLine(const std::string& args) {
    return {"brenvik " + args.substr(0, args.find(' ')), true,
            std::bind_front(runCommandLine, args)};
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
    onCommandLine("status"),
    onCommandLine("read --config F/read.ini"),
    onCommandLine("apply --config F/apply.ini --yes"),
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

struct Roads : ::testing::Test, CommandLine {};

TEST_F(Roads, SerialEngineOnThePlayedBridgeSendsTheStandInsFramesRepliesAndWaits) {
    const std::string unit = folder.write("unit.ini", kAllSix);
    for (const std::string& command :
         Strings{"status", "monitor --count 60", "apply --yes --config " + unit}) {
        SCOPED_TRACE(command);
        const auto played = [&](const std::string& road) {
            fs::remove(path("t.txt"));
            clock.waits.clear();
            const Result result = run("--virtual " + scenario() + " --backend " + road +
                                      " --trace " + path("t.txt") + " " + command);
            EXPECT_EQ(result.code, 0) << result.err;
            // The serial engine's own 5 ms pause before each transfer on a two-channel bridge.
            std::erase(clock.waits, 5ms);
            // The trace's frames, replies and statuses, without the times.
            return std::pair(std::regex_replace(folder.read("t.txt"),
                                                std::regex("^\\S+ ", std::regex::multiline), ""),
                             clock.waits);
        };
        const auto direct = played("virtual");
        EXPECT_NE(direct.first, "");
        EXPECT_EQ(played("virtual-bridge"), direct);
    }
}

TEST_F(Roads, ListAndApplyAllSeeEveryBridgeAndAnUnplugFailsOnlyItsRow) {
    const std::string bench =
        scenario("control_file = control.txt\ndevice = Bench A | 0x111 | 1\n"
                 "device = Bench A | 0x112 | 1\ndevice = Bench A | 0x113 | 1\n");
    const Result list = run("--virtual " + bench + " list");
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(
        list.out,
        "index  serial       location     type       channel  description               "
        "backend\n"
        "0      VB000111A    0x111        2-channel  A        Bench A                   virtual\n"
        "1      VB000112A    0x112        2-channel  A        Bench A                   virtual\n"
        "2      VB000113A    0x113        2-channel  A        Bench A                   virtual\n");
    const Result json = run("--virtual " + bench + " --backend virtual-bridge list --json");
    EXPECT_EQ(json.code, 0) << json.err;
    const std::string unit =
        R"({"backend":"virtual-bridge","channel":"A","description":"Bench A",)";
    EXPECT_EQ(
        json.out,
        "[" + unit + R"("index":0,"location":"0x111","serial":"VB000111A","type":"2-channel"},)" +
            unit + R"("index":1,"location":"0x112","serial":"VB000112A","type":"2-channel"},)" +
            unit + R"("index":2,"location":"0x113","serial":"VB000113A","type":"2-channel"}])" +
            "\n");

    folder.write("control.1.txt", "unplug_at = 2@1\n");
    const std::string ini = folder.write("unit.ini", kAllSix);
    for (const std::string road : {"virtual", "virtual-bridge"}) {
        SCOPED_TRACE(road);
        fs::remove(path("report.csv"));
        const Result result =
            run("--virtual " + bench + " --backend " + road + " apply --all --yes --config " + ini +
                " --report " + path("report.csv"));
        EXPECT_EQ(result.code, 2);
        EXPECT_TRUE(result.out.ends_with("unit 0 VB000111A: ok\nunit 1 VB000112A: failed, exit 2\n"
                                         "unit 2 VB000113A: ok\n"))
            << result.out;
        const std::string failed = "communication failed: settings write; battery timer reset; "
                                   "fault count reset; installation date (the bridge vanished "
                                   "from the USB)";
        EXPECT_EQ(result.err, "[VB000112A] brenvik: " + failed + "\n");
        std::istringstream rows(folder.read("report.csv"));
        Strings verdicts;
        for (std::string row; std::getline(rows, row);) {
            verdicts.push_back(row.substr(row.find(",VB") + 1));
        }
        std::sort(verdicts.begin(), verdicts.end());
        EXPECT_EQ(verdicts,
                  (Strings{"VB000111A,verified", "VB000112A," + failed, "VB000113A,verified",
                           "time,part_number,firmware,power_up_hours,settings_before,"
                           "settings_after,actions,bridge,verify"}));
    }
}

TEST_F(Roads, StatusTraceReplaysToTheSameOutputAndAChangedReplyIsReportedWhereItLeads) {
    const Result recorded =
        run("--virtual " + scenario() + " --trace " + path("t.txt") + " status");
    ASSERT_EQ(recorded.code, 0) << recorded.err;
    run("--virtual " + scenario() + " --backend virtual-bridge --usb-trace " + path("u.txt") +
        " status");
    for (const std::string trace : {"t.txt", "u.txt"}) {
        const Result replayed = run("--virtual --replay " + path(trace) + " status");
        EXPECT_EQ(replayed.code, 0) << replayed.err;
        EXPECT_EQ(replayed.out, recorded.out);
    }
    // The supply's acknowledgement of command 3 changed from 55 to 54: the read-back stops there.
    std::string changed = folder.read("t.txt");
    changed.replace(changed.find("reply 55"), 8, "reply 54");
    const Result replayed = run("--virtual --replay " + folder.write("c.txt", changed) + " status");
    EXPECT_EQ(replayed.code, 2);
    EXPECT_EQ(replayed.err, "brenvik: communication failed: the supply did not answer the "
                            "read-back\nbrenvik: replay: frame 2 (04 55) of the recording was "
                            "never sent\n");
    // An apply whose settings echo changed: the confirm is not sent, the battery reset is.
    const std::string apply = " apply --yes --config " + folder.write("unit.ini", kAllSix);
    run("--virtual " + scenario() + " --trace " + path("a.txt") + apply);
    changed = folder.read("a.txt");
    changed.replace(changed.find("reply 55 03 02 01"), 11, "reply 55 04");
    const Result failed = run("--virtual --replay " + folder.write("c.txt", changed) + apply);
    EXPECT_EQ(failed.code, 2);
    EXPECT_TRUE(failed.err.ends_with("brenvik: replay: frame 12 differs from the recording: sent "
                                     "05 55, recorded 02 55 03 02 01 28 00 00 02 00 00\n"))
        << failed.err;
}

TEST_F(Roads, EachFailureIsOneLineWithItsExitCode) {
    // No played bridge, or one whose supply answers in full, not at all or by vanishing at the
    // read-back's first chunk, or one that never synchronises; or libftdi itself, with no bridge.
    enum Bridge { none, full, nothing, vanish, silent, libftdi } bridge = none;
    vsupply::VirtualSupply supply(vsupply::Scenario::plausibleSupply());
    hardwareBus = [&](cli::Backend) -> std::unique_ptr<engine::BridgeBus> {
        if (bridge == none) {
            return nullptr;
        }
        if (bridge == libftdi) {
            return std::make_unique<usbpipes::FtdiBus>();
        }
        auto bus = std::make_unique<engine::DecoderBus>();
        engine::BridgeDecoder& decoder = bus->add(
            engine::decoderChannel(), [&](std::span<const std::uint8_t> frame,
                                          std::span<std::uint8_t> reply, std::size_t& delivered) {
                const auto bytes = supply.exchange(frame, reply.size());
                std::copy(bytes.begin(), bytes.end(), reply.begin());
                delivered = frame[0] == 4 && bridge == nothing ? 0 : bytes.size();
                return !(frame[0] == 4 && bridge == vanish);
            });
        if (bridge == silent) {
            decoder.stopAnswering();
        }
        return bus;
    };
    serve::Board busyBoard({}, 1h);
    serve::WebFace busy(busyBoard);
    ASSERT_EQ(busy.bind({"127.0.0.1", 0}), std::nullopt);
    const std::string port = std::to_string(busy.port());
    fs::create_directories(folder / "blocked" / "brenvik-0x121.csv");
    const std::string serve = "--virtual " + scenario() + " serve ";
    const std::string failed = "communication failed: the ";
    const std::vector<std::tuple<std::string, Bridge, int, std::string>> cases{
        {serve + "--listen 9731", none, 4, "--listen: expected ADDRESS:PORT, got '9731'"},
        {serve + "--listen 127.0.0.1:" + port, none, 4,
         "cannot listen on 127.0.0.1:" + port + ": Address already in use"},
        {serve + "--csv " + path("missing"), none, 4, path("missing") + ": not a folder"},
        {serve + "--csv " + path("blocked"), none, 4,
         path("blocked") + "/brenvik-0x121.csv: cannot be written"},
        {serve + "--device 0x999", none, 1,
         "no device: no bridge named '0x999'; found USB SPI Bridge A (0x121)"},
        {"--backend libftdi list", none, 1, "libftdi is not available on this system"},
        {"--backend serial list", none, 4,
         "unknown backend serial; one of auto, ftcspi, d2xx, libftdi, virtual, virtual-bridge"},
        {"--backend libftdi --device VB999 status", full, 1,
         "no bridge VB999 with channel \"A\"; `brenvik list` shows the bridges found"},
        {"--virtual --usb-trace " + path("u.txt") + " status", none, 4,
         "--usb-trace needs a road through the serial engine: d2xx, libftdi or virtual-bridge"},
        {"--replay " + path("none.txt") + " status", none, 4, "--replay needs --virtual"},
        {"--virtual apply --all --config x.ini", none, 4,
         "apply --all writes every unit at once: give --yes"},
        {"--virtual status --all --device 0x121", none, 4, "--all and --device exclude each other"},
        {"--backend libftdi --device 1-1 status", nothing, 2,
         failed + "supply did not answer the read-back (the bridge did not answer in time)"},
        {"--backend libftdi status", vanish, 2,
         failed + "supply did not answer the read-back (the bridge vanished from the USB)"},
        {"--backend libftdi status", silent, 2,
         failed + "bridge could not be set up (the bridge did not synchronise)"},
        {"--backend libftdi list", libftdi, 1, "no bridge found"},
    };
    for (const auto& [line, played, code, err] : cases) {
        bridge = played;
        clock.waits.clear();
        const Result result = run(line);
        EXPECT_EQ(result.code, code) << line;
        EXPECT_EQ(result.err, "brenvik: " + err + "\n");
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(played != none || clock.waits.empty()) << line; // it ended before any poll
    }
}

// Ctrl+C before the server listens still ends it, with every chosen supply's file made.
TEST_F(Roads, ServeServesUntilStopped) {
    interrupted = true;
    fs::create_directories(folder / "csv");
    scenario();
    const Result result = run("--virtual S serve --csv F/csv --listen [::1]:0 --all");
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(std::regex_replace(result.out, std::regex(":\\d+/"), ":PORT/"),
              "Serving 1 supply on http://[::1]:PORT/ (Ctrl+C ends)\nStopped.\n");
    EXPECT_TRUE(fs::exists(folder / "csv" / "brenvik-0x121.csv"));
    EXPECT_NE(run("serve --help")
                  .out.find("  --listen ADDRESS:PORT       Address and port to answer on (default "
                            "127.0.0.1:9731; 0.0.0.0:PORT for every interface)\n"
                            "  --interval FLOAT:POSITIVE   Seconds between polls (default 1)\n"
                            "  --device NAME|LOCATION ... Excludes: --all\n"
                            "                              Serve the bridge with this name or "
                            "location (repeatable; default: the first found)\n"
                            "  --all Excludes: --device    Serve every bridge found\n"
                            "  --csv DIR                   Append one row per poll to "
                            "DIR/brenvik-LOCATION.csv\n"
                            "  --retention HOURS:POSITIVE  Hours of readings kept in memory "
                            "(default 24)\n"),
              std::string::npos);
}

// Serving goes on until Ctrl+C: a client fetches the supply's status meanwhile.
TEST_F(Roads, ServeAnswersUntilCtrlC) {
    // A port the system has free: bound, read and let go again.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bound = ::bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                       ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    ::close(probe);
    ASSERT_TRUE(bound);
    const int port = ntohs(address.sin_port);
    std::atomic<bool> answered{false}, ended{false};
    std::thread client([&] {
        httplib::Client fetch("127.0.0.1", port);
        fetch.set_connection_timeout(1s);
        for (int attempt = 0; attempt < 250 && !answered && !ended; ++attempt) {
            const auto got = fetch.Get("/api/status");
            answered = got && got->status == 200;
            std::this_thread::sleep_for(20ms);
        }
        interrupted = true;
    });
    scenario();
    const std::string at = "127.0.0.1:" + std::to_string(port);
    const Result result = run("--virtual S serve --interval 0.05 --device 0x121 --listen " + at);
    ended = true;
    client.join();
    EXPECT_EQ(result.out, "Serving 1 supply on http://" + at + "/ (Ctrl+C ends)\nStopped.\n");
    EXPECT_TRUE(answered) << result.err;
}

TEST_F(Roads, ServesStatusObjectIsWhatStatusJsonPrints) {
    const Result status = run("--virtual " + scenario() + " status --json");
    ASSERT_EQ(status.code, 0) << status.err;
    std::ostringstream out, err;
    cli::Console made = console(out, err);
    auto opened = serve::openSupplies({true, path("scenario.txt"), ""}, made);
    auto& source = *std::get<std::unique_ptr<serve::OperationsSupplySource>>(opened);
    ASSERT_EQ(source.supplies().size(), 1u);
    const serve::PollOutcome outcome = source.poll(0);
    ASSERT_TRUE(outcome.reading) << outcome.failure;
    EXPECT_EQ(serve::statusObject(*outcome.reading), nlohmann::json::parse(status.out));
}

// The installed library's road lists each channel the library can describe (not the third, whose
// description call fails), in the library's own numbers, and talks to the one chosen through it.
TEST_F(Roads, TheInstalledLibraryListsWhatItDescribesAndReadsTheChosenSupply) {
    installed = [] {
        auto bridge = std::make_unique<vsupply::VirtualBridge>(
            std::vector<vsupply::DeviceEntry>{{"Bench A", 0x111, 1},
                                              {"Rack A", 0x1A4, 2},
                                              {"Bench A", 0x112, 1},
                                              {"Bench B", 0x1A3, 2}});
        bridge->faults().failingCalls.push_back({21, 3});
        return cli::InstalledLibrary(std::move(bridge));
    };
    // `list` adds the bridges the roads to real bridges see; the others keep to one road.
    vsupply::VirtualSupply supply(vsupply::Scenario::plausibleSupply());
    hardwareBus = [&supply](cli::Backend) -> std::unique_ptr<engine::BridgeBus> {
        auto bus = std::make_unique<engine::DecoderBus>();
        bus->add(engine::decoderChannel(), &supply);
        return bus;
    };
    EXPECT_EQ(
        run("list").out,
        "index  serial       location     type       channel  description               backend\n"
        "0                   0x111        2-channel  A        Bench A                   ftcspi\n"
        "1                   0x1A4        4-channel  A        Rack A                    ftcspi\n"
        "2                   0x1A3        4-channel  B        Bench B                   ftcspi\n"
        "3      VB000001A    1-1          2-channel  A        USB SPI Bridge A          d2xx\n"
        "4      VB000001A    1-1          2-channel  A        USB SPI Bridge A          libftdi\n");
    const Result status = run("--device 0x1A4 status");
    EXPECT_EQ(status.code, 0) << status.err;
    EXPECT_NE(status.out.find("Part number:"), std::string::npos) << status.out;
    // Without the library, `auto` takes the first road to real bridges there is.
    installed = [] { return cli::InstalledLibrary(cli::LibraryNotFound{"FTCSPI.dll", {}}); };
    EXPECT_EQ(run("status").code, 0);
}

// The lock files stand for the processes: each bridge takes its locks through its own open files,
// as another process would. A channel another process holds is listed at location 0, refused,
// and `brenvik status` says so, until it is closed; a library that is refused is never called.
TEST_F(Roads, AChannelAnotherProcessHoldsIsListedAtLocationZeroAndRefusedUntilClosed) {
    host.lockFolder = folder.path;
    vsupply::VirtualBridge window;
    vsupply::VirtualBridge other;
    window.shareWith(vsupply::lockFiles(folder.path));
    other.shareWith(vsupply::lockFiles(folder.path));
    // Opens channel "A" of the default bridge as the program does, after listing it.
    const auto open = [](vsupply::VirtualBridge& bridge, device::FtcHandle& handle) {
        char name[101] = {}, channel[5] = {};
        std::uint32_t location = 7, type = 0;
        bridge.getHiSpeedDeviceNameLocIdChannel(0, name, 100, &location, channel, 5, &type);
        char a[] = "A";
        return std::pair(location, bridge.openHiSpeedDevice("USB SPI Bridge A", 0x121, a, &handle));
    };
    device::FtcHandle held = 0, refusedHandle = 0;
    EXPECT_EQ(open(window, held), std::pair(0x121u, 0u));
    EXPECT_EQ(open(other, refusedHandle), std::pair(0u, 27u));
    class Refused final : public vsupply::VirtualBridge {
    public:
        std::string refusal() const override { return "FTCSPI.dll: ordinal 5 carries no name"; }
    };
    auto refused = std::make_unique<Refused>();
    std::vector<std::string> calls;
    refused->setTrace([&](std::string_view call) { calls.emplace_back(call); });
    installed = [&] { return std::move(refused); };
    const auto status = [&](const std::string& line) {
        const Result result = run(line);
        return std::to_string(result.code) + " " + result.out + result.err;
    };

    EXPECT_EQ(status("status"), "1 brenvik: FTCSPI.dll: ordinal 5 carries no name\n");
    EXPECT_EQ(calls, Strings{});
    EXPECT_EQ(status("--virtual status"),
              "1 brenvik: no device: the bridge is in use by another program\n");
    ASSERT_EQ(window.closeDevice(held), 0u);
    EXPECT_EQ(status("--virtual status").substr(0, 2), "0 ");
    EXPECT_EQ(open(other, refusedHandle), std::pair(0x121u, 0u));
}

} // namespace
} // namespace brenvik
