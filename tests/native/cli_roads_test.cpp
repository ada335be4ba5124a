// The command line's roads to the bridge: the serial engine on a played bridge against the
// stand-in, several bridges at once, replay of recorded traces, and the one-line refusals.

#include "cli/commands.h"
#include "serial_engine/bridge_decoder.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_folder.h"
#include "usb_pipes/ftdi_bus.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <sstream>

namespace brenvik::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

struct Result {
    int code;
    std::string out;
    std::string err;
};

class Roads : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (folder / name).string(); }
    std::string read(const std::string& name) const { return folder.read(name); }
    std::string scenario(const std::string& extra = "") const {
        return folder.write("scenario.txt", "hour_length_ms = 0\njitter = 0\n" + extra);
    }

    // Runs the words of `line`.
    Result run(const std::string& line) {
        std::istringstream words(line);
        std::ostringstream out;
        std::ostringstream err;
        std::istringstream in;
        Console console{out,
                        err,
                        in,
                        clock,
                        time,
                        interrupted,
                        [](bool) {},
                        [] { return std::unique_ptr<device::AdapterLibrary>(); },
                        {std::nullopt, std::nullopt, std::nullopt},
                        hardwareBus};
        console.unitClock = [] { return std::make_unique<testing::FakeClock>(); };
        const int code =
            runCommandLine(Strings(std::istream_iterator<std::string>(words), {}), console);
        return {code, out.str(), err.str()};
    }

    // The frames, replies and statuses of a transaction trace, without the times.
    std::string exchanges(const std::string& name) const {
        return std::regex_replace(read(name), std::regex("^\\S+ ", std::regex::multiline), "");
    }

    testing::FakeClock clock;
    testing::FakeTimer time{clock};
    std::atomic<bool> interrupted{false};
    std::function<std::unique_ptr<engine::BridgeBus>(Backend)> hardwareBus;
    testing::TempFolder folder{"brenvik-roads"};
};

constexpr const char* kAllSix =
    "[SystemParameter]\nAcFltDelayHr=1\nAcFltDelayMin=2\nAcFltDelaySec=3\nSysFltDelaySec=40\n"
    "ICharge=2\nInstallMM=7\nInstallDD=18\nInstallYYYY=2011\nbChargeCurrent=1\nbAcFltDelay=1\n"
    "bSysFltDelay=1\nbResetBatCon=1\nbResetFaultCounts=1\nbInstallDate=1\n";

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
            return std::pair(exchanges("t.txt"), clock.waits);
        };
        const auto direct = played("virtual");
        EXPECT_NE(direct.first, "");
        EXPECT_EQ(played("virtual-bridge"), direct);
    }
}

TEST_F(Roads, ListAndApplyAllSeeEveryBridgeAndAnUnplugFailsOnlyItsRow) {
    const std::string bench =
        scenario("control_file = control.txt\ndevice = Bench A | 0x111 | 1\n"
                 "device = Bench A | 0x112 | 1\ndevice = Bench A | 0x113 | 1\n"
                 "device = Bench A | 0x114 | 1\n");
    const Result list = run("--virtual " + bench + " list");
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(
        list.out,
        "index  serial       location     type       channel  description               "
        "backend\n"
        "0      VB000111A    0x111        2-channel  A        Bench A                   virtual\n"
        "1      VB000112A    0x112        2-channel  A        Bench A                   virtual\n"
        "2      VB000113A    0x113        2-channel  A        Bench A                   virtual\n"
        "3      VB000114A    0x114        2-channel  A        Bench A                   virtual\n");
    const Result json = run("--virtual " + bench + " --backend virtual-bridge list --json");
    EXPECT_EQ(json.code, 0) << json.err;
    const std::string unit =
        R"({"backend":"virtual-bridge","channel":"A","description":"Bench A",)";
    EXPECT_EQ(
        json.out,
        "[" + unit + R"("index":0,"location":"0x111","serial":"VB000111A","type":"2-channel"},)" +
            unit + R"("index":1,"location":"0x112","serial":"VB000112A","type":"2-channel"},)" +
            unit + R"("index":2,"location":"0x113","serial":"VB000113A","type":"2-channel"},)" +
            unit + R"("index":3,"location":"0x114","serial":"VB000114A","type":"2-channel"}])" +
            "\n");

    folder.write("control.2.txt", "unplug_at = 2@1\n");
    const std::string ini = folder.write("unit.ini", kAllSix);
    for (const std::string road : {"virtual", "virtual-bridge"}) {
        SCOPED_TRACE(road);
        fs::remove(path("report.csv"));
        const Result result =
            run("--virtual " + bench + " --backend " + road + " apply --all --yes --config " + ini +
                " --report " + path("report.csv"));
        EXPECT_EQ(result.code, 2);
        EXPECT_TRUE(result.out.ends_with("unit 0 VB000111A: ok\nunit 1 VB000112A: ok\n"
                                         "unit 2 VB000113A: failed, exit 2\n"
                                         "unit 3 VB000114A: ok\n"))
            << result.out;
        const std::string failed = "communication failed: settings write; battery timer reset; "
                                   "fault count reset; installation date (the bridge vanished "
                                   "from the USB)";
        EXPECT_EQ(result.err, "[VB000113A] brenvik: " + failed + "\n");
        std::istringstream rows(read("report.csv"));
        Strings verdicts;
        for (std::string row; std::getline(rows, row);) {
            verdicts.push_back(row.substr(row.find(",VB") + 1));
        }
        std::sort(verdicts.begin(), verdicts.end());
        EXPECT_EQ(verdicts, (Strings{"VB000111A,verified", "VB000112A,verified",
                                     "VB000113A," + failed, "VB000114A,verified",
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
    std::string changed = read("t.txt");
    changed.replace(changed.find("reply 55"), 8, "reply 54");
    const Result replayed = run("--virtual --replay " + folder.write("c.txt", changed) + " status");
    EXPECT_EQ(replayed.code, 2);
    EXPECT_EQ(replayed.err, "brenvik: communication failed: the supply did not answer the "
                            "read-back\nbrenvik: replay: frame 2 (04 55) of the recording was "
                            "never sent\n");
    // An apply whose settings echo changed: the confirm is not sent, the battery reset is.
    const std::string apply = " apply --yes --config " + folder.write("unit.ini", kAllSix);
    run("--virtual " + scenario() + " --trace " + path("a.txt") + apply);
    changed = read("a.txt");
    changed.replace(changed.find("reply 55 03 02 01"), 11, "reply 55 04");
    const Result failed = run("--virtual --replay " + folder.write("c.txt", changed) + apply);
    EXPECT_EQ(failed.code, 2);
    EXPECT_TRUE(failed.err.ends_with("brenvik: replay: frame 12 differs from the recording: sent "
                                     "05 55, recorded 02 55 03 02 01 28 00 00 02 00 00\n"))
        << failed.err;
}

TEST_F(Roads, EachFailureIsOneLineWithItsExitCode) {
    // No played bridge, or one whose supply answers in full, not at all or by vanishing at the
    // read-back's first chunk, or one that never synchronises.
    enum Bridge { none, full, nothing, vanish, silent } bridge = none;
    vsupply::VirtualSupply supply(vsupply::Scenario::plausibleSupply());
    hardwareBus = [&](Backend) -> std::unique_ptr<engine::BridgeBus> {
        if (bridge == none) {
            return nullptr;
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
    const std::string failed = "communication failed: the ";
    const std::vector<std::tuple<std::string, Bridge, int, std::string>> cases{
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
    };
    for (const auto& [line, played, code, err] : cases) {
        bridge = played;
        const Result result = run(line);
        EXPECT_EQ(result.code, code) << line;
        EXPECT_EQ(result.err, "brenvik: " + err + "\n");
        EXPECT_EQ(result.out, "");
    }

    // libftdi itself, with no bridge on this machine.
    hardwareBus = [](Backend) { return std::make_unique<usbpipes::FtdiBus>(); };
    const Result real = run("--backend libftdi list");
    EXPECT_EQ(real.code, 1);
    EXPECT_TRUE(real.err.starts_with("brenvik: no bridge found")) << real.err;
    EXPECT_EQ(real.out, "");
}

} // namespace
} // namespace brenvik::cli
