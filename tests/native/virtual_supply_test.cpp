#include "device/commands.h"
#include "monitor/status_block.h"
#include "virtual_supply/hosted_bridge.h"
#include "virtual_supply/scenario.h"
#include "virtual_supply/virtual_supply.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace brenvik::vsupply {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using device::plainFrame;
using Texts = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;
namespace command = device::command;

Bytes ask(VirtualSupply& supply, const device::Frame& frame) {
    return supply.exchange(std::span(frame.bytes).first(frame.length),
                           device::commandShape(frame.code())->replyLength);
}

Bytes ask(VirtualSupply& supply, std::uint8_t code) {
    return ask(supply, device::plainFrame(code));
}

// The opening command's acknowledgement, then the four chunks of a block.
Bytes fetch(VirtualSupply& supply, std::uint8_t opening = command::kMonitorOpen) {
    EXPECT_EQ(ask(supply, opening), Bytes{0x55});
    Bytes block;
    for (int i = 0; i < 4; ++i) {
        std::ranges::copy(ask(supply, command::kChunkRead), std::back_inserter(block));
    }
    return block;
}

// Settings (AC delay s/min/h, system delay s/min/h, selection), date, power-up and battery
// hours, AC and system fault counts, status bits, battery, output and charge readings, charge
// offset, model 3, firmware 2.3.
constexpr std::array<std::uint8_t, 7> kSettings{5, 4, 3, 30, 20, 10, 2};
constexpr std::array<std::uint8_t, 4> kDate{7, 18, 20, 11};
const SupplyState kSample{kSettings, kDate, 10000, 30001, 0x0102, 0x0304, 0x80,
                          0x07,      512,   1023,  1312,  328,    3,      23};

// Settings and date written, then every field of a block in its place, the hour counters
// advanced by two and a half supply hours. The echoes and the confirm answers are pinned byte for
// byte by the wrong-echo faults below.
TEST(VirtualSupplyBlock, ServesWhatItHoldsAndWhatWasWrittenInPlaceWithAMatchingChecksum) {
    VirtualSupply supply(kSample);
    std::chrono::milliseconds now{0};
    supply.setTimeSource([&] { return now; }, 1000ms);
    now = 2500ms;
    const device::SettingsPayload settings{3, 2, 1, 0, 0, 0, 1};
    const device::DateBytes date{12, 31, 20, 24};
    ask(supply, device::settingsWriteRequest(settings));
    ask(supply, device::settingsWriteConfirm(settings));
    ask(supply, device::installDateRequest(date));
    ask(supply, device::installDateConfirm(date));

    const Bytes block = fetch(supply, command::kReadBackOpen);
    ASSERT_EQ(block.size(), 48u);
    EXPECT_TRUE(monitor::checksumMatches(monitor::StatusBlockView(block.data(), 48)));
    const std::pair<std::size_t, Bytes> fields[] = {
        {0, {0x12, 0x27, 0x00, 0x02, 0x01, 0x04, 0x03, 0x33, 0x75, 0x00}},
        {10, {3, 2, 1, 0, 0, 0, 1, 0x80, 0x07}},
        {21, {0x00, 0x02, 0x20, 0x05, 0x48, 0x01}},
        {33, {0xFF, 0x03}},
        {41, {3, 23, 12, 31, 20, 24}}};
    for (const auto& [at, bytes] : fields) {
        EXPECT_EQ(Bytes(block.begin() + at, block.begin() + at + bytes.size()), bytes) << at;
    }
    EXPECT_EQ(ask(supply, command::kChunkRead), Bytes(12, kIdleLine))
        << "four chunks make a block; a fifth read has nothing to serve";
    now = 3000ms; // the half hour left over completes the third
    EXPECT_EQ(fetch(supply)[0], 0x13);
}

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

// Bad lines are reported and skipped, the rest applies; a control text refuses the keys it does
// not carry.
TEST(ScenarioText, BadLinesAndKeysNotAllowedAreReportedAndSkipped) {
    Scenario s;
    EXPECT_EQ(
        applyText("model = 300\nno such line\ncolour = blue\nfirmware = 31\n", s, KeySet::Scenario)
            .errors,
        (Texts{"line 1: bad value for model: 300", "line 2: expected key = value",
               "line 3: unknown key colour"}));
    EXPECT_EQ(applyText("model = 3\nno_ack = 4\n", s, KeySet::Control).errors,
              Texts{"line 1: key model is not allowed here"});
    EXPECT_EQ(std::tuple(s.state.firmwareTenths, s.state.modelCode, s.supplyFaults.unacknowledged),
              std::tuple(31, 1, std::set<std::uint8_t>{4}));
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
