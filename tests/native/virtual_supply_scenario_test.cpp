#include "device/commands.h"
#include "virtual_supply/hosted_bridge.h"
#include "virtual_supply/scenario.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace brenvik::vsupply {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using device::plainFrame;
using Texts = std::vector<std::string>;

TEST(ScenarioText, EveryKeySetsItsPart) {
    Scenario s;
    const auto result = applyText(R"(# a full scenario
device = First | 0x10 | B | 2
device = Second | 17 | A | 1
dll_version = 3.1
model = 2
firmware = 15
ac_delay = 3:4:5
system_delay = 0:1:2
charge_selection = 3
install_date = 07/18/2011
power_up_hours = 16777215
battery_hours = 26001
ac_faults = 65535
system_faults = 9
status1 = 0x7F
status2 = 7
battery_reading = 204
output_reading = 1023
charge_reading = 0
charge_offset = 328
hour_length_ms = 0
jitter = 0
seed = 42
control_file = control.txt
plugged = no
count_zero = yes
fail_call = 28@3:5
fail_call = 22
no_ack = 3, 10
nonzero_confirm = 6
bad_checksum = yes
wrong_echo = 14:2
unplug_after = 7
plug_at = 10@2
)",
                                  s, KeySet::Scenario);
    EXPECT_EQ(result.errors, Texts{});
    EXPECT_EQ(s.devices, (std::vector<DeviceEntry>{{"First", 16, "B", 2}, {"Second", 17, "A", 1}}));
    EXPECT_EQ(s.dllVersion, "3.1");
    const std::array<std::uint8_t, 7> settings{5, 4, 3, 2, 1, 0, 3};
    const std::array<std::uint8_t, 4> date{7, 18, 20, 11};
    EXPECT_EQ(s.state, (SupplyState{settings, date, 0xFFFFFF, 26001, 65535, 9, 0x7F, 7, 204, 1023,
                                    0, 328, 2, 15}));
    EXPECT_EQ(s.hourLength, 0ms);
    EXPECT_EQ(s.readingJitter, 0);
    EXPECT_EQ(s.seed, 42u);
    EXPECT_EQ(s.controlFile, "control.txt");
    EXPECT_FALSE(s.plugged);
    const std::set<std::uint8_t> unacknowledged{3, 10};
    const std::map<std::uint8_t, std::size_t> wrongEcho{{14, 2}};
    EXPECT_EQ(s.supplyFaults, (SupplyFaults{unacknowledged, true, wrongEcho, {6}}));
    const std::vector<CallFailure> failing{{28, 3, 5}, {22, 0, kStatusIoError}};
    const std::vector<PlugEvent> plugEvents{{false, 7, 0, 1}, {true, 0, 10, 2}};
    EXPECT_EQ(s.bridgeFaults, (BridgeFaults{failing, true, plugEvents}));

    // The stored values, and only they, come back from the state text.
    Scenario back;
    EXPECT_EQ(applyText(stateText(s.state), back, KeySet::State).errors, Texts{});
    const auto stored = [](const SupplyState& st) {
        return std::tie(st.settings, st.installDate, st.powerUpHours, st.batteryHours,
                        st.acFaultCount, st.sysFaultCount);
    };
    EXPECT_EQ(stored(back.state), stored(s.state));
    EXPECT_EQ(back.state.modelCode, 1);
}

TEST(ScenarioText, BadLinesAreReportedAndSkippedTheRestApplies) {
    Scenario s;
    const auto result = applyText("model = 300\nno such line\ncolour = blue\nac_delay = 1:2\n"
                                  "install_date = 13-1-2000\nfail_call = 7\nfail_call = 20:0\n"
                                  "device = X | 1 | ABCDE | 1\nfirmware = 31\n",
                                  s, KeySet::Scenario);
    ASSERT_EQ(result.errors.size(), 8u);
    EXPECT_EQ(Texts(result.errors.begin(), result.errors.begin() + 3),
              (Texts{"line 1: bad value for model: 300", "line 2: expected key = value",
                     "line 3: unknown key colour"}));
    EXPECT_EQ(s.state.firmwareTenths, 31);
    EXPECT_EQ(s.state.modelCode, 1);
    EXPECT_EQ(s.devices, defaultDevices());
}

TEST(ScenarioText, DefaultIsAPlausibleModelOneWithOneChannelA) {
    const Scenario s;
    EXPECT_EQ(s.state.modelCode, 1);
    ASSERT_EQ(s.devices.size(), 1u);
    EXPECT_EQ(s.devices[0].channel, "A");
    EXPECT_TRUE(s.plugged);
    EXPECT_GT(s.state.batteryReading * 30 / 1023, 6); // a battery is connected
    EXPECT_GT(s.state.powerUpHours, s.state.batteryHours);
    EXPECT_EQ(s.supplyFaults, SupplyFaults{});
    EXPECT_EQ(s.bridgeFaults, BridgeFaults{});
}

// State and control texts refuse the keys they do not carry.
TEST(ScenarioText, StateAndControlTextsSetNothingElse) {
    Scenario s;
    EXPECT_EQ(applyText("model = 3\nplugged = no\n", s, KeySet::State).errors.size(), 2u);
    EXPECT_EQ(s.state.modelCode, 1);
    EXPECT_TRUE(s.plugged);
    EXPECT_EQ(applyText("model = 3\nno_ack = 4\n", s, KeySet::Control).errors,
              Texts{"line 1: key model is not allowed here"});
    EXPECT_EQ(s.supplyFaults.unacknowledged, (std::set<std::uint8_t>{4}));
}

class Hosted : public ::testing::Test {
protected:
    Hosted() { fs::create_directories(folder); }
    ~Hosted() override { fs::remove_all(folder); }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::trunc) << text;
    }
    std::string read(const std::string& name) { return readFile(folder / name).value_or(""); }

    // A link on the host's bridge with its one listed device open.
    static device::DeviceLink openLink(HostedBridge& host) {
        device::DeviceLink link(host);
        device::FtcHandle handle = 0;
        EXPECT_EQ(host.openHiSpeedDevice("USB SPI Bridge A", 0x0121, "A", &handle), 0u);
        link.handle = handle;
        return link;
    }

    static device::Reply ask(device::DeviceLink& link, std::uint8_t code) {
        return device::send(link, plainFrame(code));
    }

    fs::path folder =
        fs::temp_directory_path() /
        ("brenvik-vsupply-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    HostOptions options{folder / "scenario.txt", folder / "state.txt", folder / "trace.txt"};
    std::chrono::milliseconds now{0};
    VirtualSupply::TimeSource clock = [this] { return now; };
};

TEST_F(Hosted, StoredValuesCarryOverToTheNextRun) {
    write("scenario.txt", "battery_hours = 500\nhour_length_ms = 1000\n");
    {
        HostedBridge host(options, clock);
        auto link = openLink(host);
        const auto date = device::dateBytes(7, 18, 2011);
        for (const device::Frame& frame :
             {device::installDateRequest(date), device::installDateConfirm(date), plainFrame(5),
              plainFrame(6)}) {
            ASSERT_TRUE(device::replyPasses(frame, device::send(link, frame))) << frame.code();
        }
        now = 3000ms;
        device::send(link, plainFrame(10));
    }
    const std::string state = read("state.txt");
    EXPECT_NE(state.find("install_date = 7/18/2011\n"), std::string::npos) << state;
    EXPECT_NE(state.find("battery_hours = 3\n"), std::string::npos) << state;

    now = 0ms;
    HostedBridge next(options, clock);
    EXPECT_EQ(next.bridge().supply().state().installDate, (device::DateBytes{7, 18, 20, 11}));
    EXPECT_EQ(next.bridge().supply().state().batteryHours, 3u);
}

TEST_F(Hosted, TraceNotesTheScenarioItsErrorsAndEveryCall) {
    write("scenario.txt", "model = 2\nbogus\n");
    HostedBridge host(options, clock);
    std::uint32_t count = 0;
    host.getNumHiSpeedDevices(&count);
    auto link = openLink(host);
    ask(link, 3);
    host.bridge().unplug();
    ask(link, 3);

    const std::string handle = "handle=" + std::to_string(*link.handle);
    EXPECT_EQ(read("trace.txt"),
              "note scenario " + (folder / "scenario.txt").string() +
                  "\nnote scenario line 2: expected key = value\n"
                  "call ord=20 count count=1 status=0\n"
                  "call ord=22 open name=\"USB SPI Bridge A\" location=289 channel=\"A\" " +
                  handle + " status=0\ncall ord=33 transfer " + handle +
                  " frame=0355 reply=55 delivered=1/1 status=0\ncall ord=33 transfer " + handle +
                  " frame=0355 reply= delivered=0/1 status=4\n");
    EXPECT_EQ(host.bridge().supply().state().modelCode, 2);
}

TEST_F(Hosted, MissingScenarioFallsBackToTheDefaultAndNoStateFileKeepsNothing) {
    options.stateFile.reset();
    HostedBridge host(options, clock);
    auto link = openLink(host);
    EXPECT_TRUE(device::acknowledged(ask(link, 11)));
    EXPECT_TRUE(device::replyPasses(plainFrame(12), device::send(link, plainFrame(12))));
    EXPECT_EQ(host.bridge().supply().state().modelCode, 1);
    EXPECT_NE(read("trace.txt").find("cannot be read, default scenario used"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "state.txt"));
}

TEST_F(Hosted, ControlFileSwitchesPlugAndFaultsWhileRunning) {
    write("scenario.txt", "control_file = control.txt\nno_ack = 3\n");
    HostedBridge host(options, clock);
    EXPECT_EQ(host.controlFile(), folder / "control.txt");
    auto link = openLink(host);
    EXPECT_FALSE(device::acknowledged(ask(link, 3)));
    EXPECT_TRUE(device::acknowledged(ask(link, 10)));

    write("control.txt", "plugged = no\n");
    EXPECT_EQ(ask(link, 10).delivered, 0u);
    write("control.txt", "plugged = yes\nno_ack = none\nbad_checksum = yes\n");
    EXPECT_TRUE(device::acknowledged(ask(link, 3)));
    EXPECT_TRUE(host.bridge().supply().faults().badBlockChecksum);

    // Occurrences count from the start of the run: this is the third command 10. The unplug
    // then outlasts a change of the control file that does not name the plug state.
    write("control.txt", "unplug_at = 10@3\n");
    EXPECT_EQ(ask(link, 10).delivered, 0u);
    write("control.txt", "unplug_at = 10@3\nno_ack = 5\n");
    EXPECT_EQ(ask(link, 10).delivered, 0u);
    EXPECT_FALSE(host.bridge().plugged());
    EXPECT_NE(read("trace.txt").find("note control applied, supply unplugged\n"),
              std::string::npos);
}

} // namespace
} // namespace brenvik::vsupply
