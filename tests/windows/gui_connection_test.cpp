// The connection the program makes by itself half a second after it starts, as the operator
// sees it when it fails: the working configuration file (or the one loaded since) in the panel
// when there is no bridge or the supply stays silent. The window does not answer while it
// connects, so the steps on the way are read from the stand-in library's trace. (A supply that
// answers is the monitoring tests' starting point.)

#include "tools/driver/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

constexpr std::wstring_view kConnectFail = L"Fail, Connect device fail ";

// What the operator left in the working configuration file at the last close.
const Panel kWorkingFile{L"3",    L"20", L"15", L"0", L"45", L"0", L"9", L"12",
                         L"2013", L"2",  L"0",  L"1", L"0",  L"0", L"1", L"1"};

class Connection : public ::testing::Test, protected ProgramSession {
protected:
    // Starts the program beside the working file; the connect step must fail and leave the
    // file in the panel with the boxes' enabling.
    RunningProgram startFailing(std::string_view scenario) {
        useScenario(scenario);
        writeFile(workingFile(), configurationText(kWorkingFile));
        RunningProgram program = start();
        EXPECT_EQ(waitForStatus(kConnectFail), kConnectFail);
        EXPECT_EQ(readPanel(window()), kWorkingFile);
        EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
        EXPECT_EQ(controlText(window(), IDC_EDT_PART_NUMBER), L"");
        return program;
    }
    bool traced(std::string_view part) const { return trace().find(part) != std::string::npos; }
};

TEST_F(Connection, WithoutABridgeThePanelShowsTheWorkingFileAndClosingKeepsItsEntries) {
    RunningProgram program = startFailing("count_zero = yes\r\n");
    typeText(window(), IDC_EDT_INSTALL_YEAR, L"2016");
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    Panel closed = kWorkingFile;
    closed[8] = L"2016";
    EXPECT_EQ(panelInFile(workingFile()), closed);
}

TEST_F(Connection, WithASilentSupplyTheWorkingFileThenTheLoadedOneAreShown) {
    const Panel site{L"1",    L"2", L"3", L"4", L"5", L"6", L"7", L"8",
                     L"2012", L"1", L"1", L"0", L"1", L"0", L"0", L"0"};
    writeFile(folder() / "site.ini", configurationText(site));
    RunningProgram program = startFailing("no_ack = 3\r\n");
    // The bridge was opened and set up; command 3 met the idle data line.
    EXPECT_TRUE(traced("ord=22 open name=\"USB SPI Bridge A\"")) << trace();
    EXPECT_TRUE(traced("frame=0355 reply=ff delivered=1/1 status=0"));
    EXPECT_FALSE(traced("frame=0455"));

    pressButton(window(), ID_FILE_LOADCONFIGURATION);
    answerFileDialog(L"Open", folder() / "site.ini");
    ASSERT_EQ(readPanel(window()), site);
    // Entries typed after loading give way to the loaded file when Connect Device fails.
    typeText(window(), IDC_EDT_AC_HOURS, L"77");
    click(window(), IDC_CHK_INSTALL_DATE);
    runCommand(window(), ID_CONNECT_CONNECTDEVICE);
    EXPECT_EQ(statusBarText(statusBar(window()), 1), kConnectFail);
    EXPECT_EQ(readPanel(window()), site);
    EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

} // namespace
} // namespace brenvik::wintest
