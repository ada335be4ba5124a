#pragma once
// The configuration files that keep the panel's entries: the writer and the reader, Save and
// Load Configuration, and the working file written when the window closes.

#include "config/configuration.h"
#include "operations/view.h"
#include "operations/window_model.h"

#include <filesystem>

namespace brenvik::operations {

// Configuration writer: panel read, the sixteen keys written to `file` in one step, panel
// redisplay. Returns whether the file was written; the previous file stays whole when not.
bool writeConfiguration(View& view, MainWindowModel& model, const std::filesystem::path& file);

// Configuration reader: panel read, the sixteen keys from `file` into the record (missing ones
// as 0), then the option boxes set from the file with their click handling.
void readConfiguration(View& view, MainWindowModel& model, const std::filesystem::path& file);

// Menu commands "Save Configuration" and "Load Configuration". Both keep the process's current
// directory as it was; cancelling the dialog changes nothing.
void saveConfiguration(View& view, MainWindowModel& model, config::ConfigurationFiles& files);
void loadConfiguration(View& view, MainWindowModel& model, config::ConfigurationFiles& files);

// Window destruction: the working file becomes current and receives the panel's entries; a file
// that cannot be written is passed over silently.
void saveWorkingConfiguration(View& view, MainWindowModel& model,
                              config::ConfigurationFiles& files);

} // namespace brenvik::operations
