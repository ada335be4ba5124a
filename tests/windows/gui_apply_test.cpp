// APPLY as the operator uses it: the Caution dialog with the change summary, the closing box,
// the checks before anything is sent, and an unplugged supply with the Retry paths. The wire is
// read from the stand-in library's trace.

#include "tests/windows/support/program_driver.h"

#include <gtest/gtest.h>
#include <utility>

namespace brenvik::wintest {
namespace {

constexpr std::wstring_view kConnectSuccess = L"Pass, Connect device success! ";
constexpr int kMessageText = 0xFFFF;

// The six texts of the Caution dialog, top to bottom.
using CautionTexts = std::array<std::wstring, 6>;

// Frames of the transfers in the trace, in order, as hex.
std::vector<std::string> framesSent(const std::string& trace) {
    std::vector<std::string> frames;
    for (std::size_t at = trace.find("frame="); at != std::string::npos;
         at = trace.find("frame=", at + 1)) {
        frames.push_back(trace.substr(at + 6, trace.find(' ', at) - at - 6));
    }
    return frames;
}

class Apply : public ::testing::Test, protected ProgramSession {
protected:
    // Starts the program, waits for the connection to the supply and ticks `boxes`.
    RunningProgram startConnected(std::initializer_list<int> boxes) {
        RunningProgram program = start();
        processId_ = program.processId();
        EXPECT_EQ(waitForStatus(kConnectSuccess), kConnectSuccess);
        for (int box : boxes) {
            click(window(), box);
        }
        return program;
    }
    std::size_t framesSoFar() const { return framesSent(trace()).size(); }

    // Clicks APPLY, reads the Caution dialog and answers it.
    CautionTexts confirm(int button) {
        postCommand(window(), IDC_BTN_APPLY);
        return answerCaution(button);
    }
    CautionTexts answerCaution(int button) {
        CautionTexts texts;
        const HWND caution = waitForWindow(processId_, L"Caution", 20s);
        if (caution == nullptr) {
            ADD_FAILURE() << "no Caution dialog";
            return texts;
        }
        EXPECT_FALSE(::IsWindowEnabled(window())) << "modal over the main window";
        const std::array<int, 6> ids{1026, 1028, 1029, 1027, 1032, 1031};
        for (std::size_t i = 0; i < ids.size(); ++i) {
            texts[i] = controlText(caution, ids[i]);
        }
        pressButton(caution, button);
        EXPECT_TRUE(waitUntilGone(caution));
        return texts;
    }
    // The next message box with `caption` once it appears, and its text.
    std::pair<HWND, std::wstring> waitForBox(std::wstring_view caption) const {
        const HWND box = waitForWindow(processId_, caption, 30s);
        return {box, box == nullptr ? L"no box " + std::wstring(caption)
                                    : controlText(box, kMessageText)};
    }
    static void answer(HWND box, int button) {
        pressButton(box, button);
        EXPECT_TRUE(waitUntilGone(box));
    }
    // Answers the next message box with `caption`; returns its text.
    std::wstring answerBox(std::wstring_view caption, int button) const {
        const auto [box, text] = waitForBox(caption);
        if (box != nullptr) {
            answer(box, button);
        }
        return text;
    }
    // Waits until the click has ended: the main window handles messages again.
    void clickEnded() const {
        ::SendMessageW(window(), WM_NULL, 0, 0);
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(window(), IDC_BTN_APPLY)));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(window(), IDC_BTN_START)));
    }

    DWORD processId_ = 0;
};

TEST_F(Apply, FaultCountsResetAfterCancelThenOk) {
    RunningProgram program = startConnected({IDC_CHK_RESET_FAULT_COUNTS});
    const std::size_t before = framesSoFar();

    EXPECT_EQ(confirm(IDCANCEL),
              (CautionTexts{L"No change", L"No change", L"No change",
                            L"AC and System Fault counts will be reset to 0", L"", L""}));
    clickEnded();
    EXPECT_EQ(framesSoFar(), before) << "nothing sent after Cancel";

    confirm(IDOK);
    EXPECT_EQ(answerBox(L"Pass", IDOK), L"Write EEPROM success.");
    clickEnded();
    const auto frames = framesSent(trace());
    EXPECT_EQ(std::vector<std::string>(frames.begin() + static_cast<std::ptrdiff_t>(before),
                                       frames.end()),
              (std::vector<std::string>{"0b55", "0c55"}));
    EXPECT_NE(trace().find("frame=0c55 reply=00000000 delivered=4/4"), std::string::npos);
    EXPECT_EQ(statusBarText(statusBar(window()), 1),
              L"Pass, Rest AC and System Fault counts success. ");
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

TEST_F(Apply, SettingsAndDateGoOutAsTheWorkedFramesAndComeBackAfterARestart) {
    ::SetEnvironmentVariableW(L"BRENVIK_VSUPPLY_STATE", (folder() / "state.txt").c_str());
    const Panel entered{L"1",    L"2", L"3", L"0", L"0", L"0", L"7", L"18",
                        L"2011", L"1", L"1", L"1", L"1", L"0", L"0", L"1"};
    {
        RunningProgram program = startConnected({});
        enterPanel(window(), entered);
        EXPECT_EQ(confirm(IDOK),
                  (CautionTexts{L"5 to 8 Ah Battery.", L"01: 02: 03 ", L"00: 00: 00 ",
                                L"Enter installation date (mm/dd/yyyy): 07/ 18/ 2011 ", L"", L""}));
        EXPECT_EQ(answerBox(L"Pass", IDOK), L"Write EEPROM success.");
        clickEnded();
        const auto frames = framesSent(trace());
        ASSERT_GE(frames.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(frames.end() - 4, frames.end()),
                  (std::vector<std::string>{"015503020100000001005d", "0255030201000000010000",
                                            "0d550712140b009a", "0e550712140b0000"}));
        EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    }
    RunningProgram program = startConnected({});
    EXPECT_EQ(readPanel(window()), (Panel{L"1", L"2", L"3", L"0", L"0", L"0", L"7", L"18", L"2011",
                                          L"1", L"0", L"0", L"0", L"0", L"0", L"0"}));
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

TEST_F(Apply, EntriesOutOfRangeAreReportedInOrderAndNothingIsSent) {
    RunningProgram program = startConnected({IDC_CHK_AC_FAULT_DELAY, IDC_CHK_SYS_FAULT_DELAY});
    const std::size_t before = framesSoFar();
    typeText(window(), IDC_EDT_AC_HOURS, L"300");
    typeText(window(), IDC_EDT_SYS_MINUTES, L"75");
    postCommand(window(), IDC_BTN_APPLY);
    EXPECT_EQ(answerBox(L"Brenvik", IDOK), L"Enter an integer between 0 and 255.");
    EXPECT_EQ(answerBox(L"Brenvik", IDOK), L"Enter an integer between 0 and 59.");
    clickEnded();

    typeText(window(), IDC_EDT_AC_HOURS, L"3");
    typeText(window(), IDC_EDT_SYS_MINUTES, L"7");
    click(window(), IDC_CHK_INSTALL_DATE);
    typeText(window(), IDC_EDT_INSTALL_MONTH, L"02");
    typeText(window(), IDC_EDT_INSTALL_DAY, L"29");
    typeText(window(), IDC_EDT_INSTALL_YEAR, L"2011");
    postCommand(window(), IDC_BTN_APPLY);
    EXPECT_EQ(answerBox(L"Error", IDOK), L"Enter installation date error.");
    clickEnded();
    EXPECT_EQ(framesSoFar(), before);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

TEST_F(Apply, UnpluggedSupplyFailsRetryFindsNoDeviceAndWritesOncePluggedBackIn) {
    useScenario("control_file = control.txt\r\n");
    RunningProgram program = startConnected({IDC_CHK_AC_FAULT_DELAY, IDC_CHK_RESET_FAULT_COUNTS});
    writeFile(folder() / "control.txt", "plugged = no\r\n");
    const std::size_t before = framesSoFar();

    confirm(IDOK);
    EXPECT_EQ(answerBox(L"Fail", IDRETRY), L"Communicate error,please try again.");
    const auto [noDevice, text] = waitForBox(L"Fail");
    ASSERT_NE(noDevice, nullptr);
    EXPECT_EQ(text, L"Can not find device,please check device and try again.");
    // Commands 1 and 11 went unanswered; the Retry reconnected and command 3 found no supply.
    auto frames = framesSent(trace());
    EXPECT_EQ(std::vector<std::string>(frames.begin() + static_cast<std::ptrdiff_t>(before),
                                       frames.end()),
              (std::vector<std::string>{"01550005001e0000000079", "0b55", "0355"}));
    writeFile(folder() / "control.txt", "plugged = yes\r\n");
    answer(noDevice, IDRETRY);
    answerCaution(IDOK);
    EXPECT_EQ(answerBox(L"Pass", IDOK), L"Write EEPROM success.");
    clickEnded();
    frames = framesSent(trace());
    EXPECT_EQ(std::vector<std::string>(frames.end() - 4, frames.end()),
              (std::vector<std::string>{"01550005001e0000000079", "02550005001e0000000000", "0b55",
                                        "0c55"}));
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

} // namespace
} // namespace brenvik::wintest
