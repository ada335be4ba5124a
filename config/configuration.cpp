#include "config/configuration.h"

#include "config/ini_file.h"
#include "programming/panel.h"
#include "res/resource.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

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

// Puts the process's current directory back when the file dialog and what follows it are done.
class CurrentDirectoryKeeper {
public:
    CurrentDirectoryKeeper() : saved_(fs::current_path(error_)) {}
    ~CurrentDirectoryKeeper() {
        if (!error_) {
            fs::current_path(saved_, error_);
        }
    }
    CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
    CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

private:
    std::error_code error_;
    fs::path saved_;
};

} // namespace

fs::path workingConfigurationPath(const fs::path& executable) {
    return executable.parent_path() / kWorkingFileName;
}

bool writeConfiguration(WindowPort& window, MainWindowModel& model, const fs::path& file) {
    panelRead(window, model);
    std::optional<IniFile> ini = IniFile::load(file);
    bool written = false;
    if (ini) {
        for (const ConfigurationKey& key : kConfigurationKeys) {
            ini->setValue(kSection, key.name, std::to_string(model.settings.*(key.field)));
        }
        written = replaceFile(file, ini->bytes());
    }
    panelRedisplay(window, model);
    return written;
}

void readConfiguration(WindowPort& window, MainWindowModel& model, const fs::path& file) {
    panelRead(window, model);
    const IniFile ini = IniFile::load(file).value_or(IniFile{});
    std::array<std::int32_t, kConfigurationKeys.size()> values{};
    for (std::size_t i = 0; i < kConfigurationKeys.size(); ++i) {
        values[i] =
            parseValue(ini.value(kSection, kConfigurationKeys[i].name).value_or(std::string{}));
    }
    for (std::size_t i = 0; i < kValueKeys; ++i) {
        model.settings.*(kConfigurationKeys[i].field) = values[i];
    }
    for (std::size_t i = 0; i < kOptionBoxIds.size(); ++i) {
        model.fileOptionFlags[i] = values[kValueKeys + i];
    }
    window.setComboSelection(IDC_CMB_CHARGE_CURRENT, model.settings.chargeSelection);
    panelRedisplay(window, model);
    for (std::size_t i = 0; i < kOptionBoxIds.size(); ++i) {
        window.setChecked(kOptionBoxIds[i], model.fileOptionFlags[i] != 0);
        onOptionBoxClicked(window, model, kOptionBoxIds[i]);
    }
    panelRedisplay(window, model);
}

void saveConfiguration(WindowPort& window, MainWindowModel& model, ConfigurationFiles& files) {
    CurrentDirectoryKeeper keeper;
    const std::optional<fs::path> chosen = window.chooseConfigurationFile(FileDialogKind::Save);
    if (!chosen) {
        return;
    }
    // No redisplay before the writer: it would put the record back over entries typed since the
    // last panel read (the date edits have no focus-loss read), and save the old values.
    files.current = *chosen;
    if (!writeConfiguration(window, model, files.current)) {
        window.messageBox(kSaveFailedText, kSaveFailedCaption, MessageIcon::Error,
                          MessageButtons::Ok);
    }
}

void loadConfiguration(WindowPort& window, MainWindowModel& model, ConfigurationFiles& files) {
    {
        CurrentDirectoryKeeper keeper;
        const std::optional<fs::path> chosen = window.chooseConfigurationFile(FileDialogKind::Open);
        if (chosen) {
            panelRedisplay(window, model);
            files.current = *chosen;
            readConfiguration(window, model, files.current);
        }
    }
    window.invalidate(false);
}

void saveWorkingConfiguration(WindowPort& window, MainWindowModel& model,
                              ConfigurationFiles& files) {
    files.useWorking();
    writeConfiguration(window, model, files.current);
}

} // namespace brenvik::config
