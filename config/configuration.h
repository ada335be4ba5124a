#pragma once
// Configuration files: the panel's entries kept as sixteen integer keys in the section
// "SystemParameter" of an INI file, the Save and Load Configuration commands, and the working
// configuration file "Brenvik.ini" beside the executable that is written when the window closes.

#include "programming/device_settings.h"
#include "ui/window_port.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace brenvik::config {

inline constexpr std::string_view kSection = "SystemParameter";
inline constexpr std::string_view kWorkingFileName = "Brenvik.ini";
inline constexpr std::string_view kSaveFailedCaption = "Fail";
inline constexpr std::string_view kSaveFailedText =
    "Save configuration file fail, please check the file.";

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

// Configuration writer: panel read, the sixteen keys written to `file` in one step, panel
// redisplay. Returns whether the file was written; the previous file stays whole when not.
bool writeConfiguration(WindowPort& window, MainWindowModel& model,
                        const std::filesystem::path& file);

// Configuration reader: panel read, the sixteen keys from `file` into the record (missing ones
// as 0), then the option boxes set from the file with their click handling.
void readConfiguration(WindowPort& window, MainWindowModel& model,
                       const std::filesystem::path& file);

// Menu commands "Save Configuration" (32775) and "Load Configuration" (32773). Both keep the
// process's current directory as it was; cancelling the dialog changes nothing.
void saveConfiguration(WindowPort& window, MainWindowModel& model, ConfigurationFiles& files);
void loadConfiguration(WindowPort& window, MainWindowModel& model, ConfigurationFiles& files);

// Window destruction: the working file becomes current and receives the panel's entries; a file
// that cannot be written is passed over silently.
void saveWorkingConfiguration(WindowPort& window, MainWindowModel& model,
                              ConfigurationFiles& files);

} // namespace brenvik::config
