#pragma once
// The supply's 48-byte status block: its checksum, the model table and the decoding of every
// field into numbers and the texts the main window shows.
//
// Layout (multi-byte numbers little-endian):
//   0-2 power-up hours, 3-4 AC fault count, 5-6 system fault count, 7-9 battery installed hours,
//   10-12 AC fault delay s/min/h, 13-15 system fault delay s/min/h, 16 charge selection,
//   17 bit 7 AC fault status, 18 bits 0-2 system fault status / output latching / FAI activated,
//   21-22 battery voltage reading, 23-24 charge current reading, 25-26 charge current offset,
//   33-34 main output voltage reading, 41 model code, 42 firmware tenths,
//   43-46 installation month, day, century, year within century, 47 checksum of bytes 0-45.
//   Bytes 19-20, 27-32 and 35-40 carry nothing the program interprets.

#include "monitor/monitor_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brenvik::monitor {

inline constexpr std::size_t kStatusBlockSize = 48;
inline constexpr std::size_t kChunkSize = 12;
inline constexpr std::size_t kChunkCount = kStatusBlockSize / kChunkSize;

using StatusBlockBytes = std::array<std::uint8_t, kStatusBlockSize>;
using StatusBlockView = std::span<const std::uint8_t, kStatusBlockSize>;

// Sum of bytes 0 to 45 modulo 256. Byte 46 is not covered; byte 47 carries the sum.
std::uint8_t blockChecksum(StatusBlockView block);
bool checksumMatches(StatusBlockView block);

// What a model code selects: part number, charge selector items (index 0 first) and the charge
// current scale.
struct ModelInfo {
    std::string_view partNumber;
    std::array<std::string_view, 4> chargeItems;
    int countsPerAmpere;
};

// Nothing for an unknown model code.
const ModelInfo* findModel(std::uint8_t modelCode);

// The charge selector's items before any supply has told its model, the first selected: the
// full charge current and one half, one quarter and one eighth of it.
inline constexpr std::array<std::string_view, 4> kDefaultChargeItems{
    "Default Charge Current", "1/2 Default Charge Current", "1/4 Default Charge Current",
    "1/8 Default Charge Current"};

// Every field of a block as numbers, before any formatting.
struct StatusBlock {
    std::uint32_t powerUpHours = 0;
    std::uint32_t acFaultCount = 0;
    std::uint32_t sysFaultCount = 0;
    std::uint32_t batteryHours = 0;
    std::uint8_t acFaultSeconds = 0;
    std::uint8_t acFaultMinutes = 0;
    std::uint8_t acFaultHours = 0;
    std::uint8_t sysFaultSeconds = 0;
    std::uint8_t sysFaultMinutes = 0;
    std::uint8_t sysFaultHours = 0;
    std::uint8_t chargeSelection = 0;
    bool acNoFault = false;
    bool sysNoFault = false;
    bool outputLatching = false;
    bool faiActivated = false;
    std::uint16_t batteryVoltageReading = 0;
    std::uint16_t chargeCurrentReading = 0;
    std::uint16_t chargeCurrentOffset = 0;
    std::uint16_t outputVoltageReading = 0;
    std::uint8_t modelCode = 0;
    std::uint8_t firmwareTenths = 0;
    std::uint8_t installMonth = 0;
    std::uint8_t installDay = 0;
    std::uint32_t installYear = 0;
};

StatusBlock decodeStatusBlock(StatusBlockView block);

// The settings values in the order the program keeps them (charge selection first, hours first).
LastReadSettings lastReadSettingsOf(const StatusBlock& block);

BatteryAge batteryAgeOf(std::uint32_t batteryHours);

// reading x 30 / 1023 in double precision, rounded to single precision.
float readingToVolts(std::uint16_t reading);

// (reading - offset) / the model's scale, rounded to single precision; nothing for an unknown
// model.
std::optional<float> chargeCurrentAmps(const StatusBlock& block);

// True when the battery voltage is too low for the charge current reading to mean anything.
bool batteryVoltageTooLow(const StatusBlock& block);

// Texts as the main window shows them.
std::string formatCount(std::uint32_t value);  // "%d"
std::string formatHundredths(float value);     // "%.2f"
std::string firmwareText(std::uint8_t tenths); // "%.1f" of the version
std::string_view faultText(bool noFault);      // "No fault" / "Fault"
std::string_view yesNoText(bool yes);          // "Yes" / "No"

} // namespace brenvik::monitor
