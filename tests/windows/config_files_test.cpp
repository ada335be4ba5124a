// The configuration files on the platform's own file system: read-only files, long and
// non-ASCII paths, and files that the platform's profile functions read and write the same way
// as ours.

#include "config/ini_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace brenvik::config {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, removed with everything in it.
class ConfigFilesOnWindows : public ::testing::Test {
protected:
    ConfigFilesOnWindows() { fs::create_directories(dir); }
    ~ConfigFilesOnWindows() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    const fs::path dir =
        fs::temp_directory_path() / (L"brenvik-config-" + std::to_wstring(GetCurrentProcessId()));
};

std::wstring profileValue(const fs::path& file, const wchar_t* key) {
    wchar_t buffer[64] = {};
    GetPrivateProfileStringW(L"SystemParameter", key, L"", buffer, 64, file.c_str());
    return buffer;
}

TEST_F(ConfigFilesOnWindows, ReadOnlyFilesAndMissingFoldersAreNotWritten) {
    const fs::path file = dir / "locked.ini";
    ASSERT_TRUE(replaceFile(file, "keep\r\n"));
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(replaceFile(file, "new\r\n"));
    EXPECT_EQ(IniFile::load(file).value().bytes(), "keep\r\n");
    EXPECT_FALSE(replaceFile(dir / "missing" / "a.ini", "new\r\n"));
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ConfigFilesOnWindows, NonAsciiAndLongPaths) {
    const fs::path folder = dir / L"Konfiguration \u00e4\u00f6\u00fc \u65e5\u672c" /
                            std::wstring(70, L'a') / std::wstring(70, L'b') /
                            std::wstring(70, L'c');
    ASSERT_TRUE(fs::create_directories(folder));
    const fs::path file = folder / (std::wstring(40, L'n') + L".ini");
    ASSERT_GT(file.native().size(), 260u);
    ASSERT_TRUE(replaceFile(file, "[SystemParameter]\r\nAcFltDelayHr=12\r\n"));
    EXPECT_EQ(IniFile::load(file).value().value("SystemParameter", "AcFltDelayHr"), "12");
}

TEST_F(ConfigFilesOnWindows, ThePlatformReadsWhatWeWriteAndWeReadWhatItWrites) {
    for (const bool unicode : {false, true}) {
        SCOPED_TRACE(unicode ? "UTF-16" : "ANSI");
        const fs::path file = dir / (unicode ? "utf16.ini" : "ansi.ini");
        std::ofstream(file, std::ios::binary) << (unicode ? "\xFF\xFE" : "");
        ASSERT_TRUE(
            WritePrivateProfileStringW(L"SystemParameter", L"AcFltDelayMin", L"42", file.c_str()));
        ASSERT_TRUE(
            WritePrivateProfileStringW(L"SystemParameter", L"bInstallDate", L"1", file.c_str()));
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str()); // flush the cache
        IniFile theirs = IniFile::load(file).value();
        EXPECT_EQ(theirs.encoding(),
                  unicode ? IniFile::Encoding::Utf16Le : IniFile::Encoding::Ansi);
        EXPECT_EQ(theirs.value("SystemParameter", "acfltdelaymin"), "42");
        EXPECT_EQ(theirs.value("SystemParameter", "bInstallDate"), "1");

        theirs.setValue("SystemParameter", "AcFltDelayMin", "7");
        theirs.setValue("SystemParameter", "InstallYYYY", "-2147483648");
        ASSERT_TRUE(replaceFile(file, theirs.bytes()));
        EXPECT_EQ(profileValue(file, L"AcFltDelayMin"), L"7");
        EXPECT_EQ(profileValue(file, L"installyyyy"), L"-2147483648");
        EXPECT_EQ(profileValue(file, L"bInstallDate"), L"1");
    }
}

} // namespace
} // namespace brenvik::config
