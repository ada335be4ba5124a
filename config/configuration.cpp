#include "config/configuration.h"

#include "config/ini_file.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace brenvik::config {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kValueKeys = 10;

// Leading white space, an optional sign and the digits after it; no digits give 0. A number
// beyond the 32-bit range stops at the nearest limit.
std::int32_t parseValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (magnitude < kLimit) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
    }
    if (negative) {
        return static_cast<std::int32_t>(-std::min(magnitude, kLimit));
    }
    return static_cast<std::int32_t>(std::min(magnitude, kLimit - 1));
}

} // namespace

fs::path workingConfigurationPath(const fs::path& executable) {
    return executable.parent_path() / kWorkingFileName;
}

ConfigurationValues readConfigurationValues(const fs::path& file) {
    const IniFile ini = IniFile::load(file).value_or(IniFile{});
    ConfigurationValues values{};
    for (std::size_t i = 0; i < kConfigurationKeys.size(); ++i) {
        values[i] =
            parseValue(ini.value(kSection, kConfigurationKeys[i].name).value_or(std::string{}));
    }
    return values;
}

void takeValues(DeviceSettings& settings, const ConfigurationValues& values) {
    for (std::size_t i = 0; i < kValueKeys; ++i) {
        settings.*(kConfigurationKeys[i].field) = values[i];
    }
}

std::int32_t optionValue(const ConfigurationValues& values, OptionBox box) {
    return values[kValueKeys + static_cast<std::size_t>(box)];
}

bool writeConfigurationValues(const fs::path& file, const DeviceSettings& settings) {
    std::optional<IniFile> ini = IniFile::load(file);
    if (!ini) {
        return false;
    }
    for (const ConfigurationKey& key : kConfigurationKeys) {
        ini->setValue(kSection, key.name, std::to_string(settings.*(key.field)));
    }
    return replaceFile(file, ini->bytes());
}

std::string_view keyOf(SettingsField field) {
    for (const ConfigurationKey& key : kConfigurationKeys) {
        if (key.field == field) {
            return key.name;
        }
    }
    return {};
}

} // namespace brenvik::config
