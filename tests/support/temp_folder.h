#pragma once
// A name for a test's own folder under the system's temporary folder. The random part keeps
// copies of a suite that run at the same time (the plain and the sanitizer build under
// `ctest -j`, or two checkouts on one machine) out of each other's files.

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

namespace brenvik::testing {

inline std::filesystem::path uniqueTempFolder(std::string_view stem) {
    std::random_device random;
    char suffix[20];
    std::snprintf(suffix, sizeof suffix, "-%08x%08x", random(), random());
    return std::filesystem::temp_directory_path() / (std::string(stem) + suffix);
}

} // namespace brenvik::testing
