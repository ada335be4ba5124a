#include "operations/configuration.h"

#include "operations/panel.h"

#include <system_error>

namespace brenvik::operations {
namespace {

namespace fs = std::filesystem;

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

bool writeConfiguration(View& view, MainWindowModel& model, const fs::path& file) {
    view.readPanel(model);
    const bool written = config::writeConfigurationValues(file, model.settings);
    view.showPanel(model);
    return written;
}

void readConfiguration(View& view, MainWindowModel& model, const fs::path& file) {
    view.readPanel(model);
    const config::ConfigurationValues values = config::readConfigurationValues(file);
    config::takeValues(model.settings, values);
    view.showChargeSelection(model.settings.chargeSelection);
    view.showPanel(model);
    for (const OptionBox box : kOptionBoxes) {
        view.showOptionBox(box, config::optionValue(values, box) != 0);
        optionBoxClicked(view, model, box);
    }
    view.showPanel(model);
}

void saveConfiguration(View& view, MainWindowModel& model, config::ConfigurationFiles& files) {
    CurrentDirectoryKeeper keeper;
    const std::optional<fs::path> chosen = view.chooseFileToSave();
    if (!chosen) {
        return;
    }
    // No redisplay before the writer: it would put the record back over entries typed since the
    // last panel read (the date edits have no focus-loss read), and save the old values.
    files.current = *chosen;
    if (!writeConfiguration(view, model, files.current)) {
        view.showSaveFailed();
    }
}

void loadConfiguration(View& view, MainWindowModel& model, config::ConfigurationFiles& files) {
    {
        CurrentDirectoryKeeper keeper;
        const std::optional<fs::path> chosen = view.chooseFileToLoad();
        if (chosen) {
            view.showPanel(model);
            files.current = *chosen;
            readConfiguration(view, model, files.current);
        }
    }
    view.requestRepaint();
}

void saveWorkingConfiguration(View& view, MainWindowModel& model,
                              config::ConfigurationFiles& files) {
    files.useWorking();
    writeConfiguration(view, model, files.current);
}

} // namespace brenvik::operations
