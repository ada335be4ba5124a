#pragma once
// Configuration files: the panel's entries kept as sixteen integer keys in the section
// "SystemParameter" of an INI file, and the working configuration file "Brenvik.ini" beside the
// executable.

#include "programming/settings.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace brenvik::config {

inline constexpr std::string_view kSection = "SystemParameter";
inline constexpr std::string_view kWorkingFileName = "Brenvik.ini";

struct ConfigurationKey {
    std::string_view name;
    std::int32_t DeviceSettings::*field;
};

// In the order written and read. The last six are the option boxes 1000, 1001, 1002, 1004,
// 1031 and 1032.
inline constexpr std::array<ConfigurationKey, 16> kConfigurationKeys{{
    {"AcFltDelayHr", &DeviceSettings::acFaultHours},
    {"AcFltDelayMin", &DeviceSettings::acFaultMinutes},
    {"AcFltDelaySec", &DeviceSettings::acFaultSeconds},
    {"SysFltDelayHr", &DeviceSettings::sysFaultHours},
    {"SysFltDelayMin", &DeviceSettings::sysFaultMinutes},
    {"SysFltDelaySec", &DeviceSettings::sysFaultSeconds},
    {"InstallMM", &DeviceSettings::installMonth},
    {"InstallDD", &DeviceSettings::installDay},
    {"InstallYYYY", &DeviceSettings::installYear},
    {"ICharge", &DeviceSettings::chargeSelection},
    {"bChargeCurrent", &DeviceSettings::optChargeSelector},
    {"bAcFltDelay", &DeviceSettings::optAcFaultDelay},
    {"bSysFltDelay", &DeviceSettings::optSysFaultDelay},
    {"bResetBatCon", &DeviceSettings::optResetBatteryTimer},
    {"bResetFaultCounts", &DeviceSettings::optResetFaultCounts},
    {"bInstallDate", &DeviceSettings::optInstallDate},
}};

// The working configuration file that belongs to the executable at `executable`.
std::filesystem::path workingConfigurationPath(const std::filesystem::path& executable);

struct ConfigurationFiles {        // program-wide, one instance
    std::filesystem::path working; // "Brenvik.ini" beside the executable
    std::filesystem::path current; // the file the writer and reader use
    void useWorking() { current = working; }
};

// The sixteen values in key order, as a file holds them: a missing file, section or key, or a
// value without digits, reads as 0.
using ConfigurationValues = std::array<std::int32_t, kConfigurationKeys.size()>;
ConfigurationValues readConfigurationValues(const std::filesystem::path& file);

// The ten values of the delays, the date and the charge selection into `settings`; the option
// flags are left to the caller.
void takeValues(DeviceSettings& settings, const ConfigurationValues& values);
// The option flag of each box as the file holds it, in box order.
std::int32_t optionValue(const ConfigurationValues& values, OptionBox box);

// The sixteen keys of `settings` written to `file` in one step, every other line of it kept.
// Returns whether the file was written; the previous file stays whole when not.
bool writeConfigurationValues(const std::filesystem::path& file, const DeviceSettings& settings);

// The name of the key that holds `field`; empty for a field no key holds.
std::string_view keyOf(SettingsField field);

} // namespace brenvik::config
