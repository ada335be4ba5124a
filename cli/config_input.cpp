#include "cli/config_input.h"

#include "cli/session.h"
#include "config/configuration.h"
#include "config/ini_file.h"
#include "programming/panel.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>

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

// A window as the program starts it: empty fields shown from a fresh record, the default
// charge selector items. Message boxes are kept, not printed.
struct QuietPanel {
    QuietPanel() : window(discard) {
        window.setMessagesShown(false);
        showFreshPanel(window, model);
    }
    std::ostringstream discard;
    HeadlessWindow window;
    MainWindowModel model;
};

// The key whose value alone fails the panel's checks: each value is tried among values that pass.
// A date that fails only as a whole names its three keys.
std::string failingKey(const DeviceSettings& settings) {
    DeviceSettings passing = settings;
    passing.acFaultHours = passing.acFaultMinutes = passing.acFaultSeconds = 0;
    passing.sysFaultHours = passing.sysFaultMinutes = passing.sysFaultSeconds = 0;
    passing.chargeSelection = 0;
    passing.installMonth = passing.installDay = 1;
    passing.installYear = 2010;
    for (const config::ConfigurationKey& key : config::kConfigurationKeys) {
        DeviceSettings trial = passing;
        trial.*(key.field) = settings.*(key.field);
        QuietPanel panel;
        if (!validatePanel(panel.window, trial)) {
            return std::string(key.name);
        }
    }
    return "InstallMM/InstallDD/InstallYYYY";
}

} // namespace

std::variant<MainWindowModel, std::string> readCheckedConfiguration(const fs::path& file) {
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
    QuietPanel panel;
    config::readConfiguration(panel.window, panel.model, file);
    // The window offers no APPLY without a ticked box; a file without one would write nothing
    // and still be reported as applied.
    const auto& flags = panel.model.fileOptionFlags;
    if (std::all_of(flags.begin(), flags.end(), [](std::int32_t flag) { return flag == 0; })) {
        return name + ": bChargeCurrent, bAcFltDelay, bSysFltDelay, bResetBatCon, "
                      "bResetFaultCounts, bInstallDate: all 0, nothing to apply";
    }
    if (!validatePanel(panel.window, panel.model.settings)) {
        return name + ": " + failingKey(panel.model.settings) + ": " +
               panel.window.messages().front();
    }
    return panel.model;
}

} // namespace brenvik::cli
