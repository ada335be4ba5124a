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
    EXPECT_EQ(
        std::tie(s.dllVersion, s.hourLength, s.readingJitter, s.seed, s.controlFile, s.plugged),
        std::tuple("3.1", 0ms, 0, 42u, "control.txt", false));
    const std::array<std::uint8_t, 7> settings{5, 4, 3, 2, 1, 0, 3};
    const std::array<std::uint8_t, 4> date{7, 18, 20, 11};
    EXPECT_EQ(s.state, (SupplyState{settings, date, 0xFFFFFF, 26001, 65535, 9, 0x7F, 7, 204, 1023,
                                    0, 328, 2, 15}));
    const std::set<std::uint8_t> unacknowledged{3, 10};
    const std::map<std::uint8_t, std::size_t> wrongEcho{{14, 2}};
    EXPECT_EQ(s.supplyFaults, (SupplyFaults{unacknowledged, true, wrongEcho, {6}}));
    const std::vector<CallFailure> failing{{28, 3, 5}, {22, 0, kStatusIoError}};
    const std::vector<PlugEvent> plugEvents{{false, 7, 0, 1}, {true, 0, 10, 2}};
    EXPECT_EQ(s.bridgeFaults, (BridgeFaults{failing, true, plugEvents, {}, false}));
}

// Bad lines are reported and skipped, the rest applies; state and control texts refuse the keys
// they do not carry.
TEST(ScenarioText, BadLinesAndKeysNotAllowedAreReportedAndSkipped) {
    Scenario s;
    const auto result = applyText("model = 300\nno such line\ncolour = blue\nac_delay = 1:2\n"
                                  "install_date = 13-1-2000\nfail_call = 7\nfail_call = 20:0\n"
                                  "device = X | 1 | ABCDE | 1\nfirmware = 31\n",
                                  s, KeySet::Scenario);
    ASSERT_EQ(result.errors.size(), 8u);
    EXPECT_EQ(Texts(result.errors.begin(), result.errors.begin() + 3),
              (Texts{"line 1: bad value for model: 300", "line 2: expected key = value",
                     "line 3: unknown key colour"}));
    EXPECT_EQ(std::tuple(s.state.firmwareTenths, s.state.modelCode), std::tuple(31, 1));
    EXPECT_EQ(s.devices, defaultDevices());

    EXPECT_EQ(applyText("model = 3\nplugged = no\n", s, KeySet::State).errors.size(), 2u);
    EXPECT_EQ(applyText("model = 3\nno_ack = 4\n", s, KeySet::Control).errors,
              Texts{"line 1: key model is not allowed here"});
    EXPECT_EQ(std::tuple(s.state.modelCode, s.plugged, s.supplyFaults.unacknowledged),
              std::tuple(1, true, std::set<std::uint8_t>{4}));
}

// The host keeps what the supply stored across runs, and obeys its control file while it runs.
TEST(HostedBridge, KeepsStoredValuesAcrossRunsAndObeysTheControlFile) {
    const fs::path folder = fs::temp_directory_path() / "brenvik-vsupply-hosted";
    fs::create_directories(folder);
    const auto write = [&](const char* name, const char* text) {
        std::ofstream(folder / name, std::ios::trunc) << text;
    };
    const auto read = [&](const char* name) { return readFile(folder / name).value_or(""); };
    write("scenario.txt",
          "battery_hours = 500\nhour_length_ms = 1000\ncontrol_file = control.txt\n");
    const HostOptions options{folder / "scenario.txt", folder / "state.txt", folder / "trace.txt"};
    std::chrono::milliseconds now{0};
    const auto clock = [&] { return now; };
    {
        HostedBridge host(options, clock);
        device::DeviceLink link(host);
        device::FtcHandle handle = 0;
        ASSERT_EQ(host.openHiSpeedDevice("USB SPI Bridge A", 0x0121, "A", &handle), 0u);
        link.handle = handle;
        const auto ask = [&](std::uint8_t code) { return device::send(link, plainFrame(code)); };
        ask(5);
        ASSERT_TRUE(device::replyPasses(plainFrame(6), ask(6)));
        now = 3000ms;
        ask(10);
        // Occurrences count from the start of the run: the third command 10 meets the unplug,
        // which outlasts a change of the control file that does not name the plug state.
        write("control.txt", "unplug_at = 10@3\n");
        EXPECT_TRUE(device::acknowledged(ask(10)));
        EXPECT_EQ(ask(10).delivered, 0u);
        write("control.txt", "unplug_at = 10@3\nno_ack = 5\n");
        EXPECT_EQ(ask(10).delivered, 0u);
    }
    // Trace lines carry the host's milliseconds.
    EXPECT_NE(read("trace.txt").find("\n3000 note control applied, supply unplugged\n"),
              std::string::npos);
    EXPECT_NE(read("state.txt").find("battery_hours = 3\n"), std::string::npos);
    now = 0ms;
    EXPECT_EQ(HostedBridge(options, clock).bridge().supply().state().batteryHours, 3u);
    fs::remove_all(folder);
}

} // namespace
} // namespace brenvik::vsupply
