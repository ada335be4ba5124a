#include "config/ini_file.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace brenvik::config {
namespace {

namespace fs = std::filesystem;

// A UTF-16LE file with its byte order mark (the test hosts are little-endian).
std::string utf16(const std::u16string& text) {
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

const std::string kMessyFile = "; settings kept by hand\r\n\r\n[Other]\nAcFltDelayHr = 99\n"
                               "  [ systemparameter ]  \r\n\tacfltdelayhr\t=   4   \r\n"
                               "AcFltDelayHr=5\r\n;InstallMM=6\r\nNote without equals sign\r\n"
                               "Empty=\r\nQuoted = \"12\" \r\nSingle='x'\r\nUnbalanced=\"7\r\n"
                               "\r\n[Tail]\r\nx=1";

TEST(IniFileRead, FindsSectionsAndKeysWithoutRegardToCase) {
    const IniFile ini = IniFile::parse(kMessyFile);
    EXPECT_EQ(ini.value("SystemParameter", "AcFltDelayHr"), "4") << "first duplicate wins";
    EXPECT_EQ(ini.value("other", "acfltdelayhr"), "99");
    EXPECT_EQ(ini.value("SystemParameter", "InstallMM"), std::nullopt) << "commented out";
    EXPECT_EQ(ini.value("SystemParameter", "Empty"), "");
    EXPECT_EQ(ini.value("SystemParameter", "Quoted"), "12");
    EXPECT_EQ(ini.value("SystemParameter", "Single"), "x");
    EXPECT_EQ(ini.value("SystemParameter", "Unbalanced"), "\"7");
    EXPECT_EQ(ini.value("SystemParameter", "x"), std::nullopt) << "belongs to another section";
    for (const char* name : {"AcFltDelay", "AcFltDelayHrs", "Note without equals sign"}) {
        EXPECT_EQ(ini.value("SystemParameter", name), std::nullopt) << name;
    }
    for (const char* section : {"SystemParam", "SystemParameters"}) {
        EXPECT_EQ(ini.value(section, "AcFltDelayHr"), std::nullopt) << section;
    }
    EXPECT_EQ(ini.value("Tail", "x"), "1");
    EXPECT_EQ(ini.value("Missing", "x"), std::nullopt);
    EXPECT_EQ(ini.bytes(), kMessyFile) << "reading changes nothing";
}

TEST(IniFileWrite, ReplacesAValueWhereItStandsAndAppendsAMissingKeyToItsSection) {
    IniFile ini = IniFile::parse(kMessyFile);
    ini.setValue("SystemParameter", "AcFltDelayHr", "-2147483648");
    std::string expected = kMessyFile;
    expected.replace(expected.find("4   \r\n"), 4, "-2147483648");
    EXPECT_EQ(ini.bytes(), expected);
    EXPECT_EQ(ini.value("systemparameter", "acfltdelayhr"), "-2147483648");

    ini.setValue("SystemParameter", "InstallMM", "12");
    expected.insert(expected.find("\r\n[Tail]"), "InstallMM=12\r\n");
    EXPECT_EQ(ini.bytes(), expected) << "after the section's last line";
    ini.setValue("Tail", "y", "2");
    EXPECT_EQ(ini.bytes(), expected + "\r\ny=2\r\n");
}

TEST(IniFileWrite, AppendsMissingSectionsWithTheFilesLineEnd) {
    IniFile ini = IniFile::parse("[A]\nk=1\n\n[B]\n");
    ini.setValue("A", "j", "2");
    ini.setValue("C", "i", "3");
    EXPECT_EQ(ini.bytes(), "[A]\nk=1\nj=2\n\n[B]\n[C]\ni=3\n");

    IniFile empty;
    empty.setValue("SystemParameter", "AcFltDelayHr", "1");
    empty.setValue("SystemParameter", "AcFltDelayMin", "2");
    EXPECT_EQ(empty.bytes(), "[SystemParameter]\r\nAcFltDelayHr=1\r\nAcFltDelayMin=2\r\n");
}

TEST(IniFileEncoding, Utf16IsWrittenBackAsUtf16AndAUtf8MarkIsKept) {
    const std::u16string head = u"; Ladeger\u00e4t \u2014 \U0001F50B\r\n[SystemParameter]\r\n";
    IniFile ini = IniFile::parse(utf16(head + u"InstallYYYY = 2012\r\n"));
    EXPECT_EQ(ini.encoding(), IniFile::Encoding::Utf16Le);
    EXPECT_EQ(ini.value("SystemParameter", "InstallYYYY"), "2012");

    ini.setValue("SystemParameter", "InstallYYYY", "2020");
    ini.setValue("SystemParameter", "Owner", "J\u00f6rg");
    EXPECT_EQ(ini.bytes(), utf16(head + u"InstallYYYY = 2020\r\nOwner=J\u00f6rg\r\n"));
    EXPECT_EQ(ini.value("SystemParameter", "Owner"), "J\u00f6rg");
    // Three- and four-byte characters both ways; a byte that starts no character, a character cut
    // short and an encoded surrogate become U+FFFD, a byte each.
    IniFile wide = IniFile::parse(utf16(u"[A]\r\nk=\u20ac\U0001F50B\r\n"));
    EXPECT_EQ(wide.value("A", "k"), "\xE2\x82\xAC\xF0\x9F\x94\x8B");
    wide.setValue("A", "k", "\xF0\x9F\x94\x8B\xE2\x82\xAC\xFF\xC3(\xED\xA0\x80");
    EXPECT_EQ(wide.bytes(),
              utf16(u"[A]\r\nk=\U0001F50B\u20ac\uFFFD\uFFFD(\uFFFD\uFFFD\uFFFD\r\n"));

    // An unpaired surrogate and an odd final byte are kept as they are.
    IniFile odd = IniFile::parse(utf16(u"[A]\r\nk=\xD800v\r\n") + "\x41");
    odd.setValue("B", "k", "1");
    EXPECT_EQ(odd.bytes(), utf16(u"[A]\r\nk=\xD800v\r\n[B]\r\nk=1\r\n") + "\x41");

    // A UTF-8 byte order mark is kept, and the first section is found behind it.
    const std::string text = "\xEF\xBB\xBF[SystemParameter]\r\nName=J\xC3\xB6rg\r\n";
    IniFile utf8 = IniFile::parse(text);
    EXPECT_EQ(utf8.encoding(), IniFile::Encoding::Utf8);
    EXPECT_EQ(utf8.value("SystemParameter", "Name"), "J\xC3\xB6rg");
    utf8.setValue("SystemParameter", "ICharge", "1");
    EXPECT_EQ(utf8.bytes(), text + "ICharge=1\r\n");
}

// Loading a missing file gives an empty one and a folder nothing; a replaced file loads back.
TEST(IniFileOnDisk, LoadingAndReplacing) {
    const testing::TempFolder dir{"brenvik-ini"};
    const fs::path file = dir / "a.ini";
    EXPECT_EQ(IniFile::load(file).value().bytes(), "");
    EXPECT_FALSE(IniFile::load(dir.path).has_value());
    ASSERT_TRUE(replaceFile(file, kMessyFile));
    EXPECT_EQ(IniFile::load(file).value().bytes(), kMessyFile);
}

} // namespace
} // namespace brenvik::config
