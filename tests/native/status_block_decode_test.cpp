#include "monitor/monitoring_values.h"
#include "monitor/status_block.h"
#include "operations/monitoring.h"
#include "res/resource.h"
#include "tests/support/operator_texts.h"
#include "tests/support/window_rig.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

namespace brenvik::monitor {
namespace {

namespace text = testing::text;
using Items = std::vector<std::string>;
using Runs = std::initializer_list<std::pair<std::size_t, std::vector<std::uint8_t>>>;

// A reading as its little-endian bytes.
std::vector<std::uint8_t> le(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

// A block with runs of bytes at their offsets, zeros elsewhere and a correct checksum.
StatusBlock blockWith(Runs runs) {
    StatusBlockBytes bytes{};
    for (const auto& [at, run] : runs) {
        std::copy(run.begin(), run.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    bytes[47] = blockChecksum(bytes);
    return decodeStatusBlock(bytes);
}

// The analogue readings and the model code; the battery voltage is high enough by default.
std::string chargeCurrentText(std::uint8_t model, std::uint16_t current, std::uint16_t offset,
                              std::uint16_t battery = 1023) {
    DisplayTexts texts;
    texts.chargeCurrent = "before";
    takeMonitoringValues(
        texts, blockWith({{21, le(battery)}, {23, le(current)}, {25, le(offset)}, {41, {model}}}));
    return texts.chargeCurrent;
}

auto textsOf(const DisplayTexts& t) {
    return std::make_tuple(t.outputVoltage, t.batteryVoltage, t.chargeCurrent, t.powerUpTime,
                           t.batteryTime, t.acFaultCount, t.sysFaultCount, t.faiActivated,
                           t.outputLatching, t.acFaultStatus, t.sysFaultStatus, t.firmware,
                           t.partNumber);
}

TEST(StatusBlockChecksum, CoversBytesZeroTo45ModuloByte) {
    StatusBlockBytes block{};
    EXPECT_TRUE(checksumMatches(block)) << "all zero";
    std::fill(block.begin(), block.begin() + 46, 0xFF);
    EXPECT_EQ(blockChecksum(block), 0xD2);
    block[47] = 0xD2;
    EXPECT_TRUE(checksumMatches(block));
    block[46] = 0x5A;
    EXPECT_TRUE(checksumMatches(block)) << "byte 46 is not covered";
    block[45] = 0xFE;
    EXPECT_FALSE(checksumMatches(block)) << "byte 45 is covered";
}

TEST(StatusBlockDecode, StatusBitsAndVoltagesGiveTheirTexts) {
    // AC fault status, system fault status, output latching, FAI activated.
    const std::tuple<std::uint8_t, std::uint8_t, const char*> cases[] = {
        {0x80, 0x07, "No fault/No fault/Yes/Yes"}, {0x7F, 0x00, "Fault/Fault/No/No"},
        {0xFF, 0xF8, "No fault/Fault/No/No"},      {0x00, 0x02, "Fault/Fault/Yes/No"},
        {0x00, 0x04, "Fault/Fault/No/Yes"},        {0x00, 0x01, "Fault/No fault/No/No"}};
    for (const auto& [byte17, byte18, expected] : cases) {
        DisplayTexts t;
        takeMonitoringValues(t, blockWith({{17, {byte17, byte18}}}));
        EXPECT_EQ(t.acFaultStatus + "/" + t.sysFaultStatus + "/" + t.outputLatching + "/" +
                      t.faiActivated,
                  expected)
            << int{byte17} << " " << int{byte18};
    }
    // Battery voltage from bytes 21-22, main output voltage from bytes 33-34: 30 V over 1023.
    const std::pair<std::uint16_t, const char*> voltages[] = {
        {0, "0.00"}, {1023, "30.00"}, {512, "15.01"}, {204, "5.98"}, {205, "6.01"}, {341, "10.00"}};
    for (const auto& [reading, text] : voltages) {
        DisplayTexts texts;
        takeMonitoringValues(texts, blockWith({{21, le(reading)}, {33, le(reading)}}));
        EXPECT_EQ(texts.batteryVoltage, text) << reading;
        EXPECT_EQ(texts.outputVoltage, text) << reading;
    }
}

// Part number, selector items and charge current scale (1312 counts) of each model; an unknown
// model has none, and leaves the part number and the current as they were. A battery below 6.0 V
// (reading 204 and under) zeroes the current for any model, known or not.
TEST(StatusBlockModels, EachKnownModelSetsItsIdentityAndScaleUnknownOnesLeaveThem) {
    const std::tuple<std::uint8_t, std::string, Items, const char*> cases[] = {
        {1, text::kPartModel1, text::kModel1Items, "2.00"},
        {2, text::kPartModel2, text::kModel2Items, "4.00"},
        {3, text::kPartModel3, text::kModel2Items, "4.00"},
        {0, "before", {}, "before"},
        {4, "before", {}, "before"},
        {255, "before", {}, "before"}};
    for (const auto& [code, partNumber, items, current] : cases) {
        DisplayTexts texts;
        texts.partNumber = "before";
        takeIdentity(texts, blockWith({{41, {code}}}));
        EXPECT_EQ(texts.partNumber, partNumber) << int{code};
        const ModelInfo* model = findModel(code);
        EXPECT_EQ(model ? Items(model->chargeItems.begin(), model->chargeItems.end()) : Items{},
                  items)
            << int{code};
        EXPECT_EQ(chargeCurrentText(code, 1312, 0), current) << int{code};
        EXPECT_EQ(chargeCurrentText(code, 1312, 0, 204), "0.00") << int{code};
    }
    // The current keeps its sign and saturates at 99.90; a battery from 6.0 V up leaves it alone.
    EXPECT_EQ(chargeCurrentText(3, 0, 328), "-1.00");
    EXPECT_EQ(chargeCurrentText(1, 65535, 0), "99.90");
    EXPECT_EQ(chargeCurrentText(1, 1312, 0, 205), "2.00");
}

// A block in which every field differs from a fresh window model, the counters and hours at
// their little-endian widths: monitoring takes every field but the selector items.
TEST(StatusBlockCallers, MonitoringTakesEveryFieldButTheSelectorItems) {
    testing::WindowRig rig;
    const auto [model, state, window] = std::tie(rig.model, rig.state.monitor, rig.window);
    window.combos[IDC_CMB_CHARGE_CURRENT] = text::kDefaultItems;

    // Hours and counts 10000, 4660, 65535, 16777215; delays 3:4:5 and 7:8:9, selection 2; status
    // bits; battery 400, charge current 1312, output 800; model 1, firmware 2.3, date 12/31/2009.
    operations::takeMonitoringBlock(
        rig.ctx, blockWith({{0, {0x10, 0x27, 0, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 5, 4,
                                 3,    9,    8, 7,    2,    0x80, 7,    0,    0,    0x90, 1, 0x20,
                                 5,    0,    0, 0,    0,    0,    0,    0,    0,    0x20, 3, 0,
                                 0,    0,    0, 0,    0,    1,    23,   12,   31,   20,   9}}}));

    EXPECT_EQ(textsOf(model.texts),
              textsOf({"23.46", "11.73", "2.00", "10000", "16777215", "4660", "65535", "Yes", "Yes",
                       "No fault", "No fault", "2.3", text::kPartModel1}));
    using Values = std::array<std::int32_t, 16>;
    EXPECT_EQ(std::bit_cast<Values>(model.settings), (Values{3, 4, 5, 7, 8, 9, 2, 12, 31, 2009}));
    EXPECT_EQ(state.lastRead, (LastReadSettings{2, 3, 4, 5, 7, 8, 9}));
    EXPECT_EQ(state.batteryAge, BatteryAge::Old);
    EXPECT_EQ(window.invalidations, std::vector<bool>{false});
    EXPECT_EQ(window.comboItems(IDC_CMB_CHARGE_CURRENT), text::kDefaultItems);
    EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 2);
}

} // namespace
} // namespace brenvik::monitor
