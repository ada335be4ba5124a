#include "device/commands.h"
#include "virtual_supply/hosted_bridge.h"
#include "virtual_supply/scenario.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace brenvik::vsupply {
namespace {

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
    EXPECT_TRUE(result.errors.empty()) << result.errors.front();
    EXPECT_EQ(s.devices, (std::vector<DeviceEntry>{{"First", 16, "B", 2}, {"Second", 17, "A", 1}}));
    EXPECT_EQ(s.dllVersion, "3.1");
    EXPECT_EQ(s.state.modelCode, 2);
    EXPECT_EQ(s.state.firmwareTenths, 15);
    EXPECT_EQ(s.state.settings, (std::array<std::uint8_t, 7>{5, 4, 3, 2, 1, 0, 3}));
    EXPECT_EQ(s.state.installDate, (std::array<std::uint8_t, 4>{7, 18, 20, 11}));
    EXPECT_EQ(s.state.powerUpHours, 0xFFFFFFu);
    EXPECT_EQ(s.state.batteryHours, 26001u);
    EXPECT_EQ(s.state.acFaultCount, 65535);
    EXPECT_EQ(s.state.sysFaultCount, 9);
    EXPECT_EQ(s.state.statusBits1, 0x7F);
    EXPECT_EQ(s.state.statusBits2, 7);
    EXPECT_EQ(s.state.batteryReading, 204);
    EXPECT_EQ(s.state.outputReading, 1023);
    EXPECT_EQ(s.state.chargeOffset, 328);
    EXPECT_EQ(s.hourLength.count(), 0);
    EXPECT_EQ(s.readingJitter, 0);
    EXPECT_EQ(s.seed, 42u);
    EXPECT_EQ(s.controlFile, "control.txt");
    EXPECT_FALSE(s.plugged);
    EXPECT_TRUE(s.bridgeFaults.countZero);
    EXPECT_EQ(s.bridgeFaults.failingCalls,
              (std::vector<CallFailure>{{28, 3, 5}, {22, 0, kStatusIoError}}));
    EXPECT_EQ(s.supplyFaults.unacknowledged, (std::set<std::uint8_t>{3, 10}));
    EXPECT_EQ(s.supplyFaults.nonZeroConfirm, (std::set<std::uint8_t>{6}));
    EXPECT_TRUE(s.supplyFaults.badBlockChecksum);
    EXPECT_EQ(s.supplyFaults.wrongEcho, (std::map<std::uint8_t, std::size_t>{{14, 2}}));
    EXPECT_EQ(s.bridgeFaults.plugEvents,
              (std::vector<PlugEvent>{{false, 7, 0, 1}, {true, 0, 10, 2}}));
}

TEST(ScenarioText, BadLinesAreReportedAndSkippedTheRestApplies) {
    Scenario s;
    const auto result = applyText("model = 300\n"
                                  "no such line\n"
                                  "colour = blue\n"
                                  "ac_delay = 1:2\n"
                                  "install_date = 13-1-2000\n"
                                  "fail_call = 7\n"
                                  "fail_call = 20:0\n"
                                  "device = X | 1 | ABCDE | 1\n"
                                  "firmware = 31\n",
                                  s, KeySet::Scenario);
    ASSERT_EQ(result.errors.size(), 8u);
    EXPECT_EQ(result.errors[0], "line 1: bad value for model: 300");
    EXPECT_EQ(result.errors[1], "line 2: expected key = value");
    EXPECT_EQ(result.errors[2], "line 3: unknown key colour");
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

TEST(ScenarioText, StateTextRoundTripsAndStateFilesSetNothingElse) {
    SupplyState stored = Scenario::plausibleSupply();
    stored.settings = {59, 58, 255, 1, 2, 3, 2};
    stored.installDate = {12, 31, 19, 99};
    stored.powerUpHours = 123456;
    stored.batteryHours = 0;
    stored.acFaultCount = 7;
    stored.sysFaultCount = 8;
    Scenario s;
    const auto result = applyText(stateText(stored), s, KeySet::State);
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(s.state, stored);

    const auto refused = applyText("model = 3\nplugged = no\n", s, KeySet::State);
    EXPECT_EQ(refused.errors.size(), 2u);
    EXPECT_EQ(s.state.modelCode, 1);
    EXPECT_TRUE(s.plugged);

    const auto control = applyText("model = 3\nno_ack = 4\n", s, KeySet::Control);
    EXPECT_EQ(control.errors, std::vector<std::string>{"line 1: key model is not allowed here"});
    EXPECT_EQ(s.supplyFaults.unacknowledged, (std::set<std::uint8_t>{4}));
}

class Hosted : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("brenvik-vsupply-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        options.scenarioFile = folder / "scenario.txt";
        options.stateFile = folder / "state.txt";
        options.traceFile = folder / "trace.txt";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::trunc) << text;
    }

    std::string read(const std::string& name) { return readFile(folder / name).value_or(""); }

    static device::Reply ask(device::DeviceLink& link, const device::Frame& frame) {
        return device::send(link, frame);
    }

    // A link on a host's bridge with the first channel "A" opened.
    static device::DeviceLink openLink(HostedBridge& host) {
        device::DeviceLink link(host);
        std::uint32_t count = 0;
        host.getNumHiSpeedDevices(&count);
        for (std::uint32_t i = 0; i < count; ++i) {
            char name[100];
            char channel[5];
            std::uint32_t location = 0;
            std::uint32_t type = 0;
            host.getHiSpeedDeviceNameLocIdChannel(i, name, 100, &location, channel, 5, &type);
            device::FtcHandle handle = 0;
            if (std::string(channel) == "A" &&
                host.openHiSpeedDevice(name, location, channel, &handle) == 0) {
                link.handle = handle;
                break;
            }
        }
        return link;
    }

    std::filesystem::path folder;
    HostOptions options;
    std::chrono::milliseconds now{0};
    VirtualSupply::TimeSource clock = [this] { return now; };
};

TEST_F(Hosted, StoredValuesCarryOverToTheNextRun) {
    write("scenario.txt", "battery_hours = 500\nhour_length_ms = 1000\n");
    {
        HostedBridge host(options, clock);
        auto link = openLink(host);
        const auto date = device::dateBytes(7, 18, 2011);
        ASSERT_TRUE(device::acknowledged(ask(link, device::installDateRequest(date))));
        ASSERT_TRUE(device::replyPasses(device::installDateConfirm(date),
                                        ask(link, device::installDateConfirm(date))));
        ASSERT_TRUE(device::acknowledged(ask(link, device::plainFrame(5))));
        ASSERT_TRUE(device::replyPasses(device::plainFrame(6), ask(link, device::plainFrame(6))));
        now = std::chrono::milliseconds(3000);
        ask(link, device::plainFrame(10));
    }
    const std::string state = read("state.txt");
    EXPECT_NE(state.find("install_date = 7/18/2011\n"), std::string::npos) << state;
    EXPECT_NE(state.find("battery_hours = 3\n"), std::string::npos) << state;

    now = std::chrono::milliseconds(0);
    HostedBridge next(options, clock);
    EXPECT_EQ(next.bridge().supply().state().installDate, (device::DateBytes{7, 18, 20, 11}));
    EXPECT_EQ(next.bridge().supply().state().batteryHours, 3u);
}

TEST_F(Hosted, TraceNotesTheScenarioItsErrorsAndEveryCall) {
    write("scenario.txt", "model = 2\nbogus\n");
    HostedBridge host(options, clock);
    auto link = openLink(host);
    ask(link, device::plainFrame(3));
    const std::string trace = read("trace.txt");
    EXPECT_EQ(trace.rfind("note scenario " + (folder / "scenario.txt").string() + "\n", 0), 0u);
    EXPECT_NE(trace.find("note scenario line 2: expected key = value\n"), std::string::npos);
    EXPECT_NE(trace.find("call ord=20 count count=1 status=0\n"), std::string::npos);
    EXPECT_NE(trace.find(" frame=0355 reply=55 delivered=1/1 status=0\n"), std::string::npos);
    EXPECT_EQ(host.bridge().supply().state().modelCode, 2);
}

TEST_F(Hosted, MissingScenarioFallsBackToTheDefaultAndNoStateFileKeepsNothing) {
    options.stateFile.reset();
    HostedBridge host(options, clock);
    auto link = openLink(host);
    EXPECT_TRUE(device::acknowledged(ask(link, device::plainFrame(11))));
    EXPECT_TRUE(device::replyPasses(device::plainFrame(12), ask(link, device::plainFrame(12))));
    EXPECT_EQ(host.bridge().supply().state().modelCode, 1);
    EXPECT_NE(read("trace.txt").find("cannot be read, default scenario used"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "state.txt"));
}

TEST_F(Hosted, ControlFileSwitchesPlugAndFaultsWhileRunning) {
    write("scenario.txt", "control_file = control.txt\nno_ack = 3\n");
    HostedBridge host(options, clock);
    EXPECT_EQ(host.controlFile(), folder / "control.txt");
    auto link = openLink(host);
    EXPECT_FALSE(device::acknowledged(ask(link, device::plainFrame(3))));
    EXPECT_TRUE(device::acknowledged(ask(link, device::plainFrame(10))));

    write("control.txt", "plugged = no\n");
    EXPECT_EQ(ask(link, device::plainFrame(10)).delivered, 0u);

    write("control.txt", "plugged = yes\nno_ack = none\nbad_checksum = yes\n");
    EXPECT_TRUE(device::acknowledged(ask(link, device::plainFrame(3))));
    EXPECT_TRUE(host.bridge().supply().faults().badBlockChecksum);

    // Occurrences count from the start of the run: this is the third command 10. The unplug
    // then outlasts a change of the control file that does not name the plug state.
    write("control.txt", "unplug_at = 10@3\n");
    EXPECT_EQ(ask(link, device::plainFrame(10)).delivered, 0u);
    write("control.txt", "unplug_at = 10@3\nno_ack = 5\n");
    EXPECT_FALSE(host.bridge().plugged());
    EXPECT_EQ(ask(link, device::plainFrame(10)).delivered, 0u);
    EXPECT_NE(read("trace.txt").find("note control applied, supply unplugged\n"),
              std::string::npos);
}

} // namespace
} // namespace brenvik::vsupply
