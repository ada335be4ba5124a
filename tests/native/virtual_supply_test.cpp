#include "device/commands.h"
#include "virtual_supply/virtual_bridge.h"
#include "virtual_supply/virtual_supply.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::vsupply {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace command = device::command;

Bytes ask(VirtualSupply& supply, const device::Frame& frame) {
    const auto shape = device::commandShape(frame.code());
    return supply.exchange(std::span(frame.bytes).first(frame.length), shape->replyLength);
}

Bytes ask(VirtualSupply& supply, std::uint8_t code) {
    return ask(supply, device::plainFrame(code));
}

Bytes fetch(VirtualSupply& supply, std::uint8_t opening = command::kMonitorOpen) {
    EXPECT_EQ(ask(supply, opening), Bytes{0x55});
    Bytes block;
    for (int i = 0; i < 4; ++i) {
        const Bytes chunk = ask(supply, command::kChunkRead);
        block.insert(block.end(), chunk.begin(), chunk.end());
    }
    return block;
}

bool checksumOk(const Bytes& block) {
    return blockChecksum(block) == block[47];
}

const Bytes kIdle1{kIdleLine};

SupplyState sampleState() {
    SupplyState s;
    s.settings = {5, 4, 3, 30, 20, 10, 2};
    s.installDate = {7, 18, 20, 11};
    s.powerUpHours = 10000;
    s.batteryHours = 30001;
    s.acFaultCount = 0x0102;
    s.sysFaultCount = 0x0304;
    s.statusBits1 = 0x80;
    s.statusBits2 = 0x07;
    s.batteryReading = 512;
    s.outputReading = 1023;
    s.chargeReading = 1312;
    s.chargeOffset = 328;
    s.modelCode = 3;
    s.firmwareTenths = 23;
    return s;
}

TEST(VirtualSupplyBlock, ServesEveryFieldInItsPlaceWithAMatchingChecksum) {
    VirtualSupply supply(sampleState());
    const Bytes block = fetch(supply, command::kReadBackOpen);
    ASSERT_EQ(block.size(), 48u);
    EXPECT_TRUE(checksumOk(block));
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 3), (Bytes{0x10, 0x27, 0x00}));
    EXPECT_EQ(Bytes(block.begin() + 3, block.begin() + 7), (Bytes{0x02, 0x01, 0x04, 0x03}));
    EXPECT_EQ(Bytes(block.begin() + 7, block.begin() + 10), (Bytes{0x31, 0x75, 0x00}));
    EXPECT_EQ(Bytes(block.begin() + 10, block.begin() + 17), (Bytes{5, 4, 3, 30, 20, 10, 2}));
    EXPECT_EQ(block[17], 0x80);
    EXPECT_EQ(block[18], 0x07);
    EXPECT_EQ(block[21] + 256 * block[22], 512);
    EXPECT_EQ(block[23] + 256 * block[24], 1312);
    EXPECT_EQ(block[25] + 256 * block[26], 328);
    EXPECT_EQ(block[33] + 256 * block[34], 1023);
    EXPECT_EQ(block[41], 3);
    EXPECT_EQ(block[42], 23);
    EXPECT_EQ(Bytes(block.begin() + 43, block.begin() + 47), (Bytes{7, 18, 20, 11}));

    // Four chunks make a block; a fifth read has nothing to serve.
    EXPECT_EQ(ask(supply, command::kChunkRead), Bytes(12, kIdleLine));
}

TEST(VirtualSupplyBlock, ChecksumWrapsAndLeavesByteFortySixOut) {
    SupplyState s = sampleState();
    s.installDate[3] = 99;
    const auto a = statusBlock(s);
    s.installDate[3] = 0;
    const auto b = statusBlock(s);
    EXPECT_EQ(a[47], b[47]);

    Bytes ones(48, 0xFF);
    EXPECT_EQ(blockChecksum(ones), 0xD2);
}

TEST(VirtualSupplyBlock, HoursAdvanceWithTimeAndReadingsVaryWithinTheirJitter) {
    VirtualSupply supply(sampleState());
    std::chrono::milliseconds now{0};
    supply.setTimeSource([&] { return now; }, std::chrono::milliseconds(1000));
    const auto revision = supply.revision();
    now = std::chrono::milliseconds(2500);
    Bytes block = fetch(supply);
    EXPECT_EQ(block[0] + 256 * block[1], 10002);
    EXPECT_EQ(block[7] + 256 * block[8], 30003);
    EXPECT_GT(supply.revision(), revision);
    now = std::chrono::milliseconds(3000); // the half hour left over completes the third
    block = fetch(supply);
    EXPECT_EQ(block[0] + 256 * block[1], 10003);

    supply.setReadingJitter(3, 7);
    std::set<int> seen;
    for (int i = 0; i < 50; ++i) {
        block = fetch(supply);
        EXPECT_TRUE(checksumOk(block));
        const int battery = block[21] + 256 * block[22];
        EXPECT_GE(battery, 509);
        EXPECT_LE(battery, 515);
        seen.insert(battery);
    }
    EXPECT_GT(seen.size(), 1u);
}

TEST(VirtualSupplyWrites, SettingsAreEchoedStoredAndServed) {
    VirtualSupply supply(sampleState());
    const device::SettingsPayload settings{3, 2, 1, 0, 0, 0, 1};
    const Bytes echo = ask(supply, device::settingsWriteRequest(settings));
    EXPECT_EQ(echo, (Bytes{0x55, 3, 2, 1, 0, 0, 0, 1, 0, 0x5D}));
    const Bytes stored = ask(supply, device::settingsWriteConfirm(settings));
    EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 7), Bytes(settings.begin(), settings.end()));
    EXPECT_EQ(supply.state().settings, settings);
    const Bytes block = fetch(supply);
    EXPECT_EQ(Bytes(block.begin() + 10, block.begin() + 17),
              Bytes(settings.begin(), settings.end()));
}

TEST(VirtualSupplyWrites, AFrameWithAWrongChecksumIsNeitherEchoedNorConfirmable) {
    VirtualSupply supply(sampleState());
    auto request = device::settingsWriteRequest({1, 1, 1, 1, 1, 1, 1});
    request.bytes[10] ^= 0x01;
    EXPECT_EQ(ask(supply, request), Bytes(10, kIdleLine));
    EXPECT_EQ(ask(supply, device::settingsWriteConfirm({1, 1, 1, 1, 1, 1, 1})),
              Bytes(10, kIdleLine));
    EXPECT_EQ(supply.state().settings, sampleState().settings);

    auto date = device::installDateRequest({1, 2, 20, 3});
    date.bytes[7] = 0;
    EXPECT_EQ(ask(supply, date)[0], kIdleLine);
}

TEST(VirtualSupplyWrites, ResetsClearTheirCountersOnlyAfterTheirRequest) {
    VirtualSupply supply(sampleState());
    // A confirm on its own is not acknowledged and changes nothing.
    EXPECT_EQ(ask(supply, command::kBatteryResetConfirm), Bytes(3, kIdleLine));
    EXPECT_EQ(supply.state().batteryHours, 30001u);

    EXPECT_EQ(ask(supply, command::kBatteryResetRequest), Bytes{0x55});
    EXPECT_EQ(ask(supply, command::kBatteryResetConfirm), Bytes(3, 0));
    EXPECT_EQ(supply.state().batteryHours, 0u);

    EXPECT_EQ(ask(supply, command::kFaultResetRequest), Bytes{0x55});
    EXPECT_EQ(ask(supply, command::kFaultResetConfirm), Bytes(4, 0));
    EXPECT_EQ(supply.state().acFaultCount, 0);
    EXPECT_EQ(supply.state().sysFaultCount, 0);
    EXPECT_EQ(supply.state().powerUpHours, 10000u);

    // Another command between request and confirm cancels the request.
    supply.state().acFaultCount = 5;
    ask(supply, command::kFaultResetRequest);
    ask(supply, command::kMonitorOpen);
    EXPECT_EQ(ask(supply, command::kFaultResetConfirm), Bytes(4, kIdleLine));
    EXPECT_EQ(supply.state().acFaultCount, 5);
}

TEST(VirtualSupplyWrites, DateIsStoredAndAnsweredWithTheStoredBytes) {
    VirtualSupply supply(sampleState());
    const device::DateBytes date = device::dateBytes(12, 31, 2024);
    EXPECT_EQ(ask(supply, device::installDateRequest(date))[0], 0x55);
    EXPECT_EQ(ask(supply, device::installDateConfirm(date)), (Bytes{12, 31, 20, 24}));
    EXPECT_EQ(supply.state().installDate, date);
}

TEST(VirtualSupplyWrites, CodesOutsideTheTableAreNotAcknowledged) {
    VirtualSupply supply(sampleState());
    for (std::uint8_t code : {0, 7, 8, 9, 15, 200}) {
        const std::array<std::uint8_t, 2> frame{code, 0x55};
        EXPECT_EQ(supply.exchange(frame, 1), kIdle1) << int(code);
    }
    const std::array<std::uint8_t, 2> noMarker{10, 0x54};
    EXPECT_EQ(supply.exchange(noMarker, 1), kIdle1);
}

TEST(VirtualSupplyFaults, EachFaultDoesWhatItSays) {
    VirtualSupply supply(sampleState());
    supply.faults().unacknowledged = {10};
    EXPECT_EQ(ask(supply, command::kMonitorOpen), kIdle1);
    EXPECT_EQ(ask(supply, command::kReadBackOpen), Bytes{0x55});
    supply.faults().unacknowledged.clear();

    supply.faults().badBlockChecksum = true;
    EXPECT_FALSE(checksumOk(fetch(supply)));
    supply.faults().badBlockChecksum = false;
    EXPECT_TRUE(checksumOk(fetch(supply)));

    const device::SettingsPayload settings{3, 2, 1, 0, 0, 0, 1};
    supply.faults().wrongEcho = {{command::kEepromWriteRequest, 4}};
    // Only reply byte 4 differs from the true echo.
    EXPECT_EQ(ask(supply, device::settingsWriteRequest(settings)),
              (Bytes{0x55, 3, 2, 1, 1, 0, 0, 1, 0, 0x5D}));

    supply.faults().wrongEcho = {{command::kDateConfirm, 3}};
    ask(supply, device::installDateRequest({1, 2, 20, 3}));
    EXPECT_EQ(ask(supply, device::installDateConfirm({1, 2, 20, 3})), (Bytes{1, 2, 20, 2}));

    supply.faults().nonZeroConfirm = {command::kFaultResetConfirm};
    ask(supply, command::kFaultResetRequest);
    EXPECT_EQ(ask(supply, command::kFaultResetConfirm), (Bytes{0, 0, 0, 1}));
}

class Bridge : public ::testing::Test {
protected:
    // The first device with channel "A", opened.
    device::FtcHandle openA() {
        std::uint32_t count = 0;
        EXPECT_EQ(bridge.getNumHiSpeedDevices(&count), 0u);
        for (std::uint32_t i = 0; i < count; ++i) {
            char name[100];
            char channel[5];
            std::uint32_t location = 0;
            std::uint32_t type = 0;
            EXPECT_EQ(
                bridge.getHiSpeedDeviceNameLocIdChannel(i, name, 100, &location, channel, 5, &type),
                0u);
            if (std::string(channel) == "A") {
                device::FtcHandle handle = 0;
                EXPECT_EQ(bridge.openHiSpeedDevice(name, location, channel, &handle), 0u);
                return handle;
            }
        }
        ADD_FAILURE() << "no channel A";
        return 0;
    }

    // Command 10 through the bridge: the bytes delivered and the status.
    std::pair<std::uint32_t, device::FtcStatus> poll(device::FtcHandle handle) {
        const std::uint8_t frame[2] = {10, 0x55};
        std::uint8_t reply[12] = {};
        std::uint32_t delivered = 99;
        const device::StartCondition start{0, 0, 1, 0};
        const device::HighPinRecord pins{};
        const auto status =
            bridge.writeRead(handle, &start, 1, 0, 16, frame, 2, 1, 0, 8, reply, &delivered, &pins);
        return {delivered, status};
    }

    VirtualBridge bridge;
};

TEST_F(Bridge, ListsItsDevicesAndOpensOnlyAListedOneOnce) {
    bridge.devices() = {{"Quad B", 7, "B", kTypeQuadChannel}, {"Quad A", 8, "A", kTypeQuadChannel}};
    const auto handle = openA();
    EXPECT_EQ(bridge.openHandle(), handle);
    std::uint32_t type = 0;
    EXPECT_EQ(bridge.getHiSpeedDeviceType(handle, &type), 0u);
    device::FtcHandle other = 0;
    EXPECT_NE(bridge.openHiSpeedDevice("Quad A", 8, "A", &other), 0u); // still open
    EXPECT_EQ(bridge.closeDevice(handle), 0u);
    EXPECT_NE(bridge.openHiSpeedDevice("Quad A", 9, "A", &other), 0u); // wrong location
    EXPECT_NE(bridge.getHiSpeedDeviceType(handle, &type), 0u);         // closed
    char name[100];
    char channel[5];
    std::uint32_t location = 0;
    EXPECT_EQ(bridge.getHiSpeedDeviceNameLocIdChannel(2, name, 100, &location, channel, 5, &type),
              kStatusDeviceNotFound);
}

TEST_F(Bridge, CountFaultsAndChosenCallFailures) {
    std::uint32_t count = 5;
    bridge.faults().countZero = true;
    EXPECT_EQ(bridge.getNumHiSpeedDevices(&count), 0u);
    EXPECT_EQ(count, 0u);
    bridge.faults().countZero = false;
    bridge.faults().failingCalls = {{ordinal::kCount, 0, 9}};
    EXPECT_EQ(bridge.getNumHiSpeedDevices(&count), 9u);
    bridge.faults().failingCalls = {{ordinal::kGetLatency, 2, kStatusIoError}};
    bridge.forgetCalls();
    const auto handle = openA();
    std::uint8_t latency = 0;
    EXPECT_EQ(bridge.getDeviceLatencyTimer(handle, &latency), 0u);
    EXPECT_EQ(bridge.getDeviceLatencyTimer(handle, &latency), kStatusIoError);
    EXPECT_EQ(bridge.getDeviceLatencyTimer(handle, &latency), 0u);
    EXPECT_EQ(bridge.calls(), (std::vector<std::uint32_t>{20, 21, 22, 28, 28, 28}));
}

TEST_F(Bridge, TransfersReachTheSupplyOnlyWhileOpenAndPlugged) {
    EXPECT_EQ(poll(1).first, 0u);
    EXPECT_EQ(poll(1).second, kStatusInvalidHandle);
    const auto handle = openA();
    EXPECT_EQ(poll(handle), (std::pair<std::uint32_t, device::FtcStatus>{1, 0}));
    bridge.unplug();
    EXPECT_EQ(poll(handle), (std::pair<std::uint32_t, device::FtcStatus>{0, kStatusIoError}));
    bridge.plugIn();
    EXPECT_EQ(poll(handle).first, 1u);
}

TEST_F(Bridge, ScheduledUnplugAndPlugBack) {
    const auto handle = openA();
    // Gone after the 2nd transfer, back after the 4th.
    bridge.faults().plugEvents = {{false, 2, 0, 1}, {true, 4, 0, 1}};
    std::vector<std::uint32_t> delivered;
    for (int i = 0; i < 5; ++i) {
        delivered.push_back(poll(handle).first);
    }
    EXPECT_EQ(delivered, (std::vector<std::uint32_t>{1, 1, 0, 0, 1}));

    // Gone at the 2nd occurrence of command 10, before it is answered.
    bridge.forgetCalls();
    bridge.faults().plugEvents = {{false, 0, 10, 2}};
    EXPECT_EQ(poll(handle).first, 1u);
    EXPECT_EQ(poll(handle).first, 0u);
    EXPECT_FALSE(bridge.plugged());
}

TEST_F(Bridge, TraceHasOneLinePerCallWithStatus) {
    std::vector<std::string> lines;
    bridge.setTrace([&](std::string_view line) { lines.emplace_back(line); });
    const auto handle = openA();
    poll(handle);
    bridge.unplug();
    poll(handle);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "call ord=20 count count=1 status=0");
    EXPECT_EQ(lines[2].rfind("call ord=22 open name=\"USB SPI Bridge A\"", 0), 0u);
    EXPECT_EQ(lines[3], "call ord=33 transfer handle=" + std::to_string(handle) +
                            " frame=0a55 reply=55 delivered=1/1 status=0");
    EXPECT_EQ(lines[4], "call ord=33 transfer handle=" + std::to_string(handle) +
                            " frame=0a55 reply= delivered=0/1 status=4");
}

} // namespace
} // namespace brenvik::vsupply
