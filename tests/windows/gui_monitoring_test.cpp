// Monitoring as the operator sees it, once the program has connected by itself: START locks the
// panel and polls the supply once a second, a supply unplugged through the control file keeps the
// last values on screen, STOP unlocks the panel by its boxes, and a bad field shows one message at
// a time. The polls' timing is read from the stand-in library's trace, whose lines carry
// milliseconds.

#include "tools/driver/program_driver.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace brenvik::wintest {
namespace {

constexpr std::wstring_view kConnectSuccess = L"Pass, Connect device success! ";
constexpr std::wstring_view kPollSuccess = L"Pass, Read device status success! ";
constexpr std::wstring_view kPollFailure = L"Fail, Communicate error,please try again. ";

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

// The controls of `ids` that are enabled, or the texts of all of them.
std::vector<int> enabled(HWND window, std::initializer_list<int> ids) {
    std::vector<int> out;
    std::copy_if(ids.begin(), ids.end(), std::back_inserter(out),
                 [&](int id) { return ::IsWindowEnabled(::GetDlgItem(window, id)); });
    return out;
}
std::vector<std::wstring> texts(HWND window, std::initializer_list<int> ids) {
    std::vector<std::wstring> out;
    for (int id : ids) {
        out.push_back(controlText(window, id));
    }
    return out;
}

const std::initializer_list<int> kLockedWhileMonitoring{
    1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1028,
    1029, 1030, 1031, 1032, 1036, 1037, 1038, 1058, 1059, 1060, 1061, 1062};
const std::initializer_list<int> kMonitoringFields{1013, 1014, 1015, 1016, 1017, 1018,
                                                   1019, 1020, 1021, 1022, 1026};

class Monitoring : public ::testing::Test, protected ProgramSession {
protected:
    Monitoring() {
        useScenario("jitter = 0\r\nhour_length_ms = 0\r\nbattery_hours = 26001\r\n"
                    "control_file = control.txt\r\n");
    }
};

TEST_F(Monitoring, PollsOnceASecondKeepsTheValuesWhileUnpluggedAndStopUnlocksByTheBoxes) {
    // Connected by itself: the supply's settings in the panel, every box clear with the fields
    // that follow them and APPLY disabled, the monitoring fields left to the monitoring.
    RunningProgram program = start();
    ASSERT_EQ(waitForStatus(kConnectSuccess), kConnectSuccess);
    EXPECT_EQ(readPanel(window()), (Panel{L"0", L"5", L"0", L"0", L"0", L"30", L"2", L"7", L"2010",
                                          L"0", L"0", L"0", L"0", L"0", L"0", L"0"}));
    EXPECT_EQ(texts(window(), {1034, 1035, 1013}),
              (std::vector<std::wstring>{L"2.3", L"TRQ 60-40-20", L""}));
    EXPECT_EQ(controlsAgainstTheirBoxes(window()), std::vector<int>{});
    click(window(), IDC_CHK_INSTALL_DATE);
    const long long connected = transfers(trace()).back().ms;
    click(window(), IDC_BTN_START);

    EXPECT_EQ(controlText(window(), IDC_BTN_START), L"STOP");
    EXPECT_EQ(enabled(window(), kLockedWhileMonitoring), std::vector<int>{});
    ASSERT_EQ(waitForStatus(kPollSuccess), kPollSuccess);
    const std::vector<std::wstring> shown{L"27.51", L"27.18",    L"1.01",    L"12345",
                                          L"26001", L"3",        L"1",       L"No",
                                          L"No",    L"No fault", L"No fault"};
    EXPECT_EQ(texts(window(), kMonitoringFields), shown);

    // Three polls: the first a second after START, each of command 10 and four chunk reads
    // 100 ms apart, a second from one to the next.
    // The upper bounds leave room for a loaded machine; the waits themselves are the lower ones.
    std::vector<Transfer> polls;
    for (int tries = 0; tries < 100 && polls.size() < 15; ++tries) {
        std::this_thread::sleep_for(100ms);
        polls = transfers(trace());
        std::erase_if(polls, [&](const Transfer& t) { return t.ms <= connected; });
    }
    ASSERT_GE(polls.size(), 15u);
    std::string frames;
    for (std::size_t i = 0; i < 15; ++i) {
        frames += polls[i].frame + (i % 5 == 4 ? " | " : " ");
        // From a chunk read to the one before, from a poll's command 10 to the one before.
        const long long gap =
            i == 0 ? polls[0].ms - connected : polls[i].ms - polls[i - (i % 5 == 0 ? 5 : 1)].ms;
        EXPECT_GE(gap, i % 5 == 0 ? 950 : 100) << i;
        EXPECT_LE(gap, i % 5 == 0 ? 2500 : 600) << i;
    }
    EXPECT_EQ(frames, "0a55 0455 0455 0455 0455 | 0a55 0455 0455 0455 0455 | "
                      "0a55 0455 0455 0455 0455 | ");

    writeFile(folder() / "control.txt", "plugged = no\r\n");
    EXPECT_EQ(waitForStatus(kPollFailure), kPollFailure);
    EXPECT_EQ(texts(window(), kMonitoringFields), shown);
    writeFile(folder() / "control.txt", "plugged = yes\r\n");
    EXPECT_EQ(waitForStatus(kPollSuccess), kPollSuccess);

    // STOP with the date box ticked: its fields and APPLY enabled, the others not.
    click(window(), IDC_BTN_START);
    EXPECT_EQ(controlText(window(), IDC_BTN_START), L"START");
    EXPECT_EQ(
        enabled(window(), kLockedWhileMonitoring),
        (std::vector<int>{1000, 1001, 1002, 1004, 1011, 1031, 1032, 1058, 1059, 1060, 1061, 1062}));

    // STOP with no box ticked: only the boxes.
    click(window(), IDC_CHK_INSTALL_DATE);
    click(window(), IDC_BTN_START);
    click(window(), IDC_BTN_START);
    EXPECT_EQ(enabled(window(), kLockedWhileMonitoring),
              (std::vector<int>{1000, 1001, 1002, 1004, 1031, 1032}));
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

// A bad field shows one message, which holds off the operator's clicks on the window until it is
// closed. While a monitor tick's message is open the timer goes on ticking: no second message
// opens and nothing is polled; once it is closed, the tick's redisplay puts the supply's month
// back.
TEST_F(Monitoring, ABadFieldShowsOneMessageAtATime) {
    RunningProgram program = start();
    ASSERT_EQ(waitForStatus(kConnectSuccess), kConnectSuccess);
    const HWND hours = ::GetDlgItem(window(), IDC_EDT_AC_HOURS);
    const auto focus = [&](HWND control) {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE,
                              SMTO_NORMAL, 20000, &result);
    };
    // The "Enter an integer." messages: the windows captioned with the application name, the
    // main window aside.
    const auto messages = [&] {
        std::vector<HWND> boxes = visibleWindows(program.processId(), L"Brenvik-USB");
        std::erase(boxes, window());
        return boxes;
    };
    // Polls until a message is open, then watches for `watch`: a second message, or a transfer
    // while it is open, ends the watch at once. The one message, answered.
    const auto oneMessage = [&](std::chrono::milliseconds watch) {
        std::vector<HWND> open;
        for (int i = 0; i < 400 && (open = messages()).empty(); ++i) {
            std::this_thread::sleep_for(50ms);
        }
        const std::size_t before = transfers(trace()).size();
        const auto end = std::chrono::steady_clock::now() + watch;
        while (std::chrono::steady_clock::now() < end && (open = messages()).size() == 1 &&
               transfers(trace()).size() == before) {
            std::this_thread::sleep_for(50ms);
        }
        EXPECT_EQ(transfers(trace()).size(), before);
        return open;
    };

    click(window(), IDC_CHK_AC_FAULT_DELAY);
    focus(hours);
    typeText(window(), IDC_EDT_AC_HOURS, L"abc");
    postKey(hours, VK_TAB);
    std::vector<HWND> open = oneMessage(0ms);
    ASSERT_EQ(open.size(), 1u);
    ASSERT_EQ(clicksBehind(open[0], window()), (std::vector<std::wstring>{L"", L"", L""}));
    pressButton(open[0], IDOK);
    ASSERT_TRUE(waitUntilGone(open[0]));
    // The handler gives the focus back once the box has returned.
    EXPECT_TRUE(waitUntil(5s, [&] { return focusedWindow(window()) == hours; }));
    EXPECT_EQ(mouseClick(window(), MouseTarget::FileMenu), L"#32768");

    typeText(window(), IDC_EDT_AC_HOURS, L"1");
    focus(::GetDlgItem(window(), IDC_BTN_START));
    typeText(window(), IDC_EDT_INSTALL_MONTH, L"abc");
    click(window(), IDC_BTN_START);
    // Three of the timer's periods.
    open = oneMessage(3s);
    ASSERT_EQ(open.size(), 1u);
    pressButton(open[0], IDOK);
    ASSERT_TRUE(waitUntilGone(open[0]));
    EXPECT_EQ(waitForStatus(kPollSuccess), kPollSuccess);
    EXPECT_EQ(controlText(window(), IDC_EDT_INSTALL_MONTH), L"2");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

} // namespace
} // namespace brenvik::wintest
