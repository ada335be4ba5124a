// APPLY as the operator uses it: the Caution dialog with the change summary, the closing box, and
// an unplugged supply with both Retry boxes; while a box is open, the operator's clicks on the
// window behind it reach nothing. The wire is read from the stand-in library's trace; the checks
// before anything is sent and the summary's texts are the native tests' to prove.

#include "tools/driver/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

using Frames = std::vector<std::string>;
using Texts = std::vector<std::wstring>;

// What clicks on START, APPLY and the "File" menu show behind an open box.
const Texts kNothingReached{L"", L"", L""};

class Apply : public ::testing::Test, protected ProgramSession {
protected:
    RunningProgram startConnected() {
        RunningProgram program = start();
        const std::wstring_view connected = L"Pass, Connect device success! ";
        EXPECT_EQ(waitForStatus(connected), connected);
        return program;
    }
    // Frames of the transfers since the last call, as hex.
    Frames newFrames() {
        const std::string text = trace();
        Frames frames;
        for (auto at = text.find("frame=", traced_); at != std::string::npos;
             at = text.find("frame=", at + 1)) {
            frames.push_back(text.substr(at + 6, text.find(' ', at) - at - 6));
        }
        traced_ = text.size();
        return frames;
    }
    // The next window with `caption` (the program is the only one showing windows), once it
    // appears; nullptr after half a minute.
    HWND box(std::wstring_view caption) const { return waitForWindow(0, caption, 30s); }
    // The next window with `caption`: its texts of `ids`, then answered with `button`.
    Texts answer(std::wstring_view caption, std::vector<int> ids, int button) const {
        const HWND found = box(caption);
        EXPECT_NE(found, nullptr) << "no " << std::string(caption.begin(), caption.end());
        Texts texts;
        for (int id : ids) {
            texts.push_back(controlText(found, id));
        }
        pressButton(found, button);
        EXPECT_TRUE(waitUntilGone(found));
        return texts;
    }
    void clickApply() { pressButton(window(), IDC_BTN_APPLY); }

    std::size_t traced_ = 0;
};

TEST_F(Apply, ARangeBoxBlocksTheWindowEscapeSendsNothingOkResetsTheFaultCounts) {
    RunningProgram program = startConnected();
    // A range message stops APPLY; the window behind it takes no click until OK closes it, and
    // then START works again.
    click(window(), IDC_CHK_AC_FAULT_DELAY);
    typeText(window(), IDC_EDT_AC_HOURS, L"300");
    clickApply();
    const HWND range = box(L"Brenvik");
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(controlText(range, 0xFFFF), L"Enter an integer between 0 and 255.");
    ASSERT_EQ(clicksBehind(range, window()), kNothingReached);
    pressButton(range, IDOK);
    EXPECT_TRUE(waitUntilGone(range));
    EXPECT_EQ(mouseClick(window(), MouseTarget::Start), L"STOP");
    EXPECT_EQ(mouseClick(window(), MouseTarget::Start), L"START");
    click(window(), IDC_CHK_AC_FAULT_DELAY);

    // Cancel in Caution sends nothing; OK sends the reset and its confirm.
    click(window(), IDC_CHK_RESET_FAULT_COUNTS);
    newFrames();
    clickApply();
    EXPECT_EQ(answer(L"Caution", {1027}, IDCANCEL),
              (Texts{L"AC and System Fault counts will be reset to 0"}));
    clickApply();
    answer(L"Caution", {}, IDOK);
    EXPECT_EQ(answer(L"Pass", {0xFFFF}, IDOK), Texts{L"Write EEPROM success."});
    EXPECT_EQ(newFrames(), (Frames{"0b55", "0c55"}));

    // The next monitor tick shows the counts the reset cleared.
    EXPECT_EQ(mouseClick(window(), MouseTarget::Start), L"STOP");
    const std::wstring_view polled = L"Pass, Read device status success! ";
    ASSERT_EQ(waitForStatus(polled), polled);
    EXPECT_EQ(std::pair(controlText(window(), 1018), controlText(window(), 1019)),
              std::pair(std::wstring(L"0"), std::wstring(L"0")));
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

// Unplugged after connecting: both exchanges fail, Retry finds no supply; plugged back in, Retry
// reconnects and writes the worked frames, which the supply keeps across a restart.
TEST_F(Apply, UnpluggedSupplyRetriedUntilPluggedBackInThenTheValuesSurviveARestart) {
    useScenario("control_file = control.txt\r\n");
    ::SetEnvironmentVariableW(L"BRENVIK_VSUPPLY_STATE", (folder() / "state.txt").c_str());
    {
        RunningProgram program = startConnected();
        enterPanel(window(), {L"1", L"2", L"3", L"0", L"0", L"0", L"7", L"18", L"2011", L"1", L"1",
                              L"1", L"1", L"0", L"0", L"1"});
        writeFile(folder() / "control.txt", "plugged = no\r\n");
        newFrames();
        clickApply();
        // Every line of Caution, top to bottom, and its buttons.
        EXPECT_EQ(
            answer(L"Caution",
                   {1023, 1026, 1024, 1028, 1025, 1029, 1027, 1032, 1031, 1030, IDOK, IDCANCEL},
                   IDOK),
            (Texts{L"Battery Charge Selector:", L"5 to 8 Ah Battery.",
                   L"AC Fault reporting delay time in:", L"01: 02: 03 ",
                   L"System Fault reporting delay time in:", L"00: 00: 00 ",
                   L"Enter installation date (mm/dd/yyyy): 07/ 18/ 2011 ", L"", L"",
                   L"Do you still want to proceed?", L"OK", L"Cancel"}));
        // The Retry/Cancel box holds off every click on the window behind it, START and APPLY
        // included, which the date action has enabled again.
        const HWND failed = box(L"Fail");
        ASSERT_NE(failed, nullptr);
        EXPECT_EQ(controlText(failed, 0xFFFF), L"Communicate error,please try again.");
        ASSERT_EQ(clicksBehind(failed, window()), kNothingReached);
        pressButton(failed, IDRETRY);
        EXPECT_TRUE(waitUntilGone(failed));
        const HWND noDevice = box(L"Fail");
        ASSERT_NE(noDevice, nullptr);
        EXPECT_EQ(controlText(noDevice, 0xFFFF),
                  L"Can not find device,please check device and try again.");
        EXPECT_EQ(newFrames(), (Frames{"015503020100000001005d", "0d550712140b009a", "0355"}));
        writeFile(folder() / "control.txt", "plugged = yes\r\n");
        pressButton(noDevice, IDRETRY);
        answer(L"Caution", {}, IDOK);
        EXPECT_EQ(answer(L"Pass", {0xFFFF}, IDOK), Texts{L"Write EEPROM success."});
        const Frames frames = newFrames();
        EXPECT_EQ(Frames(frames.end() - 4, frames.end()),
                  (Frames{"015503020100000001005d", "0255030201000000010000", "0d550712140b009a",
                          "0e550712140b0000"}));
        EXPECT_EQ(mouseClick(window(), MouseTarget::Start), L"STOP");
        EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    }
    RunningProgram program = startConnected();
    EXPECT_EQ(readPanel(window()), (Panel{L"1", L"2", L"3", L"0", L"0", L"0", L"7", L"18", L"2011",
                                          L"1", L"0", L"0", L"0", L"0", L"0", L"0"}));
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

} // namespace
} // namespace brenvik::wintest
