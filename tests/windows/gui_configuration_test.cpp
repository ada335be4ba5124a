// Configuration files as the operator keeps them: Save and Load Configuration through the
// platform's file dialogs, the working file written at close and shown when the connection
// fails, and targets that cannot be written. Where a bare name lands and what a failed save
// leaves are the native tests' to prove.

#include "tools/driver/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

// Ticked boxes 1001, 1004 and 1032 leave the charge selector and the system fault delay fields
// disabled after loading; the sign and the ten characters of the 32-bit minimum go through the
// file as they are.
const Panel kEntered{L"12",   L"34", L"56", L"-7", L"8", L"-2147483648", L"11", L"30",
                     L"2014", L"3",  L"0",  L"1",  L"0", L"1",           L"0",  L"1"};

// The bridge's device count call fails: the connect step stops at once, leaves the panel as it
// was and reads no file, so the panel is the operator's alone.
class ConfigurationFiles : public ::testing::Test, protected ProgramSession {
protected:
    ConfigurationFiles() { useScenario("fail_call = 20\r\n"); }

    void save(const fs::path& file) {
        pressButton(window(), ID_FILE_SAVECONFIGURATION);
        answerFileDialog(L"Save As", file);
    }
};

// In a non-ASCII folder whose name brings the program's path to 250 characters.
TEST_F(ConfigurationFiles, SavedFilesLoadBackUnwritableOnesStayWholeClosingWritesTheWorkingFile) {
    const std::wstring prefix = L"Konfiguration \u00e4\u00f6\u00fc ";
    moveProgramInto(prefix +
                    std::wstring(250 - executable().wstring().size() - 1 - prefix.size(), L'a'));
    ASSERT_EQ(executable().wstring().size(), 250u);
    const fs::path locked = folder() / "locked.ini";
    const std::string site = "[SystemParameter]\r\nInstallYYYY=2012\r\nbInstallDate=1\r\n";
    writeFile(locked, site);
    ASSERT_TRUE(::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    {
        RunningProgram program = start();
        const std::wstring_view idle = L"Connect device fail, please check the cable.";
        EXPECT_EQ(waitForStatus(idle), idle);
        enterPanel(window(), kEntered);
        // A name typed without extension gets ".ini"; saving leaves the panel as it was.
        save(folder() / "cabinet 4");
        EXPECT_EQ(panelInFile(folder() / "cabinet 4.ini"), kEntered);
        // A folder that does not exist and a read-only file: the failure box, the files whole.
        for (const fs::path& target : {folder() / "no such folder" / "cabinet.ini", locked}) {
            save(target);
            const HWND box = waitForWindow(program.processId(), L"Fail", 20s);
            ASSERT_NE(box, nullptr) << target.string();
            EXPECT_EQ(controlText(box, 0xFFFF),
                      L"Save configuration file fail, please check the file.");
            pressButton(box, IDOK);
            EXPECT_TRUE(waitUntilGone(box));
        }
        EXPECT_EQ(readPanel(window()), kEntered);
        EXPECT_EQ(program.close(), std::optional<DWORD>(0));
        EXPECT_FALSE(fs::exists(folder() / "no such folder"));
        EXPECT_EQ(fileBytes(locked), site);
    }
    RunningProgram program = start();
    ASSERT_NE(readPanel(window()), kEntered);
    pressButton(window(), ID_FILE_LOADCONFIGURATION);
    answerFileDialog(L"Open", folder() / "cabinet 4.ini");
    EXPECT_EQ(readPanel(window()), kEntered);
    EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
    typeText(window(), IDC_EDT_INSTALL_YEAR, L"2015");
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    Panel closed = kEntered;
    closed[8] = L"2015";
    EXPECT_EQ(panelInFile(workingFile()), closed);
    EXPECT_EQ(panelInFile(folder() / "cabinet 4.ini"), kEntered);
}

// The connection the program makes by itself half a second after it starts, when it fails: no
// bridge, or a supply that stays silent. The window does not answer while it connects, so the
// steps on the way are read from the stand-in library's trace; which file a failed Connect Device
// loads is the native tests' to prove.
TEST_F(ConfigurationFiles, AFailedConnectionShowsTheWorkingFile) {
    // What the operator left in the working configuration file at the last close.
    const Panel left{L"3",    L"20", L"15", L"0", L"45", L"0", L"9", L"12",
                     L"2013", L"2",  L"0",  L"1", L"0",  L"0", L"1", L"1"};
    // The scenario, and the trace's part that shows it was met: no device opened; the bridge
    // opened and set up, and command 3 met the idle data line.
    const std::pair<const char*, const char*> cases[] = {
        {"count_zero = yes\r\n", "ord=20 count count=0 status=0"},
        {"no_ack = 3\r\n", "frame=0355 reply=ff delivered=1/1 status=0"}};
    for (const auto& [scenario, traced] : cases) {
        SCOPED_TRACE(scenario);
        useScenario(scenario);
        writeFile(workingFile(), configurationText(left));
        RunningProgram program = start();
        constexpr std::wstring_view kConnectFail = L"Fail, Connect device fail ";
        EXPECT_EQ(waitForStatus(kConnectFail), kConnectFail);
        EXPECT_NE(trace().find(traced), std::string::npos) << trace();
        EXPECT_EQ(trace().find("frame=0455"), std::string::npos);
        EXPECT_EQ(readPanel(window()), left);
        EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
        EXPECT_EQ(controlText(window(), IDC_EDT_PART_NUMBER), L"");
        EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    }
}

} // namespace
} // namespace brenvik::wintest
