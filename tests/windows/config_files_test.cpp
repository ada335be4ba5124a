// The configuration files on the platform's own file system: replacing a file in one step,
// read-only files, long and non-ASCII paths, and files that the platform's profile functions
// read and write the same way as ours.

#include "config/ini_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <windows.h>

namespace brenvik::config {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                (L"brenvik-config-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(path_, ec), end; !ec && it != end;
             it.increment(ec)) {
            SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::wstring profileValue(const fs::path& file, const wchar_t* key) {
    wchar_t buffer[64] = {};
    GetPrivateProfileStringW(L"SystemParameter", key, L"", buffer, 64, file.c_str());
    return buffer;
}

TEST(ConfigFilesOnWindows, ReplacesAnExistingFileInOneStep) {
    TempDir dir;
    const fs::path file = dir.path() / "a.ini";
    ASSERT_TRUE(replaceFile(file, "first\r\n"));
    ASSERT_TRUE(replaceFile(file, "second\r\n"));
    EXPECT_EQ(readBytes(file), "second\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(ConfigFilesOnWindows, ReadOnlyFilesAndMissingFoldersAreNotWritten) {
    TempDir dir;
    const fs::path file = dir.path() / "locked.ini";
    ASSERT_TRUE(replaceFile(file, "keep\r\n"));
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(replaceFile(file, "new\r\n"));
    EXPECT_EQ(readBytes(file), "keep\r\n");
    EXPECT_FALSE(replaceFile(dir.path() / "missing" / "a.ini", "new\r\n"));
}

TEST(ConfigFilesOnWindows, NonAsciiAndLongPaths) {
    TempDir dir;
    fs::path folder = dir.path() / L"Konfiguration \u00e4\u00f6\u00fc \u65e5\u672c";
    for (int i = 0; i < 3; ++i) {
        folder /= std::wstring(70, static_cast<wchar_t>(L'a' + i));
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    ASSERT_FALSE(ec) << ec.message();
    const fs::path file = folder / (std::wstring(40, L'n') + L".ini");
    ASSERT_GT(file.native().size(), 260u);
    IniFile ini;
    ini.setValue("SystemParameter", "AcFltDelayHr", "12");
    ASSERT_TRUE(replaceFile(file, ini.bytes()));
    const auto loaded = IniFile::load(file);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->value("SystemParameter", "AcFltDelayHr"), "12");
}

TEST(ConfigFilesOnWindows, ThePlatformReadsWhatWeWrite) {
    TempDir dir;
    const fs::path file = dir.path() / "ours.ini";
    IniFile ini = IniFile::parse("; comment\r\n[Other]\r\nICharge=9\r\n");
    ini.setValue("SystemParameter", "ICharge", "2");
    ini.setValue("SystemParameter", "InstallYYYY", "-2147483648");
    ASSERT_TRUE(replaceFile(file, ini.bytes()));
    EXPECT_EQ(profileValue(file, L"icharge"), L"2");
    EXPECT_EQ(profileValue(file, L"InstallYYYY"), L"-2147483648");
}

TEST(ConfigFilesOnWindows, WeReadWhatThePlatformWrites) {
    TempDir dir;
    for (const bool unicode : {false, true}) {
        const fs::path file = dir.path() / (unicode ? "utf16.ini" : "ansi.ini");
        if (unicode) {
            std::ofstream(file, std::ios::binary) << "\xFF\xFE";
        }
        ASSERT_TRUE(
            WritePrivateProfileStringW(L"SystemParameter", L"AcFltDelayMin", L"42", file.c_str()));
        ASSERT_TRUE(
            WritePrivateProfileStringW(L"SystemParameter", L"bInstallDate", L"1", file.c_str()));
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str()); // flush the cache
        const auto loaded = IniFile::load(file);
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(loaded->encoding(),
                  unicode ? IniFile::Encoding::Utf16Le : IniFile::Encoding::Ansi);
        EXPECT_EQ(loaded->value("SystemParameter", "acfltdelaymin"), "42") << unicode;
        EXPECT_EQ(loaded->value("SystemParameter", "bInstallDate"), "1") << unicode;

        IniFile changed = *loaded;
        changed.setValue("SystemParameter", "AcFltDelayMin", "7");
        ASSERT_TRUE(replaceFile(file, changed.bytes()));
        EXPECT_EQ(profileValue(file, L"AcFltDelayMin"), L"7") << unicode;
        EXPECT_EQ(profileValue(file, L"bInstallDate"), L"1") << unicode;
    }
}

} // namespace
} // namespace brenvik::config
