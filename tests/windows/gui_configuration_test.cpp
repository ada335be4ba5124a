// Configuration files as the operator keeps them: Save and Load Configuration through the
// platform's file dialogs, the working file written at close, and targets that cannot be
// written.

#include "tools/driver/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

// Ticked boxes 1001, 1004 and 1032 leave the charge selector and the system fault delay fields
// disabled after loading; the sign and the ten characters of the 32-bit minimum go through the
// file as they are.
const Panel kEntered{L"12",   L"34", L"56", L"-7", L"8", L"-2147483648", L"11", L"30",
                     L"2014", L"3",  L"0",  L"1",  L"0", L"1",           L"0",  L"1"};
const std::string kSiteFile = "[SystemParameter]\r\nInstallYYYY=2012\r\nbInstallDate=1\r\n";

// The bridge's device count call fails: the connect step stops at once, leaves the panel as it
// was and reads no file, so the panel is the operator's alone.
class ConfigurationFiles : public ::testing::Test, protected ProgramSession {
protected:
    ConfigurationFiles() { useScenario("fail_call = 20\r\n"); }

    RunningProgram startIdle() {
        RunningProgram program = start();
        const std::wstring_view idle = L"Connect device fail, please check the cable.";
        EXPECT_EQ(waitForStatus(idle), idle);
        enterPanel(window(), kEntered);
        return program;
    }
    void save(const fs::path& file) {
        pressButton(window(), ID_FILE_SAVECONFIGURATION);
        answerFileDialog(L"Save As", file);
    }
};

TEST_F(ConfigurationFiles, ASavedFileLoadsBackAndClosingWritesTheWorkingFileBesideTheProgram) {
    // In a non-ASCII folder whose name brings the program's path to 250 characters.
    const std::wstring prefix = L"Konfiguration \u00e4\u00f6\u00fc ";
    moveProgramInto(prefix +
                    std::wstring(250 - executable().wstring().size() - 1 - prefix.size(), L'a'));
    ASSERT_EQ(executable().wstring().size(), 250u);
    {
        RunningProgram program = startIdle();
        // A name typed without extension gets ".ini"; saving leaves the panel as it was.
        save(folder() / "cabinet 4");
        EXPECT_EQ(panelInFile(folder() / "cabinet 4.ini"), kEntered);
        EXPECT_EQ(readPanel(window()), kEntered);
        EXPECT_EQ(program.close(), std::optional<DWORD>(0));
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

TEST_F(ConfigurationFiles, UnwritableTargetsAreReportedFilesStayWholeBareNamesLandAtTheStart) {
    fs::create_directory(folder() / "other");
    const fs::path locked = folder() / "other" / "locked.ini";
    writeFile(locked, kSiteFile);
    ASSERT_TRUE(::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    RunningProgram program = startIdle();
    for (const fs::path& target : {folder() / "no such folder" / "cabinet.ini", locked}) {
        save(target);
        const HWND box = waitForWindow(program.processId(), L"Fail", 20s);
        ASSERT_NE(box, nullptr) << target.string();
        EXPECT_EQ(controlText(box, 0xFFFF),
                  L"Save configuration file fail, please check the file.");
        // Like every message of the program, it has no owner and blocks the window until it is
        // closed.
        EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
        EXPECT_FALSE(::IsWindowEnabled(window()));
        pressButton(box, IDOK);
        EXPECT_TRUE(waitUntilGone(box));
        // Answered once the program is back in its own message loop, past the box.
        controlText(window(), IDC_BTN_START);
        EXPECT_TRUE(::IsWindowEnabled(window()));
    }
    // A bare name lands in the folder the program started in, not where the last dialog went.
    save("second.ini");
    EXPECT_EQ(panelInFile(folder() / "second.ini"), kEntered);
    EXPECT_EQ(readPanel(window()), kEntered);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    EXPECT_FALSE(fs::exists(folder() / "no such folder"));
    EXPECT_EQ(fileBytes(locked), kSiteFile);
    EXPECT_EQ(panelInFile(workingFile()), kEntered);
}

} // namespace
} // namespace brenvik::wintest
