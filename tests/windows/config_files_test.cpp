// The INI layer on the platform's own file system: paths beyond the old length limit, and files
// that the platform's profile functions read and write the same way as ours.

#include "config/ini_file.h"
#include "tools/driver/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

using config::IniFile;

TEST(ConfigFilesOnWindows, ALongNonAsciiPathIsWrittenAndReadWhole) {
    const TestFolder dir;
    const fs::path folder = dir.path() / L"Konfiguration \u00e4\u00f6\u00fc \u65e5\u672c" /
                            std::wstring(70, L'a') / std::wstring(70, L'b') /
                            std::wstring(70, L'c');
    ASSERT_TRUE(fs::create_directories(folder));
    const fs::path file = folder / (std::wstring(40, L'n') + L".ini");
    ASSERT_GT(file.native().size(), 260u);
    ASSERT_TRUE(config::replaceFile(file, "[SystemParameter]\r\nAcFltDelayHr=12\r\n"));
    EXPECT_EQ(IniFile::load(file).value().value("SystemParameter", "AcFltDelayHr"), "12");
}

TEST(ConfigFilesOnWindows, ThePlatformReadsWhatWeWriteAndWeReadWhatItWrites) {
    const TestFolder dir;
    for (const bool unicode : {false, true}) {
        SCOPED_TRACE(unicode ? "UTF-16" : "ANSI");
        const fs::path file = dir.path() / (unicode ? "utf16.ini" : "ansi.ini");
        writeFile(file, unicode ? "\xFF\xFE" : "");
        ::WritePrivateProfileStringW(L"SystemParameter", L"AcFltDelayMin", L"42", file.c_str());
        ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str()); // flush the cache
        IniFile theirs = IniFile::load(file).value();
        EXPECT_EQ(theirs.encoding(),
                  unicode ? IniFile::Encoding::Utf16Le : IniFile::Encoding::Ansi);
        EXPECT_EQ(theirs.value("SystemParameter", "acfltdelaymin"), "42");

        theirs.setValue("SystemParameter", "AcFltDelayMin", "7");
        theirs.setValue("SystemParameter", "InstallYYYY", "-2147483648");
        ASSERT_TRUE(config::replaceFile(file, theirs.bytes()));
        EXPECT_EQ(profileValue(file, L"AcFltDelayMin"), L"7");
        EXPECT_EQ(profileValue(file, L"installyyyy"), L"-2147483648");
    }
}

// A hidden file is replaced in one step and stays hidden. (A read-only one is kept: the
// program's own Wine test saves over one.)
TEST(ConfigFilesOnWindows, AHiddenFileIsReplacedAndStaysHidden) {
    const TestFolder dir;
    const fs::path file = dir.path() / "hidden.ini";
    writeFile(file, "[SystemParameter]\r\nICharge=1\r\n");
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(config::replaceFile(file, "[SystemParameter]\r\nICharge=2\r\n"));
    EXPECT_EQ(fileBytes(file), "[SystemParameter]\r\nICharge=2\r\n");
    EXPECT_NE(::GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

} // namespace
} // namespace brenvik::wintest
