// Configuration files as the operator keeps them: Save and Load Configuration through the
// platform's file dialogs, saving over a file that holds more than the panel, the working file
// written at close, and targets that cannot be written.

#include "tests/windows/support/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

constexpr std::wstring_view kSave = L"Save As";
constexpr std::wstring_view kOpen = L"Open";

// Ticked boxes 1001, 1004 and 1032 leave the charge selector and the system fault delay fields
// disabled after loading; the sign and the ten characters of the 32-bit minimum go through the
// file as they are.
const Panel kEntered{L"12",   L"34", L"56", L"-7", L"8", L"-2147483648", L"11", L"30",
                     L"2014", L"3",  L"0",  L"1",  L"0", L"1",           L"0",  L"1"};
// A site's own file: the charge selector, system fault delay and fault count reset ticked.
const Panel kSiteFile{L"1",    L"2", L"3", L"4", L"5", L"6", L"7", L"8",
                      L"2012", L"1", L"1", L"0", L"1", L"0", L"1", L"0"};

std::size_t filesIn(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// The program runs with a bridge whose device count call fails: the connect step stops at
// once, leaves the panel as it was and reads no file, so the panel is the operator's alone.
class ConfigurationFiles : public ::testing::Test, protected ProgramSession {
protected:
    ConfigurationFiles() { useScenario("fail_call = 20\r\n"); }

    RunningProgram startIdle() {
        RunningProgram program = start();
        EXPECT_EQ(waitForStatus(L"Connect device fail, please check the cable."),
                  L"Connect device fail, please check the cable.");
        return program;
    }
    void save(const fs::path& file) {
        postCommand(window(), ID_FILE_SAVECONFIGURATION);
        answerFileDialog(kSave, file);
    }
    void load(const fs::path& file) {
        postCommand(window(), ID_FILE_LOADCONFIGURATION);
        answerFileDialog(kOpen, file);
    }

    // Save Configuration into `file`, which cannot be written: the failure is reported in a
    // message box, which the test closes.
    void expectSaveFailure(DWORD processId, const fs::path& file) {
        save(file);
        const HWND box = waitForWindow(processId, L"Fail", 20s);
        ASSERT_NE(box, nullptr) << "no message for " << file.string();
        constexpr int kMessageText = 0xFFFF;
        EXPECT_EQ(controlText(box, kMessageText),
                  L"Save configuration file fail, please check the file.");
        // Like every message of the program, it has no owner and leaves the window usable.
        EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
        EXPECT_TRUE(::IsWindowEnabled(window()));
        pressButton(box, IDOK);
        EXPECT_TRUE(waitUntilGone(box));
    }
};

TEST_F(ConfigurationFiles, ASavedFileLoadsBackIntoAFreshProgramWithItsBoxesAndEnabling) {
    {
        RunningProgram program = startIdle();
        enterPanel(window(), kEntered);
        // A name typed without extension gets ".ini"; saving reads the panel, typed entries
        // included, and leaves it as it was.
        save(folder() / "cabinet 4");
        EXPECT_EQ(panelInFile(folder() / "cabinet 4.ini"), kEntered);
        EXPECT_EQ(readPanel(window()), kEntered);
        EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    }
    RunningProgram program = startIdle();
    ASSERT_NE(readPanel(window()), kEntered);
    load(folder() / "cabinet 4.ini");
    EXPECT_EQ(readPanel(window()), kEntered);
    EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

TEST_F(ConfigurationFiles, SavingOverAFileKeepsItsOtherSectionsKeysAndComments) {
    const fs::path file = folder() / "site.ini";
    writeFile(file, "; cabinet 4, north hall\r\n[Site]\r\nName = North hall\r\n\r\n"
                    "[SystemParameter]\r\nOperator=kept\r\nacfltdelayhr = 99\r\n"
                    "; the date of the last battery\r\nbInstallDate=0\r\n\r\n"
                    "[Other]\r\nAcFltDelayHr=5\r\n");
    RunningProgram program = startIdle();
    enterPanel(window(), kEntered);
    save(file);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));

    // The keys already there are replaced where they stand, whatever their case and spacing, the
    // others appended at the end of the section; the one in [Other] is not the panel's.
    EXPECT_EQ(fileBytes(file),
              "; cabinet 4, north hall\r\n[Site]\r\nName = North hall\r\n\r\n"
              "[SystemParameter]\r\nOperator=kept\r\nacfltdelayhr = 12\r\n"
              "; the date of the last battery\r\nbInstallDate=1\r\n"
              "AcFltDelayMin=34\r\nAcFltDelaySec=56\r\nSysFltDelayHr=-7\r\nSysFltDelayMin=8\r\n"
              "SysFltDelaySec=-2147483648\r\nInstallMM=11\r\nInstallDD=30\r\nInstallYYYY=2014\r\n"
              "ICharge=3\r\nbChargeCurrent=0\r\nbAcFltDelay=1\r\nbSysFltDelay=0\r\n"
              "bResetBatCon=1\r\nbResetFaultCounts=0\r\n\r\n"
              "[Other]\r\nAcFltDelayHr=5\r\n");
    EXPECT_EQ(filesIn(folder()), 6u) << "the program, the library, scenario, trace, working file "
                                        "and site.ini, no leftovers";
}

TEST_F(ConfigurationFiles, ClosingWritesTheWorkingFileBesideTheProgramAfterAnotherFileWasLoaded) {
    // In a non-ASCII folder whose name brings the program's path to 250 characters, close to what
    // the platform can start.
    constexpr std::size_t kProgramPathLength = 250;
    const std::wstring prefix = L"Konfiguration \u00e4\u00f6\u00fc ";
    const std::size_t used = executable().wstring().size() + 1 + prefix.size();
    moveProgramInto(prefix + std::wstring(kProgramPathLength - used, L'a'));
    ASSERT_EQ(executable().wstring().size(), kProgramPathLength);
    const fs::path file = folder() / "site.ini";
    writeFile(file, configurationText(kSiteFile));

    RunningProgram program = startIdle();
    load(file);
    ASSERT_EQ(readPanel(window()), kSiteFile);
    typeText(window(), IDC_EDT_INSTALL_YEAR, L"2015");
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));

    Panel closed = kSiteFile;
    closed[8] = L"2015";
    EXPECT_EQ(panelInFile(workingFile()), closed);
    EXPECT_EQ(fileBytes(file), configurationText(kSiteFile));
}

TEST_F(ConfigurationFiles, EveryDialogStartsInTheProgramsFolderAndCancellingChangesNothing) {
    fs::create_directories(folder() / "other");
    RunningProgram program = startIdle();
    enterPanel(window(), kEntered);
    save(folder() / "other" / "first.ini");
    // A bare name lands in the folder the program started in, not where the last dialog went.
    save("second.ini");
    EXPECT_TRUE(fs::exists(folder() / "second.ini"));
    EXPECT_FALSE(fs::exists(folder() / "other" / "second.ini"));

    const std::size_t files = filesIn(folder());
    for (const auto& [command, caption] : {std::pair(ID_FILE_SAVECONFIGURATION, kSave),
                                           std::pair(ID_FILE_LOADCONFIGURATION, kOpen)}) {
        postCommand(window(), command);
        const HWND dialog = waitForWindow(program.processId(), caption, 20s);
        ASSERT_NE(dialog, nullptr);
        pressButton(dialog, IDCANCEL);
        EXPECT_TRUE(waitUntilGone(dialog));
    }
    EXPECT_EQ(readPanel(window()), kEntered);
    EXPECT_EQ(filesIn(folder()), files);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

TEST_F(ConfigurationFiles, AnUnwritableTargetIsReportedAndAnExistingFileStaysWhole) {
    const fs::path locked = folder() / "locked.ini";
    const std::string lockedBytes = "; do not change\r\n" + configurationText(kSiteFile);
    writeFile(locked, lockedBytes);
    ASSERT_TRUE(::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));

    RunningProgram program = startIdle();
    enterPanel(window(), kEntered);
    expectSaveFailure(program.processId(), folder() / "no such folder" / "cabinet.ini");
    expectSaveFailure(program.processId(), locked);
    // The program goes on as before.
    EXPECT_EQ(readPanel(window()), kEntered);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));

    EXPECT_FALSE(fs::exists(folder() / "no such folder"));
    EXPECT_EQ(fileBytes(locked), lockedBytes);
    EXPECT_EQ(panelInFile(workingFile()), kEntered);
}

} // namespace
} // namespace brenvik::wintest
