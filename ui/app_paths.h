#pragma once
// The application name, derived from the executable's own path; it keys the single-instance
// guard and the instance marker.

#include <filesystem>

namespace brenvik {

// The executable's file name without folder and extension, e.g. "Brenvik-USB" for
// "C:\Tools\Brenvik-USB.exe". Two copies stored under different names get different names.
std::filesystem::path applicationName(const std::filesystem::path& executable);

} // namespace brenvik
