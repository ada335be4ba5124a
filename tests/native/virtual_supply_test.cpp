#include "device/commands.h"
#include "device/transaction.h"
#include "monitor/status_block.h"
#include "virtual_supply/virtual_bridge.h"
#include "virtual_supply/virtual_supply.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace brenvik::vsupply {
namespace {

using namespace std::chrono_literals;
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

// Unknown codes, a missing marker and a wrong frame checksum are answered with an idle line, and
// nothing is stored.
TEST(VirtualSupplyWrites, FramesTheSupplyDoesNotAcceptAreNotAcknowledged) {
    VirtualSupply supply(kSample);
    for (std::uint8_t code : {0, 7, 9, 15, 200}) {
        EXPECT_EQ(supply.exchange(std::array<std::uint8_t, 2>{code, 0x55}, 1), Bytes{kIdleLine})
            << int{code};
    }
    EXPECT_EQ(supply.exchange(std::array<std::uint8_t, 2>{10, 0x54}, 1), Bytes{kIdleLine});
    auto request = device::settingsWriteRequest({1, 1, 1, 1, 1, 1, 1});
    request.bytes[10] ^= 0x01;
    EXPECT_EQ(ask(supply, request), Bytes(10, kIdleLine));
    EXPECT_EQ(supply.state().settings, kSettings);
}

TEST(VirtualSupplyWrites, ResetsClearTheirCountersOnlyRightAfterTheirRequest) {
    VirtualSupply supply(kSample);
    EXPECT_EQ(ask(supply, command::kBatteryResetRequest), Bytes{0x55});
    EXPECT_EQ(ask(supply, command::kBatteryResetConfirm), Bytes(3, 0));
    EXPECT_EQ(ask(supply, command::kFaultResetRequest), Bytes{0x55});
    EXPECT_EQ(ask(supply, command::kFaultResetConfirm), Bytes(4, 0));
    const SupplyState& s = supply.state();
    EXPECT_EQ(std::tuple(s.batteryHours, s.acFaultCount, s.sysFaultCount, s.powerUpHours),
              std::tuple(0u, 0, 0, 10000u));

    supply.state().acFaultCount = 5;
    ask(supply, command::kFaultResetRequest);
    ask(supply, command::kMonitorOpen);
    EXPECT_EQ(ask(supply, command::kFaultResetConfirm), Bytes(4, kIdleLine))
        << "another command between request and confirm cancels the request";
    EXPECT_EQ(supply.state().acFaultCount, 5);
}

// Unacknowledged commands and a bad block checksum are checked where the program meets them.
TEST(VirtualSupplyFaults, WrongEchoesAndNonZeroConfirmsAreExact) {
    VirtualSupply supply(kSample);
    supply.faults().wrongEcho = {{command::kEepromWriteRequest, 4}, {command::kDateConfirm, 3}};
    EXPECT_EQ(ask(supply, device::settingsWriteRequest({3, 2, 1, 0, 0, 0, 1})),
              (Bytes{0x55, 3, 2, 1, 1, 0, 0, 1, 0, 0x5D}))
        << "only reply byte 4 differs from the true echo";
    ask(supply, device::installDateRequest({1, 2, 20, 3}));
    EXPECT_EQ(ask(supply, device::installDateConfirm({1, 2, 20, 3})), (Bytes{1, 2, 20, 2}));

    supply.faults().nonZeroConfirm = {command::kFaultResetConfirm};
    ask(supply, command::kFaultResetRequest);
    EXPECT_EQ(ask(supply, command::kFaultResetConfirm), (Bytes{0, 0, 0, 1}));
}

// Transfers reach the supply only while it is plugged in: here gone after the 2nd transfer and
// back after the 4th. With loopback on, a reply repeats the frame and the supply is not asked.
TEST(VirtualBridge, TransfersReachTheSupplyOnlyWhilePluggedAndWithoutLoopback) {
    VirtualLink rig;
    rig.bridge.faults().plugEvents = {{false, 2, 0, 1}, {true, 4, 0, 1}};
    std::vector<FtcStatus> statuses;
    for (int i = 0; i < 5; ++i) {
        const device::Reply reply = device::transact(rig.link, command::kMonitorOpen, {}, 2, 1);
        EXPECT_EQ(reply.delivered, rig.link.adapterStatus == device::kStatusSuccess ? 1u : 0u);
        statuses.push_back(rig.link.adapterStatus);
    }
    EXPECT_EQ(statuses, (std::vector<FtcStatus>{0, 0, 4, 4, 0}));

    ASSERT_EQ(rig.bridge.setLoopback(*rig.link.handle, 1), 0u);
    const device::Reply echo = device::transact(rig.link, command::kChunkRead, {}, 2, 4);
    EXPECT_EQ(Bytes(echo.bytes.begin(), echo.bytes.begin() + 4), (Bytes{0x04, 0x55, 0xFF, 0xFF}));
}

} // namespace
} // namespace brenvik::vsupply
