#include "monitor/status_block.h"

#include <cstdio>

namespace brenvik::monitor {
namespace {

constexpr std::size_t kChecksumCovered = 46; // bytes 0 to 45
constexpr std::size_t kChecksumByte = 47;

constexpr std::array<ModelInfo, 3> kModels{{
    {"TRQ 60-40-20",
     {"9 to 40 Ah Battery", "5 to 8 Ah Battery", "4 Ah Battery", "2 Ah Battery"},
     656},
    {"TRQ 120-80",
     {"18 to >80 Ah Battery", "9 to 12 Ah Battery", "5 to 8 Ah Battery", "4 Ah Battery"},
     328},
    {"TRQ 220-160",
     {"18 to >80 Ah Battery", "9 to 12 Ah Battery", "5 to 8 Ah Battery", "4 Ah Battery"},
     328},
}};

constexpr std::uint32_t kYoungBatteryLimitHours = 26000;
constexpr std::uint32_t kAgeingBatteryLimitHours = 30000;
constexpr float kLowBatteryVolts = 6.0f;

std::uint32_t le16(StatusBlockView block, std::size_t at) {
    return block[at] | (std::uint32_t{block[at + 1]} << 8);
}

std::uint32_t le24(StatusBlockView block, std::size_t at) {
    return le16(block, at) | (std::uint32_t{block[at + 2]} << 16);
}

std::string formatFixed(const char* format, double value) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, format, value);
    return std::string(buffer, static_cast<std::size_t>(length));
}

} // namespace

std::uint8_t blockChecksum(StatusBlockView block) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kChecksumCovered; ++i) {
        sum = (sum + block[i]) % 256;
    }
    return static_cast<std::uint8_t>(sum);
}

bool checksumMatches(StatusBlockView block) {
    return blockChecksum(block) == block[kChecksumByte];
}

const ModelInfo* findModel(std::uint8_t modelCode) {
    if (modelCode >= 1 && modelCode <= kModels.size()) {
        return &kModels[modelCode - 1];
    }
    return nullptr;
}

StatusBlock decodeStatusBlock(StatusBlockView block) {
    StatusBlock d;
    d.powerUpHours = le24(block, 0);
    d.acFaultCount = le16(block, 3);
    d.sysFaultCount = le16(block, 5);
    d.batteryHours = le24(block, 7);
    d.acFaultSeconds = block[10];
    d.acFaultMinutes = block[11];
    d.acFaultHours = block[12];
    d.sysFaultSeconds = block[13];
    d.sysFaultMinutes = block[14];
    d.sysFaultHours = block[15];
    d.chargeSelection = block[16];
    d.acNoFault = (block[17] & 0x80) != 0;
    d.sysNoFault = (block[18] & 0x01) != 0;
    d.outputLatching = (block[18] & 0x02) != 0;
    d.faiActivated = (block[18] & 0x04) != 0;
    d.batteryVoltageReading = static_cast<std::uint16_t>(le16(block, 21));
    d.chargeCurrentReading = static_cast<std::uint16_t>(le16(block, 23));
    d.chargeCurrentOffset = static_cast<std::uint16_t>(le16(block, 25));
    d.outputVoltageReading = static_cast<std::uint16_t>(le16(block, 33));
    d.modelCode = block[41];
    d.firmwareTenths = block[42];
    d.installMonth = block[43];
    d.installDay = block[44];
    d.installYear = block[45] * 100u + block[46];
    return d;
}

LastReadSettings lastReadSettingsOf(const StatusBlock& block) {
    return {block.chargeSelection, block.acFaultHours,  block.acFaultMinutes,
            block.acFaultSeconds,  block.sysFaultHours, block.sysFaultMinutes,
            block.sysFaultSeconds};
}

BatteryAge batteryAgeOf(std::uint32_t batteryHours) {
    if (batteryHours <= kYoungBatteryLimitHours) {
        return BatteryAge::Young;
    }
    if (batteryHours <= kAgeingBatteryLimitHours) {
        return BatteryAge::Ageing;
    }
    return BatteryAge::Old;
}

float readingToVolts(std::uint16_t reading) {
    return static_cast<float>(reading * 30.0 / 1023.0);
}

std::optional<float> chargeCurrentAmps(const StatusBlock& block) {
    const ModelInfo* model = findModel(block.modelCode);
    if (model == nullptr) {
        return std::nullopt;
    }
    const int difference = int{block.chargeCurrentReading} - int{block.chargeCurrentOffset};
    return static_cast<float>(static_cast<double>(difference) / model->countsPerAmpere);
}

bool batteryVoltageTooLow(const StatusBlock& block) {
    return readingToVolts(block.batteryVoltageReading) < kLowBatteryVolts;
}

std::string formatCount(std::uint32_t value) {
    return std::to_string(value);
}

std::string formatHundredths(float value) {
    return formatFixed("%.2f", value);
}

std::string firmwareText(std::uint8_t tenths) {
    return formatFixed("%.1f", static_cast<float>(tenths / 10.0));
}

std::string_view faultText(bool noFault) {
    return noFault ? "No fault" : "Fault";
}

std::string_view yesNoText(bool yes) {
    return yes ? "Yes" : "No";
}

} // namespace brenvik::monitor
