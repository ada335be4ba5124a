#pragma once
// Names derived from the executable's own path: the application name that keys the
// single-instance guard, and the working configuration file kept beside the executable.

#include <filesystem>
#include <string>

namespace brenvik {

// File name of the working configuration file, stored in the executable's folder.
inline constexpr const char* kWorkingConfigurationFileName = "Brenvik.ini";

// The executable's file name without folder and extension, e.g. "Brenvik-USB" for
// "C:\Tools\Brenvik-USB.exe". Two copies stored under different names get different names.
std::filesystem::path applicationName(const std::filesystem::path& executable);

// "Brenvik.ini" in the executable's folder. Works for paths of any length.
std::filesystem::path workingConfigurationFile(const std::filesystem::path& executable);

} // namespace brenvik
