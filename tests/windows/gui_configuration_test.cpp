// Configuration files as the operator keeps them: Save and Load Configuration through the
// platform's file dialogs, saving over a file that holds more than the panel, the working file
// written at close, and targets that cannot be written.

#include "tests/windows/gui_session.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <sstream>

namespace brenvik::wintest::gui {
namespace {

// Ticked boxes 1001, 1004 and 1032 leave the charge selector and the system fault delay fields
// disabled after loading; the sign and the ten characters of the 32-bit minimum go through the
// file as they are.
const Panel kEntered{{L"12", L"34", L"56", L"-7", L"8", L"-2147483648", L"11", L"30", L"2014"},
                     3,
                     {false, true, false, true, false, true}};

// A site's own file: the panel's values with the charge selector and system fault delay ticked.
const Panel kSiteFile{{L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"2012"},
                      1,
                      {true, false, true, false, true, false}};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// The name before the equals sign of a line, without blanks, in lower case.
std::string keyOf(const std::string& line) {
    std::string key = line.substr(0, line.find('='));
    std::erase_if(key, [](unsigned char c) { return std::isspace(c) != 0; });
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

bool isPanelKey(const std::string& line) {
    return std::any_of(kConfigurationKeys.begin(), kConfigurationKeys.end(), [&](const wchar_t* k) {
        std::string key(k, k + std::wcslen(k));
        return keyOf(line) == keyOf(key);
    });
}

std::vector<std::string> withoutPanelKeys(const std::string& text) {
    std::vector<std::string> result = lines(text);
    std::erase_if(result, isPanelKey);
    return result;
}

std::size_t filesIn(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// The program runs with a bridge whose device count call fails: the connect step stops at
// once, leaves the panel as it was and reads no file, so the panel is the operator's alone.
class ConfigurationFiles : public ProgramTest {
protected:
    ConfigurationFiles() { useScenario("fail_call = 20\r\n"); }

    // Starts the program and waits until its connect step is over.
    RunningProgram startIdle() {
        RunningProgram program = start();
        if (window() != nullptr) {
            EXPECT_EQ(waitForStatus(kCheckCable), kCheckCable);
        }
        return program;
    }

    // Save Configuration answered with `file`.
    bool save(const RunningProgram& program, const fs::path& file) {
        postCommand(window(), ID_FILE_SAVECONFIGURATION);
        return answerFileDialog(program, kSaveDialogCaption, file);
    }

    bool load(const RunningProgram& program, const fs::path& file) {
        postCommand(window(), ID_FILE_LOADCONFIGURATION);
        return answerFileDialog(program, kOpenDialogCaption, file);
    }

    // Save Configuration into `file`, which cannot be written: the failure is reported in a
    // message box, which the test closes.
    void expectSaveFailure(const RunningProgram& program, const fs::path& file) {
        ASSERT_TRUE(save(program, file));
        const HWND box = waitForWindow(program.processId(), L"Fail", 20s);
        ASSERT_NE(box, nullptr) << "no message for " << file.string();
        EXPECT_EQ(messageText(box), L"Save configuration file fail, please check the file.");
        // Like every message of the program, it has no owner and leaves the window usable.
        EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
        EXPECT_TRUE(::IsWindowEnabled(window()));
        pressButton(box, IDOK);
        EXPECT_TRUE(waitUntilGone(box));
    }
};

TEST_F(ConfigurationFiles, ASavedFileLoadsBackIntoAFreshProgramWithItsBoxesAndEnabling) {
    const fs::path file = folder().path() / "cabinet 4.ini";
    {
        RunningProgram program = startIdle();
        ASSERT_NE(window(), nullptr);
        enterPanel(window(), kEntered);
        ASSERT_EQ(readPanel(window()), kEntered);
        // A name typed without extension gets ".ini".
        ASSERT_TRUE(save(program, folder().path() / "cabinet 4"));
        // Saving reads the panel, typed entries included, and leaves it as it was.
        EXPECT_EQ(panelInFile(file), kEntered);
        EXPECT_EQ(readPanel(window()), kEntered);
        EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    }

    RunningProgram program = startIdle();
    ASSERT_NE(window(), nullptr);
    ASSERT_NE(readPanel(window()), kEntered);
    ASSERT_TRUE(load(program, file));
    EXPECT_EQ(readPanel(window()), kEntered);
    expectEnablingFollowsBoxes(window());
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

TEST_F(ConfigurationFiles, SavingOverAFileKeepsItsOtherSectionsKeysAndComments) {
    const fs::path file = folder().path() / "site.ini";
    const std::string before = "; cabinet 4, north hall\r\n"
                               "[Site]\r\n"
                               "Name = North hall\r\n"
                               "\r\n"
                               "[SystemParameter]\r\n"
                               "Operator=kept\r\n"
                               "acfltdelayhr = 99\r\n"
                               "; the date of the last battery\r\n"
                               "bInstallDate=0\r\n"
                               "\r\n"
                               "[Other]\r\n"
                               "AcFltDelayHr=5\r\n";
    writeFile(file, before);

    RunningProgram program = startIdle();
    ASSERT_NE(window(), nullptr);
    enterPanel(window(), kEntered);
    ASSERT_TRUE(save(program, file));
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));

    const std::string after = fileBytes(file);
    EXPECT_EQ(panelInFile(file), kEntered);
    EXPECT_EQ(withoutPanelKeys(after), withoutPanelKeys(before)) << after;
    // The keys already there are replaced where they stand, the one in [Other] is not a panel key.
    const std::vector<std::string> written = lines(after);
    EXPECT_EQ(std::count_if(written.begin(), written.end(),
                            [](const std::string& line) { return keyOf(line) == "acfltdelayhr"; }),
              2);
    EXPECT_EQ(keyOf(written[6]), "acfltdelayhr");
    EXPECT_EQ(written.back(), "AcFltDelayHr=5\r");
    EXPECT_EQ(filesIn(folder().path()), 6u) << "the program, the library, scenario, trace, "
                                               "working file and site.ini, no leftovers";
}

TEST_F(ConfigurationFiles, ClosingWritesTheWorkingFileAfterAnotherFileWasLoaded) {
    const fs::path file = folder().path() / "site.ini";
    const std::string siteBytes = configurationText(kSiteFile);
    writeFile(file, siteBytes);

    RunningProgram program = startIdle();
    ASSERT_NE(window(), nullptr);
    ASSERT_TRUE(load(program, file));
    ASSERT_EQ(readPanel(window()), kSiteFile);
    typeText(window(), IDC_EDT_INSTALL_YEAR, L"2015");
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));

    Panel closed = kSiteFile;
    closed.fields[8] = L"2015";
    EXPECT_EQ(panelInFile(folder().workingFile()), closed);
    EXPECT_EQ(fileBytes(file), siteBytes);
}

TEST_F(ConfigurationFiles, EveryDialogStartsInTheProgramsFolderAndCancellingChangesNothing) {
    const fs::path other = folder().path() / "other";
    fs::create_directories(other);

    RunningProgram program = startIdle();
    ASSERT_NE(window(), nullptr);
    enterPanel(window(), kEntered);
    ASSERT_TRUE(save(program, other / "first.ini"));
    // A bare name lands in the folder the program started in, not where the last dialog went.
    ASSERT_TRUE(save(program, "second.ini"));
    EXPECT_TRUE(fs::exists(folder().path() / "second.ini"));
    EXPECT_FALSE(fs::exists(other / "second.ini"));

    const std::size_t files = filesIn(folder().path());
    for (const int command : {ID_FILE_SAVECONFIGURATION, ID_FILE_LOADCONFIGURATION}) {
        postCommand(window(), command);
        const HWND dialog = waitForWindow(
            program.processId(),
            command == ID_FILE_SAVECONFIGURATION ? kSaveDialogCaption : kOpenDialogCaption, 20s);
        ASSERT_NE(dialog, nullptr);
        pressButton(dialog, IDCANCEL);
        EXPECT_TRUE(waitUntilGone(dialog));
    }
    EXPECT_EQ(readPanel(window()), kEntered);
    EXPECT_EQ(filesIn(folder().path()), files);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

TEST_F(ConfigurationFiles, TheWorkingFileIsWrittenBesideAProgramInALongPath) {
    // A folder name that brings the program's path to 250 characters, close to what the platform
    // can start, and non-ASCII.
    constexpr std::size_t kProgramPathLength = 250;
    const std::wstring prefix = L"Konfiguration \u00e4\u00f6\u00fc ";
    const std::size_t used = folder().executable().wstring().size() + 1 + prefix.size();
    ASSERT_LT(used, kProgramPathLength);
    folder().moveProgramInto(prefix + std::wstring(kProgramPathLength - used, L'a'));
    ASSERT_EQ(folder().executable().wstring().size(), kProgramPathLength);

    RunningProgram program = startIdle();
    ASSERT_NE(window(), nullptr);
    enterPanel(window(), kEntered);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    EXPECT_EQ(panelInFile(folder().workingFile()), kEntered);
}

TEST_F(ConfigurationFiles, AnUnwritableTargetIsReportedAndAnExistingFileStaysWhole) {
    const fs::path locked = folder().path() / "locked.ini";
    const std::string lockedBytes = "; do not change\r\n" + configurationText(kSiteFile);
    writeFile(locked, lockedBytes);
    ASSERT_TRUE(::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    const fs::path missingFolder = folder().path() / "no such folder";

    RunningProgram program = startIdle();
    ASSERT_NE(window(), nullptr);
    enterPanel(window(), kEntered);
    expectSaveFailure(program, missingFolder / "cabinet.ini");
    expectSaveFailure(program, locked);
    // The program goes on as before.
    EXPECT_EQ(readPanel(window()), kEntered);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));

    EXPECT_FALSE(fs::exists(missingFolder));
    EXPECT_EQ(fileBytes(locked), lockedBytes);
    EXPECT_EQ(panelInFile(folder().workingFile()), kEntered);
}

} // namespace
} // namespace brenvik::wintest::gui
