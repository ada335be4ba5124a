// Monitoring as the operator sees it, once the program has connected by itself: START locks the
// panel and polls the supply once a second, a supply unplugged through the control file keeps the
// last values on screen, STOP unlocks the panel by its boxes, and a bad field read by a monitor
// tick shows one message at a time. The polls' timing is read from the stand-in library's trace,
// whose lines carry milliseconds; which waits fall between which transfers is the native tests'
// to prove, that the program really waits is proven here.

#include "tools/driver/program_driver.h"

#include <gtest/gtest.h>
#include <sstream>

namespace brenvik::wintest {
namespace {

constexpr std::wstring_view kPollSuccess = L"Pass, Read device status success! ";

struct Transfer {
    long long ms;
    std::string frame;
};

// The transfers of the trace, in order.
std::vector<Transfer> transfers(const std::string& trace) {
    std::vector<Transfer> out;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const auto frame = line.find(" frame=");
        if (line.find(" transfer ") != std::string::npos && frame != std::string::npos) {
            out.push_back({std::stoll(line), line.substr(frame + 7, 4)});
        }
    }
    return out;
}

// The texts of the controls `ids`.
std::vector<std::wstring> texts(HWND window, std::initializer_list<int> ids) {
    std::vector<std::wstring> out;
    for (int id : ids) {
        out.push_back(controlText(window, id));
    }
    return out;
}

const std::initializer_list<int> kMonitoringFields{1013, 1014, 1015, 1016, 1017, 1018,
                                                   1019, 1020, 1021, 1022, 1026};

// The program started and connected by itself.
class Monitoring : public ::testing::Test, protected ProgramSession {
protected:
    void SetUp() override {
        useScenario("jitter = 0\r\nhour_length_ms = 0\r\nbattery_hours = 26001\r\n"
                    "control_file = control.txt\r\n");
        program.emplace(start());
        const std::wstring_view connected = L"Pass, Connect device success! ";
        ASSERT_EQ(waitForStatus(connected), connected);
    }

    std::optional<RunningProgram> program;
};

TEST_F(Monitoring, PollsOnceASecondKeepsTheValuesWhileUnpluggedAndStopUnlocksByTheBoxes) {
    // The supply's settings in the panel, every box clear with the fields
    // that follow them and APPLY disabled, the monitoring fields left to the monitoring.
    EXPECT_EQ(readPanel(window()), (Panel{L"0", L"5", L"0", L"0", L"0", L"30", L"2", L"7", L"2010",
                                          L"0", L"0", L"0", L"0", L"0", L"0", L"0"}));
    EXPECT_EQ(texts(window(), {1034, 1035, 1013}),
              (std::vector<std::wstring>{L"2.3", L"TRQ 60-40-20", L""}));
    EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
    click(window(), IDC_CHK_INSTALL_DATE);
    const long long connected = transfers(trace()).back().ms;
    click(window(), IDC_BTN_START);

    // The whole panel locked, the date box and its fields included.
    EXPECT_EQ(controlText(window(), IDC_BTN_START), L"STOP");
    for (int id : {IDC_CHK_INSTALL_DATE, IDC_EDT_INSTALL_YEAR, IDC_BTN_APPLY}) {
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(window(), id))) << id;
    }
    ASSERT_EQ(waitForStatus(kPollSuccess), kPollSuccess);
    const std::vector<std::wstring> shown{L"27.51", L"27.18",    L"1.01",    L"12345",
                                          L"26001", L"3",        L"1",       L"No",
                                          L"No",    L"No fault", L"No fault"};
    EXPECT_EQ(texts(window(), kMonitoringFields), shown);

    // The first poll a second after START (the timer may fire a little early): command 10, then
    // four chunk reads at least 100 ms apart.
    std::vector<Transfer> poll;
    ASSERT_TRUE(waitUntil(10s, [&] {
        poll = transfers(trace());
        std::erase_if(poll, [&](const Transfer& t) { return t.ms <= connected; });
        return poll.size() >= 5;
    }));
    std::string seen;
    for (std::size_t i = 0; i < 5; ++i) {
        const long long gap = poll[i].ms - (i == 0 ? connected : poll[i - 1].ms);
        seen += poll[i].frame + (gap < (i == 0 ? 950 : 100) ? " early " : " ");
    }
    EXPECT_EQ(seen, "0a55 0455 0455 0455 0455 ");

    writeFile(folder() / "control.txt", "plugged = no\r\n");
    const std::wstring_view failed = L"Fail, Communicate error,please try again. ";
    EXPECT_EQ(waitForStatus(failed), failed);
    EXPECT_EQ(texts(window(), kMonitoringFields), shown);
    writeFile(folder() / "control.txt", "plugged = yes\r\n");
    EXPECT_EQ(waitForStatus(kPollSuccess), kPollSuccess);

    // STOP with the date box ticked: the boxes, the date's fields and APPLY (which fields STOP
    // unlocks by which boxes is the native tests' to prove).
    click(window(), IDC_BTN_START);
    EXPECT_EQ(controlText(window(), IDC_BTN_START), L"START");
    EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
    EXPECT_EQ(program->close(), std::optional<DWORD>(0));
}

// A bad field read by a monitor tick shows one message. While it is open the timer goes on
// ticking: no second message opens and nothing is polled; once it is closed, the tick's
// redisplay puts the supply's month back.
TEST_F(Monitoring, ABadFieldShowsOneMessageAtATime) {
    typeText(window(), IDC_EDT_INSTALL_MONTH, L"abc");
    click(window(), IDC_BTN_START);
    // The "Enter an integer." messages: the windows captioned with the application name, the
    // main window aside.
    const auto messages = [&] {
        std::vector<HWND> boxes = visibleWindows(program->processId(), L"Brenvik-USB");
        std::erase(boxes, window());
        return boxes;
    };
    std::vector<HWND> open;
    ASSERT_TRUE(waitUntil(20s, [&] { return !(open = messages()).empty(); }));
    // Three of the timer's periods, ended at once by a second message or a transfer.
    const std::size_t before = transfers(trace()).size();
    EXPECT_FALSE(waitUntil(3s, [&] {
        return (open = messages()).size() != 1 || transfers(trace()).size() != before;
    }));
    ASSERT_EQ(open.size(), 1u);
    pressButton(open[0], IDOK);
    ASSERT_TRUE(waitUntilGone(open[0]));
    EXPECT_EQ(waitForStatus(kPollSuccess), kPollSuccess);
    EXPECT_EQ(controlText(window(), IDC_EDT_INSTALL_MONTH), L"2");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(program->close(), std::optional<DWORD>(0));
}

} // namespace
} // namespace brenvik::wintest
