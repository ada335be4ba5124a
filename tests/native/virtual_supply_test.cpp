#include "device/commands.h"
#include "device/transaction.h"
#include "monitor/status_block.h"
#include "virtual_supply/virtual_bridge.h"
#include "virtual_supply/virtual_supply.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
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

// The program's own check of a block.
bool checksumOk(const Bytes& block) {
    return monitor::checksumMatches(
        monitor::StatusBlockView(block.data(), monitor::kStatusBlockSize));
}

// Settings (AC delay s/min/h, system delay s/min/h, selection), date, power-up and battery
// hours, AC and system fault counts, status bits, battery, output and charge readings, charge
// offset, model 3, firmware 2.3.
constexpr std::array<std::uint8_t, 7> kSettings{5, 4, 3, 30, 20, 10, 2};
constexpr std::array<std::uint8_t, 4> kDate{7, 18, 20, 11};
const SupplyState kSample{kSettings, kDate, 10000, 30001, 0x0102, 0x0304, 0x80,
                          0x07,      512,   1023,  1312,  328,    3,      23};

// Settings and date written, then every field of a block in its place. The echoes and the
// confirm answers are pinned byte for byte by the wrong-echo faults below.
TEST(VirtualSupplyBlock, ServesWhatItHoldsAndWhatWasWrittenInPlaceWithAMatchingChecksum) {
    VirtualSupply supply(kSample);
    const device::SettingsPayload settings{3, 2, 1, 0, 0, 0, 1};
    const device::DateBytes date{12, 31, 20, 24};
    ask(supply, device::settingsWriteRequest(settings));
    ask(supply, device::settingsWriteConfirm(settings));
    ask(supply, device::installDateRequest(date));
    ask(supply, device::installDateConfirm(date));

    const Bytes block = fetch(supply, command::kReadBackOpen);
    ASSERT_EQ(block.size(), 48u);
    EXPECT_TRUE(checksumOk(block));
    const std::pair<std::size_t, Bytes> fields[] = {
        {0, {0x10, 0x27, 0x00, 0x02, 0x01, 0x04, 0x03, 0x31, 0x75, 0x00}},
        {10, {3, 2, 1, 0, 0, 0, 1, 0x80, 0x07}},
        {21, {0x00, 0x02, 0x20, 0x05, 0x48, 0x01}},
        {33, {0xFF, 0x03}},
        {41, {3, 23, 12, 31, 20, 24}}};
    for (const auto& [at, bytes] : fields) {
        EXPECT_EQ(Bytes(block.begin() + at, block.begin() + at + bytes.size()), bytes) << at;
    }
    EXPECT_EQ(ask(supply, command::kChunkRead), Bytes(12, kIdleLine))
        << "four chunks make a block; a fifth read has nothing to serve";
}

TEST(VirtualSupplyBlock, HoursAdvanceWithTimeAndReadingsVaryWithinTheirJitter) {
    VirtualSupply supply(kSample);
    std::chrono::milliseconds now{0};
    supply.setTimeSource([&] { return now; }, 1000ms);
    const auto revision = supply.revision();
    now = 2500ms;
    const Bytes block = fetch(supply);
    EXPECT_EQ(block[0] + 256 * block[1], 10002);
    EXPECT_EQ(block[7] + 256 * block[8], 30003);
    EXPECT_GT(supply.revision(), revision);
    now = 3000ms; // the half hour left over completes the third
    const Bytes later = fetch(supply);
    EXPECT_EQ(later[0] + 256 * later[1], 10003);

    supply.setReadingJitter(3, 7);
    std::set<int> seen;
    for (int i = 0; i < 50; ++i) {
        const Bytes jittered = fetch(supply);
        EXPECT_TRUE(checksumOk(jittered));
        seen.insert(jittered[21] + 256 * jittered[22]);
    }
    EXPECT_GE(*seen.begin(), 509);
    EXPECT_LE(*seen.rbegin(), 515);
    EXPECT_GT(seen.size(), 1u);
}

// Unknown codes, a missing marker and wrong frame checksums are answered with an idle line, and
// nothing is stored.
TEST(VirtualSupplyWrites, FramesTheSupplyDoesNotAcceptAreNotAcknowledged) {
    VirtualSupply supply(kSample);
    for (std::uint8_t code : {0, 7, 8, 9, 15, 200}) {
        EXPECT_EQ(supply.exchange(std::array<std::uint8_t, 2>{code, 0x55}, 1), Bytes{kIdleLine})
            << int{code};
    }
    EXPECT_EQ(supply.exchange(std::array<std::uint8_t, 2>{10, 0x54}, 1), Bytes{kIdleLine});
    auto request = device::settingsWriteRequest({1, 1, 1, 1, 1, 1, 1});
    request.bytes[10] ^= 0x01;
    EXPECT_EQ(ask(supply, request), Bytes(10, kIdleLine));
    EXPECT_EQ(ask(supply, device::settingsWriteConfirm({1, 1, 1, 1, 1, 1, 1})),
              Bytes(10, kIdleLine));
    EXPECT_EQ(supply.state().settings, kSettings);
    auto date = device::installDateRequest({1, 2, 20, 3});
    date.bytes[7] = 0;
    EXPECT_EQ(ask(supply, date)[0], kIdleLine);
}

TEST(VirtualSupplyWrites, ResetsClearTheirCountersOnlyRightAfterTheirRequest) {
    VirtualSupply supply(kSample);
    EXPECT_EQ(ask(supply, command::kBatteryResetRequest), Bytes{0x55});
    EXPECT_EQ(ask(supply, command::kBatteryResetConfirm), Bytes(3, 0));
    EXPECT_EQ(supply.state().batteryHours, 0u);
    EXPECT_EQ(ask(supply, command::kFaultResetRequest), Bytes{0x55});
    EXPECT_EQ(ask(supply, command::kFaultResetConfirm), Bytes(4, 0));
    EXPECT_EQ(supply.state().acFaultCount + supply.state().sysFaultCount, 0);
    EXPECT_EQ(supply.state().powerUpHours, 10000u);

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

// Command 10 through the bridge reaches the supply only while it is plugged in, on demand and by
// schedule (gone after the 2nd transfer, back after the 4th), and only through an open device; a
// device opens only by its own name, location and channel.
TEST(VirtualBridge, TransfersReachTheSupplyOnlyThroughAnOpenDeviceWhilePlugged) {
    VirtualLink rig;
    const auto poll = [&] {
        const device::Reply reply = device::transact(rig.link, command::kMonitorOpen, {}, 2, 1);
        return std::pair{reply.delivered, rig.link.adapterStatus};
    };
    EXPECT_EQ(poll(), (std::pair{1u, device::kStatusSuccess}));
    rig.bridge.unplug();
    EXPECT_EQ(poll(), (std::pair{0u, kStatusIoError}));
    rig.bridge.plugIn();
    rig.bridge.forgetCalls();
    rig.bridge.faults().plugEvents = {{false, 2, 0, 1}, {true, 4, 0, 1}};
    std::vector<std::uint32_t> delivered;
    for (int i = 0; i < 5; ++i) {
        delivered.push_back(poll().first);
    }
    EXPECT_EQ(delivered, (std::vector<std::uint32_t>{1, 1, 0, 0, 1}));
    rig.bridge.faults().failingCalls = {{ordinal::kTransfer, 6, 9}};
    EXPECT_EQ(poll(), (std::pair{0u, 9u})) << "the 6th transfer fails with the status chosen";

    device::FtcHandle other = 0;
    EXPECT_EQ(rig.bridge.openHiSpeedDevice("USB SPI Bridge A", 0x0122, "A", &other),
              kStatusDeviceNotFound);
    EXPECT_EQ(rig.bridge.openHiSpeedDevice("USB SPI Bridge A", 0x0121, "B", &other),
              kStatusDeviceNotFound);
    rig.bridge.closeDevice(*rig.link.handle);
    EXPECT_EQ(poll(), (std::pair{0u, kStatusInvalidHandle})) << "closed";
}

} // namespace
} // namespace brenvik::vsupply
