#pragma once
// A configuration file given on the command line, read as the window's reader reads it and
// checked with the panel's rules before anything is sent. Unlike the window's reader, which
// takes what it cannot read as 0, a missing file or a value that is not an integer is refused,
// and every refusal names the file and the key.

#include "programming/settings.h"

#include <filesystem>
#include <string>
#include <variant>

namespace brenvik::cli {

// The settings as the window's reader leaves them, or a one-line reason why the file was refused.
std::variant<DeviceSettings, std::string>
readCheckedConfiguration(const std::filesystem::path& file);

} // namespace brenvik::cli
