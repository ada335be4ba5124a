#include "config/ini_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>

namespace brenvik::config {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("brenvik-ini-" + std::to_string(std::random_device{}()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string utf16(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

const std::string kMessyFile = "; settings kept by hand\r\n"
                               "\r\n"
                               "[Other]\n"
                               "AcFltDelayHr = 99\n"
                               "  [ systemparameter ]  \r\n"
                               "\tacfltdelayhr\t=   4   \r\n"
                               "AcFltDelayHr=5\r\n"
                               ";InstallMM=6\r\n"
                               "Note without equals sign\r\n"
                               "Empty=\r\n"
                               "Quoted = \"12\" \r\n"
                               "Single='x'\r\n"
                               "Unbalanced=\"7\r\n"
                               "\r\n"
                               "[Tail]\r\n"
                               "x=1";

TEST(IniFileRead, FindsSectionsAndKeysWithoutRegardToCase) {
    const IniFile ini = IniFile::parse(kMessyFile);
    EXPECT_EQ(ini.value("SystemParameter", "AcFltDelayHr"), "4") << "first duplicate wins";
    EXPECT_EQ(ini.value("SYSTEMPARAMETER", "ACFLTDELAYHR"), "4");
    EXPECT_EQ(ini.value("other", "acfltdelayhr"), "99");
    EXPECT_EQ(ini.value("SystemParameter", "InstallMM"), std::nullopt) << "commented out";
    EXPECT_EQ(ini.value("SystemParameter", "Empty"), "");
    EXPECT_EQ(ini.value("SystemParameter", "Quoted"), "12");
    EXPECT_EQ(ini.value("SystemParameter", "Single"), "x");
    EXPECT_EQ(ini.value("SystemParameter", "Unbalanced"), "\"7");
    EXPECT_EQ(ini.value("SystemParameter", "x"), std::nullopt) << "belongs to another section";
    EXPECT_EQ(ini.value("Tail", "x"), "1");
    EXPECT_EQ(ini.value("Missing", "x"), std::nullopt);
    EXPECT_EQ(ini.bytes(), kMessyFile) << "reading changes nothing";
}

TEST(IniFileWrite, ReplacesTheValueWhereItStandsAndKeepsEveryOtherByte) {
    IniFile ini = IniFile::parse(kMessyFile);
    ini.setValue("SystemParameter", "AcFltDelayHr", "-2147483648");
    std::string expected = kMessyFile;
    expected.replace(expected.find("4   \r\n"), 4, "-2147483648");
    EXPECT_EQ(ini.bytes(), expected);
    EXPECT_EQ(ini.value("systemparameter", "acfltdelayhr"), "-2147483648");
}

TEST(IniFileWrite, AppendsAMissingKeyAfterTheLastLineOfItsSection) {
    IniFile ini = IniFile::parse(kMessyFile);
    ini.setValue("SystemParameter", "InstallMM", "12");
    std::string expected = kMessyFile;
    expected.insert(expected.find("\r\n[Tail]"), "InstallMM=12\r\n");
    EXPECT_EQ(ini.bytes(), expected);

    ini.setValue("Tail", "y", "2");
    EXPECT_EQ(ini.bytes(), expected + "\r\ny=2\r\n");
}

TEST(IniFileWrite, NewLinesTakeTheLineEndTheFileAlreadyUses) {
    IniFile ini = IniFile::parse("[A]\nk=1\n\n[B]\n");
    ini.setValue("A", "j", "2");
    ini.setValue("C", "i", "3");
    EXPECT_EQ(ini.bytes(), "[A]\nk=1\nj=2\n\n[B]\n[C]\ni=3\n");
}

TEST(IniFileWrite, AppendsAMissingSectionAtTheEndOfTheFile) {
    IniFile empty;
    empty.setValue("SystemParameter", "AcFltDelayHr", "1");
    empty.setValue("SystemParameter", "AcFltDelayMin", "2");
    EXPECT_EQ(empty.bytes(), "[SystemParameter]\r\nAcFltDelayHr=1\r\nAcFltDelayMin=2\r\n");

    IniFile other = IniFile::parse("[Other]\r\na=1");
    other.setValue("SystemParameter", "ICharge", "3");
    EXPECT_EQ(other.bytes(), "[Other]\r\na=1\r\n[SystemParameter]\r\nICharge=3\r\n");
}

TEST(IniFileUtf16, IsReadAndWrittenBackAsUtf16) {
    const std::u16string text = u"; Ladeger\u00e4t \u2014 \U0001F50B\r\n"
                                u"[SystemParameter]\r\n"
                                u"InstallYYYY = 2012\r\n";
    IniFile ini = IniFile::parse(utf16(text));
    EXPECT_EQ(ini.encoding(), IniFile::Encoding::Utf16Le);
    EXPECT_EQ(ini.value("SystemParameter", "InstallYYYY"), "2012");
    EXPECT_EQ(ini.bytes(), utf16(text));

    ini.setValue("SystemParameter", "InstallYYYY", "2020");
    ini.setValue("SystemParameter", "Owner", "J\u00f6rg");
    EXPECT_EQ(ini.bytes(), utf16(u"; Ladeger\u00e4t \u2014 \U0001F50B\r\n"
                                 u"[SystemParameter]\r\n"
                                 u"InstallYYYY = 2020\r\n"
                                 u"Owner=J\u00f6rg\r\n"));
    EXPECT_EQ(ini.value("SystemParameter", "Owner"), "J\u00f6rg");
}

TEST(IniFileUtf8, TheByteOrderMarkIsKeptAndTheFirstSectionFound) {
    const std::string text = "\xEF\xBB\xBF[SystemParameter]\r\nName=J\xC3\xB6rg\r\n";
    IniFile ini = IniFile::parse(text);
    EXPECT_EQ(ini.encoding(), IniFile::Encoding::Utf8);
    EXPECT_EQ(ini.value("SystemParameter", "Name"), "J\xC3\xB6rg");
    ini.setValue("SystemParameter", "ICharge", "1");
    EXPECT_EQ(ini.bytes(), text + "ICharge=1\r\n");
}

TEST(IniFileUtf16, UnusualContentSurvivesUnchanged) {
    // An unpaired surrogate and an odd final byte are kept as they are.
    const std::string bytes = utf16(u"[A]\r\nk=\xD800v\r\n") + "\x41";
    IniFile ini = IniFile::parse(bytes);
    ini.setValue("B", "k", "1");
    EXPECT_EQ(ini.bytes(), utf16(u"[A]\r\nk=\xD800v\r\n[B]\r\nk=1\r\n") + "\x41");
}

TEST(IniFileLoad, MissingFileIsEmptyAndAFolderCannotBeRead) {
    TempDir dir;
    const auto missing = IniFile::load(dir.path() / "none.ini");
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->bytes(), "");
    EXPECT_FALSE(IniFile::load(dir.path()).has_value());

    writeBytes(dir.path() / "a.ini", kMessyFile);
    const auto loaded = IniFile::load(dir.path() / "a.ini");
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->bytes(), kMessyFile);
}

TEST(ReplaceFile, CreatesOrReplacesTheWholeFile) {
    TempDir dir;
    const fs::path file = dir.path() / "a.ini";
    ASSERT_TRUE(replaceFile(file, "first\r\n"));
    EXPECT_EQ(readBytes(file), "first\r\n");
    ASSERT_TRUE(replaceFile(file, "second"));
    EXPECT_EQ(readBytes(file), "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST(ReplaceFile, AFailedWriteLeavesThePreviousFileWhole) {
    TempDir dir;
    const fs::path file = dir.path() / "a.ini";
    writeBytes(file, "previous contents\r\n");
    // Half of the bytes reach the disk, then the disk is full.
    const bool written = replaceFile(file, "0123456789", [](std::ostream& out, std::string_view b) {
        out.write(b.data(), static_cast<std::streamsize>(b.size() / 2));
        return false;
    });
    EXPECT_FALSE(written);
    EXPECT_EQ(readBytes(file), "previous contents\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(ReplaceFile, RefusesReadOnlyFilesAndMissingFolders) {
    TempDir dir;
    const fs::path file = dir.path() / "locked.ini";
    writeBytes(file, "keep");
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(replaceFile(file, "new"));
    EXPECT_EQ(readBytes(file), "keep");

    EXPECT_FALSE(replaceFile(dir.path() / "no-such-folder" / "a.ini", "new"));
    EXPECT_FALSE(replaceFile(dir.path(), "new")) << "a folder is not replaced by a file";
    EXPECT_TRUE(fs::is_directory(dir.path()));
}

TEST(ReplaceFile, LongPathsAreUsedInFull) {
    TempDir dir;
    fs::path folder = dir.path();
    for (int i = 0; i < 4; ++i) {
        folder /= std::string(60, static_cast<char>('a' + i));
    }
    fs::create_directories(folder);
    const fs::path file = folder / (std::string(100, 'n') + ".ini");
    ASSERT_GT(file.native().size(), 260u);
    ASSERT_TRUE(replaceFile(file, "x=1\r\n"));
    EXPECT_EQ(readBytes(file), "x=1\r\n");
}

} // namespace
} // namespace brenvik::config
