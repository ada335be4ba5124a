// The command line's roads to the bridge: the serial engine on a played bridge against the
// stand-in, several bridges at once, replay of recorded traces, and the one-line refusals.

#include "cli/commands.h"
#include "serial_engine/bridge_decoder.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_folder.h"
#include "usb_pipes/ftdi_bus.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace brenvik::cli {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// A decoder bus the test keeps, handed to the command line as the libftdi road's bus.
class LentBus final : public engine::BridgeBus {
public:
    explicit LentBus(engine::BridgeBus& bus) : bus_(bus) {}
    engine::PipeStatus enumerate(std::vector<engine::BridgeChannel>& channels) override {
        return bus_.enumerate(channels);
    }
    std::unique_ptr<engine::BytePipe> open(engine::OpenBy by, std::string_view key,
                                           engine::PipeStatus& status) override {
        return bus_.open(by, key, status);
    }
    std::string lastError() const override { return bus_.lastError(); }

private:
    engine::BridgeBus& bus_;
};

struct Result {
    int code;
    std::string out;
    std::string err;
};

class Roads : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string write(const std::string& name, const std::string& text) const {
        return dir_.write(name, text);
    }
    std::string read(const std::string& name) const { return dir_.read(name); }
    std::string scenario(const std::string& extra = "") const {
        return write("scenario.txt", "hour_length_ms = 0\njitter = 0\n" + extra);
    }

    Result run(const Strings& args) {
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
        const int code = runCommandLine(args, console);
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
    testing::TempFolder dir_{"brenvik-roads"};
};

constexpr const char* kAllSix =
    "[SystemParameter]\nAcFltDelayHr=1\nAcFltDelayMin=2\nAcFltDelaySec=3\nSysFltDelaySec=40\n"
    "ICharge=2\nInstallMM=7\nInstallDD=18\nInstallYYYY=2011\nbChargeCurrent=1\nbAcFltDelay=1\n"
    "bSysFltDelay=1\nbResetBatCon=1\nbResetFaultCounts=1\nbInstallDate=1\n";

TEST_F(Roads, SerialEngineOnThePlayedBridgeSendsTheStandInsFramesRepliesAndWaits) {
    write("unit.ini", kAllSix);
    const std::vector<Strings> commands{
        {"status"}, {"monitor", "--count", "60"}, {"apply", "--config", path("unit.ini"), "--yes"}};
    for (const Strings& command : commands) {
        SCOPED_TRACE(command.front());
        std::map<std::string, std::pair<std::string, std::vector<std::chrono::milliseconds>>> seen;
        for (const std::string road : {"virtual", "virtual-bridge"}) {
            fs::remove(path(road + ".txt"));
            clock.waits.clear();
            Strings args{"--virtual", scenario(), "--backend",
                         road,        "--trace",  path(road + ".txt")};
            args.insert(args.end(), command.begin(), command.end());
            const Result result = run(args);
            ASSERT_EQ(result.code, 0) << result.err;
            // The serial engine's own 5 ms pause before each transfer on a two-channel bridge.
            std::erase(clock.waits, std::chrono::milliseconds(5));
            seen[road] = {exchanges(road + ".txt"), clock.waits};
        }
        EXPECT_NE(seen["virtual"].first, "");
        EXPECT_EQ(seen["virtual-bridge"].first, seen["virtual"].first);
        EXPECT_EQ(seen["virtual-bridge"].second, seen["virtual"].second);
    }
}

TEST_F(Roads, UsbTraceShowsTheLibrarysBytes) {
    const Result result = run({"--virtual", scenario(), "--backend", "virtual-bridge",
                               "--usb-trace", path("usb.txt"), "status"});
    ASSERT_EQ(result.code, 0) << result.err;
    const std::string usb =
        std::regex_replace(read("usb.txt"), std::regex("^\\d+ ", std::regex::multiline), "");
    EXPECT_TRUE(usb.starts_with("write AA\nread FA AA\nwrite AB\nread FA AB\nwrite 8A 97 8D\n"
                                "write 80 00 FB 82 FF FF 86 2B 01 85\n"))
        << usb;
    EXPECT_NE(usb.find("write 83 87\nread 00\n"
                       "write 80 00 FB 11 00 00 03 13 07 55 26 07 80 08 FB 87\nread 55\n"),
              std::string::npos);
    EXPECT_NE(usb.find("write 80 00 FB 11 00 00 04 13 07 55 24 0A 00 26 07 80 08 FB 87\n"
                       "read 39 30 00 03 00 01 00 38 22 00 00 05\n"),
              std::string::npos);
}

TEST_F(Roads, AllProgramsEveryBridgeAndAnUnplugFailsOnlyItsRow) {
    const std::string bench =
        scenario("control_file = control.txt\ndevice = Bench A | 0x111 | 1\n"
                 "device = Bench A | 0x112 | 1\ndevice = Bench A | 0x113 | 1\n"
                 "device = Bench A | 0x114 | 1\n");
    write("control.2.txt", "unplug_at = 2@1\n");
    for (const std::string road : {"virtual", "virtual-bridge"}) {
        SCOPED_TRACE(road);
        fs::remove(path("report.csv"));
        const Result result =
            run({"--virtual", bench, "--backend", road, "apply", "--all", "--yes", "--config",
                 write("unit.ini", kAllSix), "--report", path("report.csv")});
        EXPECT_EQ(result.code, 2);
        EXPECT_TRUE(result.out.ends_with("unit 0 VB000111A: ok\nunit 1 VB000112A: ok\n"
                                         "unit 2 VB000113A: failed, exit 2\n"
                                         "unit 3 VB000114A: ok\n"))
            << result.out;
        const std::string failed = "communication failed: settings write; battery timer reset; "
                                   "fault count reset; installation date";
        EXPECT_EQ(result.err, "[VB000113A] brenvik: " + failed +
                                  " (the bridge vanished from "
                                  "the USB)\n");
        std::istringstream rows(read("report.csv"));
        std::vector<std::string> verdicts;
        std::string header;
        std::getline(rows, header);
        for (std::string row; std::getline(rows, row);) {
            verdicts.push_back(row.substr(row.find(",VB") + 1));
        }
        std::sort(verdicts.begin(), verdicts.end());
        EXPECT_EQ(verdicts, (Strings{"VB000111A,verified", "VB000112A,verified",
                                     "VB000113A," + failed + " (the bridge vanished from the USB)",
                                     "VB000114A,verified"}));
    }
}

TEST_F(Roads, StatusTraceReplaysToTheSameOutputAndAChangedReplyIsReportedWhereItLeads) {
    const Result recorded = run({"--virtual", scenario(), "--trace", path("t.txt"), "status"});
    ASSERT_EQ(recorded.code, 0) << recorded.err;
    const Result usb = run({"--virtual", scenario(), "--backend", "virtual-bridge", "--usb-trace",
                            path("u.txt"), "status"});
    for (const std::string trace : {"t.txt", "u.txt"}) {
        const Result replayed = run({"--virtual", "--replay", path(trace), "status"});
        EXPECT_EQ(replayed.code, 0) << replayed.err;
        EXPECT_EQ(replayed.out, recorded.out);
    }
    // The supply's acknowledgement of command 3 changed from 55 to 54: the read-back stops there.
    std::string changed = read("t.txt");
    changed.replace(changed.find("reply 55"), 8, "reply 54");
    const Result replayed = run({"--virtual", "--replay", write("c.txt", changed), "status"});
    EXPECT_EQ(replayed.code, 2);
    EXPECT_EQ(replayed.err, "brenvik: communication failed: the supply did not answer the "
                            "read-back\nbrenvik: replay: frame 2 (04 55) of the recording was "
                            "never sent\n");
    // An apply whose settings echo changed: the confirm is not sent, the battery reset is.
    write("unit.ini", kAllSix);
    run({"--virtual", scenario(), "--trace", path("a.txt"), "apply", "--yes", "--config",
         path("unit.ini")});
    changed = read("a.txt");
    changed.replace(changed.find("reply 55 03 02 01"), 11, "reply 55 04");
    const Result apply = run({"--virtual", "--replay", write("c.txt", changed), "apply", "--yes",
                              "--config", path("unit.ini")});
    EXPECT_EQ(apply.code, 2);
    EXPECT_TRUE(apply.err.ends_with("brenvik: replay: frame 12 differs from the recording: sent "
                                    "05 55, recorded 02 55 03 02 01 28 00 00 02 00 00\n"))
        << apply.err;
}

TEST_F(Roads, EachFailureIsOneLineWithItsExitCode) {
    // A played bridge whose supply answers as asked: in full, not at all, or by vanishing.
    enum class Answer { full, nothing, vanish } answer = Answer::full;
    vsupply::VirtualSupply supply(vsupply::Scenario::plausibleSupply());
    engine::DecoderBus bus;
    engine::BridgeDecoder& decoder = bus.add(
        engine::decoderChannel(), [&](std::span<const std::uint8_t> frame,
                                      std::span<std::uint8_t> reply, std::size_t& delivered) {
            const auto bytes = supply.exchange(frame, reply.size());
            std::copy(bytes.begin(), bytes.end(), reply.begin());
            // The read-back's first chunk is the one that goes wrong.
            const bool spoilt = frame[0] == 4;
            delivered = spoilt && answer == Answer::nothing ? 0 : bytes.size();
            return !(spoilt && answer == Answer::vanish);
        });
    struct Case {
        Strings args;
        std::function<void()> fault;
        bool bus; // the libftdi road reaches the played bridge
        int code;
        std::string err;
    };
    const std::vector<Case> cases{
        {{"--backend", "libftdi", "list"},
         [] {},
         false,
         1,
         "libftdi is not available on this system"},
        {{"--backend", "serial", "list"},
         [] {},
         false,
         4,
         "unknown backend serial; one of auto, ftcspi, d2xx, libftdi, virtual, virtual-bridge"},
        {{"--backend", "libftdi", "--device", "VB999", "status"},
         [] {},
         true,
         1,
         "no bridge VB999 with channel \"A\"; `brenvik list` shows the bridges found"},
        {{"--virtual", "--usb-trace", path("u.txt"), "status"},
         [] {},
         false,
         4,
         "--usb-trace needs a road through the serial engine: d2xx, libftdi or virtual-bridge"},
        {{"--replay", path("none.txt"), "status"}, [] {}, false, 4, "--replay needs --virtual"},
        {{"--virtual", "apply", "--all", "--config", "x.ini"},
         [] {},
         false,
         4,
         "apply --all writes every unit at once: give --yes"},
        {{"--backend", "libftdi", "--device", "1-1", "status"},
         [&] { answer = Answer::nothing; },
         true,
         2,
         "communication failed: the supply did not answer the read-back (the bridge did not "
         "answer in time)"},
        {{"--backend", "libftdi", "status"},
         [&] { answer = Answer::vanish; },
         true,
         2,
         "communication failed: the supply did not answer the read-back (the bridge vanished "
         "from the USB)"},
        {{"--backend", "libftdi", "status"},
         [&] { decoder.stopAnswering(); },
         true,
         2,
         "communication failed: the bridge could not be set up (the bridge did not "
         "synchronise)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        c.fault();
        hardwareBus = [&](Backend) -> std::unique_ptr<engine::BridgeBus> {
            return c.bus ? std::make_unique<LentBus>(bus) : nullptr;
        };
        const Result result = run(c.args);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.err, "brenvik: " + c.err + "\n");
        EXPECT_EQ(result.out, "");
    }
}

TEST(FtdiRoad, WithoutABridgeListsNothingAndExitsOne) {
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    testing::FakeClock clock;
    testing::FakeTimer time{clock};
    const std::atomic<bool> interrupted{false};
    Console console{out,
                    err,
                    in,
                    clock,
                    time,
                    interrupted,
                    [](bool) {},
                    [] { return std::unique_ptr<device::AdapterLibrary>(); },
                    {std::nullopt, std::nullopt, std::nullopt},
                    [](Backend) { return std::make_unique<usbpipes::FtdiBus>(); }};
    EXPECT_EQ(runCommandLine({"--backend", "libftdi", "list"}, console), 1);
    EXPECT_TRUE(err.str().starts_with("brenvik: no bridge found")) << err.str();
    EXPECT_EQ(out.str(), "");
}

} // namespace
} // namespace brenvik::cli
