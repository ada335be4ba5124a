#include "monitor/block_decode.h"
#include "monitor/status_block.h"
#include "res/resource.h"
#include "tests/support/fake_window.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

namespace brenvik::monitor {
namespace {

using testing::FakeWindow;

const std::vector<std::string> kDefaultItems{"Default Charge Current", "1/2 Default Charge Current",
                                             "1/4 Default Charge Current",
                                             "1/8 Default Charge Current"};
const std::vector<std::string> kModel1Items{"9 to 40 Ah Battery", "5 to 8 Ah Battery",
                                            "4 Ah Battery", "2 Ah Battery"};
const std::vector<std::string> kModel2Items{"18 to >80 Ah Battery", "9 to 12 Ah Battery",
                                            "5 to 8 Ah Battery", "4 Ah Battery"};

// A block with chosen bytes and a correct checksum.
StatusBlockBytes blockWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
    StatusBlockBytes block{};
    for (const auto& [at, value] : bytes) {
        block[at] = value;
    }
    block[47] = blockChecksum(block);
    return block;
}

void putLe16(StatusBlockBytes& block, std::size_t at, std::uint16_t value) {
    block[at] = static_cast<std::uint8_t>(value & 0xFF);
    block[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// A block with the given analogue readings; the battery voltage is high enough by default.
StatusBlock readings(std::uint8_t model, std::uint16_t current, std::uint16_t offset,
                     std::uint16_t battery = 1023) {
    StatusBlockBytes block{};
    block[41] = model;
    putLe16(block, 21, battery);
    putLe16(block, 23, current);
    putLe16(block, 25, offset);
    return decodeStatusBlock(block);
}

std::string chargeCurrentText(const StatusBlock& block, std::string before = "before") {
    DisplayTexts texts;
    texts.chargeCurrent = before;
    applyChargeCurrent(texts, block);
    return texts.chargeCurrent;
}

TEST(StatusBlockChecksum, CoversBytesZeroTo45ModuloByte) {
    StatusBlockBytes block{};
    for (std::size_t i = 0; i < 46; ++i) {
        block[i] = 0xFF;
    }
    EXPECT_EQ(blockChecksum(block), 0xD2);
    block[47] = 0xD1;
    EXPECT_FALSE(checksumMatches(block));
    block[47] = 0xD2;
    EXPECT_TRUE(checksumMatches(block));

    block[46] = 0x5A;
    EXPECT_TRUE(checksumMatches(block)) << "byte 46 is not covered";
    block[45] = 0xFE;
    EXPECT_FALSE(checksumMatches(block)) << "byte 45 is covered";
}

TEST(StatusBlockChecksum, AllZeroBlockPassesWithZeroChecksum) {
    StatusBlockBytes block{};
    EXPECT_TRUE(checksumMatches(block));
    block[0] = 1;
    EXPECT_FALSE(checksumMatches(block));
}

TEST(StatusBlockDecode, CountersAndHoursAreLittleEndian) {
    const auto block = decodeStatusBlock(blockWith({{0, 0x10},
                                                    {1, 0x27},
                                                    {2, 0x00},
                                                    {3, 0x34},
                                                    {4, 0x12},
                                                    {5, 0xFF},
                                                    {6, 0xFF},
                                                    {7, 0xFF},
                                                    {8, 0xFF},
                                                    {9, 0xFF}}));
    DisplayTexts texts;
    applyCountersAndHours(texts, block);
    EXPECT_EQ(texts.powerUpTime, "10000");
    EXPECT_EQ(texts.acFaultCount, "4660");
    EXPECT_EQ(texts.sysFaultCount, "65535");
    EXPECT_EQ(texts.batteryTime, "16777215");
}

TEST(StatusBlockDecode, BatteryAgeClassesAtTheirLimits) {
    const std::pair<std::uint32_t, BatteryAge> cases[] = {
        {0, BatteryAge::Young},      {26000, BatteryAge::Young}, {26001, BatteryAge::Ageing},
        {30000, BatteryAge::Ageing}, {30001, BatteryAge::Old},   {0xFFFFFF, BatteryAge::Old},
    };
    for (const auto& [hours, age] : cases) {
        EXPECT_EQ(batteryAgeOf(hours), age) << hours;
    }
    const auto block = decodeStatusBlock(blockWith({{7, 0x31}, {8, 0x75}, {9, 0x00}}));
    EXPECT_EQ(block.batteryHours, 30001u);
}

TEST(StatusBlockDecode, BatteryAgeChangeRequestsOneRepaintWithoutErase) {
    FakeWindow window;
    MonitorState state;
    const auto young = decodeStatusBlock(blockWith({{7, 0x10}}));
    const auto old = decodeStatusBlock(blockWith({{7, 0x31}, {8, 0x75}}));

    applyBatteryAge(window, state, young);
    EXPECT_EQ(state.batteryAge, BatteryAge::Young);
    EXPECT_EQ(window.invalidations, std::vector<bool>{false}) << "None to Young is a change";

    applyBatteryAge(window, state, young);
    EXPECT_EQ(window.invalidations.size(), 1u) << "an unchanged class repaints nothing";

    applyBatteryAge(window, state, old);
    EXPECT_EQ(state.batteryAge, BatteryAge::Old);
    EXPECT_EQ(window.invalidations, (std::vector<bool>{false, false}));
}

TEST(StatusBlockDecode, DelaysAreStoredSecondsFirstAndShownHoursFirst) {
    const auto block =
        decodeStatusBlock(blockWith({{10, 5}, {11, 4}, {12, 3}, {13, 30}, {14, 15}, {15, 2}}));
    DeviceSettings settings;
    applyDelays(settings, block);
    EXPECT_EQ(settings.acFaultHours, 3);
    EXPECT_EQ(settings.acFaultMinutes, 4);
    EXPECT_EQ(settings.acFaultSeconds, 5);
    EXPECT_EQ(settings.sysFaultHours, 2);
    EXPECT_EQ(settings.sysFaultMinutes, 15);
    EXPECT_EQ(settings.sysFaultSeconds, 30);

    MonitorState state;
    applyLastReadSettings(
        state, decodeStatusBlock(
                   blockWith({{16, 2}, {10, 5}, {11, 4}, {12, 3}, {13, 30}, {14, 15}, {15, 2}})));
    EXPECT_EQ(state.lastRead, (LastReadSettings{2, 3, 4, 5, 2, 15, 30}));
}

TEST(StatusBlockDecode, ChargeSelectionIsSelectedAtOnceAndOutOfListSelectsNothing) {
    FakeWindow window;
    window.combos[IDC_CMB_CHARGE_CURRENT] = kDefaultItems;
    DeviceSettings settings;

    applyChargeSelection(window, settings, decodeStatusBlock(blockWith({{16, 3}})));
    EXPECT_EQ(settings.chargeSelection, 3);
    EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 3);

    applyChargeSelection(window, settings, decodeStatusBlock(blockWith({{16, 4}})));
    EXPECT_EQ(settings.chargeSelection, 4);
    EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), -1);
}

TEST(StatusBlockDecode, StatusBitsGiveTheirTexts) {
    struct Case {
        std::uint8_t byte17, byte18;
        const char *ac, *sys, *latching, *fai;
    };
    const Case cases[] = {
        {0x80, 0x07, "No fault", "No fault", "Yes", "Yes"},
        {0x7F, 0x00, "Fault", "Fault", "No", "No"},
        {0xFF, 0xF8, "No fault", "Fault", "No", "No"},
        {0x00, 0x02, "Fault", "Fault", "Yes", "No"},
        {0x00, 0x04, "Fault", "Fault", "No", "Yes"},
        {0x00, 0x01, "Fault", "No fault", "No", "No"},
    };
    for (const auto& c : cases) {
        DisplayTexts texts;
        applyStatusTexts(texts, decodeStatusBlock(blockWith({{17, c.byte17}, {18, c.byte18}})));
        EXPECT_EQ(texts.acFaultStatus, c.ac) << int{c.byte17};
        EXPECT_EQ(texts.sysFaultStatus, c.sys) << int{c.byte18};
        EXPECT_EQ(texts.outputLatching, c.latching) << int{c.byte18};
        EXPECT_EQ(texts.faiActivated, c.fai) << int{c.byte18};
    }
}

TEST(StatusBlockDecode, VoltagesScaleThirtyVoltsOver1023Counts) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0, "0.00"}, {1023, "30.00"}, {512, "15.01"}, {204, "5.98"}, {205, "6.01"}, {341, "10.00"},
    };
    for (const auto& [reading, text] : cases) {
        StatusBlockBytes bytes{};
        putLe16(bytes, 21, reading);
        putLe16(bytes, 33, static_cast<std::uint16_t>(1023 - reading));
        DisplayTexts texts;
        applyVoltages(texts, decodeStatusBlock(bytes));
        EXPECT_EQ(texts.batteryVoltage, text) << reading;
        EXPECT_EQ(texts.outputVoltage, formatHundredths(readingToVolts(1023 - reading)))
            << "main output voltage comes from bytes 33-34";
    }
}

TEST(StatusBlockDecode, ChargeCurrentUsesTheModelScaleAndKeepsItsSign) {
    EXPECT_EQ(chargeCurrentText(readings(1, 1312, 0)), "2.00");
    EXPECT_EQ(chargeCurrentText(readings(2, 1312, 0)), "4.00");
    EXPECT_EQ(chargeCurrentText(readings(3, 1312, 0)), "4.00");
    EXPECT_EQ(chargeCurrentText(readings(3, 0, 328)), "-1.00");
    EXPECT_EQ(chargeCurrentText(readings(1, 65535, 0)), "99.90");
    EXPECT_EQ(chargeCurrentText(readings(0, 1312, 0)), "before") << "unknown model: unchanged";
    EXPECT_EQ(chargeCurrentText(readings(4, 1312, 0)), "before") << "unknown model: unchanged";
}

TEST(StatusBlockDecode, LowBatteryVoltageZeroesTheCurrentForAnyModel) {
    for (std::uint8_t model : {1, 2, 3, 0, 4, 255}) {
        EXPECT_EQ(chargeCurrentText(readings(model, 1312, 0, 204)), "0.00") << int{model};
        EXPECT_EQ(chargeCurrentText(readings(model, 1312, 0, 0)), "0.00") << int{model};
    }
    EXPECT_EQ(chargeCurrentText(readings(1, 1312, 0, 205)), "2.00");
    EXPECT_EQ(chargeCurrentText(readings(0, 1312, 0, 205)), "before");
}

TEST(StatusBlockDecode, FirmwareVersionInTenths) {
    const std::pair<std::uint8_t, const char*> cases[] = {
        {15, "1.5"}, {0, "0.0"}, {23, "2.3"}, {105, "10.5"}, {255, "25.5"},
    };
    for (const auto& [tenths, text] : cases) {
        EXPECT_EQ(firmwareText(tenths), text) << int{tenths};
    }
}

TEST(StatusBlockDecode, InstallationDateYearFromCenturyAndYearBytes) {
    DeviceSettings settings;
    applyInstallDate(settings,
                     decodeStatusBlock(blockWith({{43, 12}, {44, 31}, {45, 20}, {46, 9}})));
    EXPECT_EQ(settings.installMonth, 12);
    EXPECT_EQ(settings.installDay, 31);
    EXPECT_EQ(settings.installYear, 2009);

    applyInstallDate(settings, decodeStatusBlock(blockWith({{45, 20}, {46, 10}})));
    EXPECT_EQ(settings.installYear, 2010);
    applyInstallDate(settings, decodeStatusBlock(blockWith({{45, 255}, {46, 255}})));
    EXPECT_EQ(settings.installYear, 25755);
}

TEST(StatusBlockModels, KnownModelsSetPartNumberAndSelectorItems) {
    struct Case {
        std::uint8_t code;
        const char* partNumber;
        const std::vector<std::string>& items;
    };
    const Case cases[] = {
        {1, "TRQ 60-40-20", kModel1Items},
        {2, "TRQ 120-80", kModel2Items},
        {3, "TRQ 220-160", kModel2Items},
    };
    for (const auto& c : cases) {
        FakeWindow window;
        window.combos[IDC_CMB_CHARGE_CURRENT] = kDefaultItems;
        DisplayTexts texts;
        const auto block = decodeStatusBlock(blockWith({{41, c.code}}));
        applyPartNumber(texts, block);
        applyChargeSelectorItems(window, block);
        EXPECT_EQ(texts.partNumber, c.partNumber);
        EXPECT_EQ(window.comboItems(IDC_CMB_CHARGE_CURRENT), c.items);
    }
}

TEST(StatusBlockModels, UnknownModelsLeavePartNumberAndItemsButDecodeTheRest) {
    for (std::uint8_t code : {0, 4, 255}) {
        FakeWindow window;
        window.combos[IDC_CMB_CHARGE_CURRENT] = kModel2Items;
        MainWindowModel model;
        model.texts.partNumber = "TRQ 120-80";
        model.texts.chargeCurrent = "1.23";
        MonitorState state;
        const auto block = decodeStatusBlock(
            blockWith({{41, code}, {42, 23}, {12, 7}, {16, 1}, {43, 6}, {21, 0xFF}, {22, 0x03}}));

        applyMonitoringFields(window, model, state, block);
        EXPECT_EQ(model.texts.partNumber, "TRQ 120-80") << int{code};
        EXPECT_EQ(model.texts.chargeCurrent, "1.23") << int{code};
        EXPECT_EQ(model.texts.firmware, "2.3");
        EXPECT_EQ(model.texts.batteryVoltage, "30.00");
        EXPECT_EQ(model.settings.acFaultHours, 7);
        EXPECT_EQ(model.settings.installMonth, 6);

        applyReadBackFields(window, model, state, block);
        EXPECT_EQ(model.texts.partNumber, "TRQ 120-80") << int{code};
        EXPECT_EQ(window.comboItems(IDC_CMB_CHARGE_CURRENT), kModel2Items) << int{code};
        EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 1)
            << "the list is kept, so the selection made at once stays";
    }
}

// A block in which every field differs from a fresh window model.
StatusBlock everyField() {
    StatusBlockBytes bytes =
        blockWith({{0, 100}, {3, 2},   {5, 3},   {7, 0x31}, {8, 0x75}, {10, 5},    {11, 4},
                   {12, 3},  {13, 9},  {14, 8},  {15, 7},   {16, 2},   {17, 0x80}, {18, 0x07},
                   {41, 1},  {42, 23}, {43, 12}, {44, 31},  {45, 20},  {46, 9}});
    putLe16(bytes, 21, 400);
    putLe16(bytes, 23, 1312);
    putLe16(bytes, 33, 800);
    return decodeStatusBlock(bytes);
}

TEST(StatusBlockCallers, MonitoringTakesEveryFieldButTheSelectorItems) {
    FakeWindow window;
    window.combos[IDC_CMB_CHARGE_CURRENT] = kDefaultItems;
    MainWindowModel model;
    MonitorState state;

    applyMonitoringFields(window, model, state, everyField());

    EXPECT_EQ(model.texts.powerUpTime, "100");
    EXPECT_EQ(model.texts.acFaultCount, "2");
    EXPECT_EQ(model.texts.sysFaultCount, "3");
    EXPECT_EQ(model.texts.batteryTime, "30001");
    EXPECT_EQ(state.batteryAge, BatteryAge::Old);
    EXPECT_EQ(window.invalidations, std::vector<bool>{false});
    EXPECT_EQ(model.settings.acFaultSeconds, 5);
    EXPECT_EQ(model.settings.chargeSelection, 2);
    EXPECT_EQ(state.lastRead, (LastReadSettings{2, 3, 4, 5, 7, 8, 9}));
    EXPECT_EQ(model.texts.acFaultStatus, "No fault");
    EXPECT_EQ(model.texts.sysFaultStatus, "No fault");
    EXPECT_EQ(model.texts.outputLatching, "Yes");
    EXPECT_EQ(model.texts.faiActivated, "Yes");
    EXPECT_EQ(model.texts.batteryVoltage, "11.73");
    EXPECT_EQ(model.texts.outputVoltage, "23.46");
    EXPECT_EQ(model.texts.chargeCurrent, "2.00");
    EXPECT_EQ(model.texts.partNumber, "TRQ 60-40-20");
    EXPECT_EQ(model.texts.firmware, "2.3");
    EXPECT_EQ(model.settings.installMonth, 12);
    EXPECT_EQ(model.settings.installDay, 31);
    EXPECT_EQ(model.settings.installYear, 2009);
    EXPECT_EQ(window.comboItems(IDC_CMB_CHARGE_CURRENT), kDefaultItems);
    EXPECT_EQ(window.comboSelection(IDC_CMB_CHARGE_CURRENT), 2);
}

} // namespace
} // namespace brenvik::monitor
