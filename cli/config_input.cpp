#include "cli/config_input.h"

#include "config/configuration.h"
#include "config/ini_file.h"
#include "programming/validation.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace brenvik::cli {
namespace {

namespace fs = std::filesystem;

bool isInteger(const std::string& text) {
    std::size_t i = text.starts_with('+') || text.starts_with('-') ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

} // namespace

std::variant<DeviceSettings, std::string> readCheckedConfiguration(const fs::path& file) {
    const std::string name = file.string();
    std::error_code error;
    const std::optional<config::IniFile> ini =
        fs::is_regular_file(file, error) ? config::IniFile::load(file) : std::nullopt;
    if (!ini) {
        return name + ": cannot be read";
    }
    for (const config::ConfigurationKey& key : config::kConfigurationKeys) {
        const auto value = ini->value(config::kSection, key.name);
        if (value && !isInteger(*value)) {
            return name + ": " + std::string(key.name) + ": \"" + *value + "\" is not an integer";
        }
    }
    const config::ConfigurationValues values = config::readConfigurationValues(file);
    // The window offers no APPLY without a ticked box; a file without one would write nothing
    // and still be reported as applied.
    if (std::none_of(kOptionBoxes.begin(), kOptionBoxes.end(),
                     [&](OptionBox box) { return config::optionValue(values, box) != 0; })) {
        return name + ": bChargeCurrent, bAcFltDelay, bSysFltDelay, bResetBatCon, "
                      "bResetFaultCounts, bInstallDate: all 0, nothing to apply";
    }
    // As the panel shows the file: a ticked box per non-zero flag, a charge selection without an
    // item as none.
    DeviceSettings settings;
    config::takeValues(settings, values);
    settings.chargeSelection = selectableCharge(settings.chargeSelection);
    for (const OptionBox box : kOptionBoxes) {
        settings.*flagOf(box) = config::optionValue(values, box) != 0 ? 1 : 0;
    }
    const std::vector<ValidationFailure> failures = validatePanel(settings);
    if (!failures.empty()) {
        const ValidationFailure& first = failures.front();
        const std::string key = first.field != nullptr ? std::string(config::keyOf(first.field))
                                                       : "InstallMM/InstallDD/InstallYYYY";
        return name + ": " + key + ": " + std::string(first.message);
    }
    return settings;
}

} // namespace brenvik::cli
