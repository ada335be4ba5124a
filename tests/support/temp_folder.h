#pragma once
// A test's own folder under the system's temporary folder, made at once and removed with
// everything in it at the end. The random part of its name keeps copies of a suite that run at
// the same time (the plain and the sanitizer build under `ctest -j`, or two checkouts on one
// machine) out of each other's files.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace brenvik::testing {

struct TempFolder {
    explicit TempFolder(std::string_view stem = "brenvik-test") {
        std::random_device random;
        char suffix[20];
        std::snprintf(suffix, sizeof suffix, "-%08x%08x", random(), random());
        path = std::filesystem::temp_directory_path() / (std::string(stem) + suffix);
        std::filesystem::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path operator/(const std::filesystem::path& name) const { return path / name; }
    // Writes the file whole and returns its path as text.
    std::string write(const std::filesystem::path& name, std::string_view bytes) const {
        std::ofstream(path / name, std::ios::binary | std::ios::trunc) << bytes;
        return (path / name).string();
    }
    // The file's bytes; empty when there is no such file.
    std::string read(const std::filesystem::path& name) const {
        std::ifstream in(path / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::filesystem::path path;
};

} // namespace brenvik::testing
