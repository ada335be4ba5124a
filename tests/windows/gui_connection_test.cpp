// The connection the program makes by itself half a second after it starts, as the operator
// sees it: the supply's values in the panel when it answers, and the working configuration file
// in the panel when there is no bridge or the supply stays silent. The window does not answer
// while it connects, so the steps on the way are read from the stand-in library's trace.

#include "tests/windows/support/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

constexpr std::wstring_view kConnectSuccess = L"Pass, Connect device success! ";
constexpr std::wstring_view kConnectFail = L"Fail, Connect device fail ";

// What the operator left in the working configuration file at the last close.
const Panel kWorkingFile{L"3",    L"20", L"15", L"0", L"45", L"0", L"9", L"12",
                         L"2013", L"2",  L"0",  L"1", L"0",  L"0", L"1", L"1"};

bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

class Connection : public ::testing::Test, protected ProgramSession {
protected:
    // Starts the program beside a working configuration file, waits for the connect step to end
    // in failure, and checks that the panel shows the file with the boxes' enabling.
    void expectFailureFallsBackToTheWorkingFile() {
        writeFile(workingFile(), configurationText(kWorkingFile));
        RunningProgram program = start();
        EXPECT_EQ(waitForStatus(kConnectFail), kConnectFail);
        EXPECT_EQ(readPanel(window()), kWorkingFile);
        EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
        EXPECT_EQ(controlText(window(), IDC_EDT_PART_NUMBER), L"");

        // Closing without a supply still keeps the panel's entries for the next start.
        typeText(window(), IDC_EDT_INSTALL_YEAR, L"2016");
        EXPECT_EQ(program.close(), std::optional<DWORD>(0));
        Panel closed = kWorkingFile;
        closed[8] = L"2016";
        EXPECT_EQ(panelInFile(workingFile()), closed);
    }
};

TEST_F(Connection, TheDefaultSupplyFillsThePanelWithItsValuesAndClearsTheBoxes) {
    RunningProgram program = start();
    EXPECT_EQ(waitForStatus(kConnectSuccess), kConnectSuccess);
    EXPECT_EQ(readPanel(window()), (Panel{L"0", L"5", L"0", L"0", L"0", L"30", L"2", L"7", L"2010",
                                          L"0", L"0", L"0", L"0", L"0", L"0", L"0"}));
    EXPECT_EQ(controlText(window(), IDC_EDT_FIRMWARE), L"2.3");
    EXPECT_EQ(controlText(window(), IDC_EDT_PART_NUMBER), L"TRQ 60-40-20");
    // The boxes' click handling has disabled every field that follows them, and APPLY.
    EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
    // The read-back leaves the monitoring fields to the monitoring.
    EXPECT_EQ(controlText(window(), IDC_EDT_OUTPUT_VOLTAGE), L"");
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    EXPECT_TRUE(contains(trace(), "frame=0355 reply=55 delivered=1/1 status=0")) << trace();
}

TEST_F(Connection, WithoutABridgeThePanelShowsTheWorkingFile) {
    useScenario("count_zero = yes\r\n");
    expectFailureFallsBackToTheWorkingFile();

    // The count of 0 brought the cable message; nothing was opened, and the read-back's command 3
    // found no device to answer it, which brought the communication error; no chunk was read.
    const std::string calls = trace();
    EXPECT_TRUE(contains(calls, "ord=20 count count=0 status=0")) << calls;
    EXPECT_FALSE(contains(calls, "ord=22 ")) << calls;
    EXPECT_TRUE(contains(calls, "frame=0355 reply= delivered=0/1")) << calls;
    EXPECT_FALSE(contains(calls, "frame=0455")) << calls;
}

TEST_F(Connection, WithASilentSupplyThePanelShowsTheWorkingFile) {
    useScenario("no_ack = 3\r\n");
    expectFailureFallsBackToTheWorkingFile();

    // The bridge was opened and set up; command 3 met the idle data line.
    const std::string calls = trace();
    EXPECT_TRUE(contains(calls, "ord=22 open name=\"USB SPI Bridge A\"")) << calls;
    EXPECT_TRUE(contains(calls, "frame=0355 reply=ff delivered=1/1 status=0")) << calls;
    EXPECT_FALSE(contains(calls, "frame=0455")) << calls;
}

TEST_F(Connection, ConnectDeviceFailingAfterALoadReloadsTheLoadedFileNotTheWorkingOne) {
    useScenario("no_ack = 3\r\n");
    writeFile(workingFile(), configurationText(kWorkingFile));
    const Panel site{L"1",    L"2", L"3", L"4", L"5", L"6", L"7", L"8",
                     L"2012", L"1", L"1", L"0", L"1", L"0", L"0", L"0"};
    writeFile(folder() / "site.ini", configurationText(site));

    RunningProgram program = start();
    ASSERT_EQ(waitForStatus(kConnectFail), kConnectFail);
    postCommand(window(), ID_FILE_LOADCONFIGURATION);
    answerFileDialog(L"Open", folder() / "site.ini");
    ASSERT_EQ(readPanel(window()), site);

    // Entries typed after loading give way to the loaded file when the supply stays silent.
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
