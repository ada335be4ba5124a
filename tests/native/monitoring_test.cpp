#include "res/resource.h"
#include "shell/main_window_core.h"
#include "tests/support/operator_texts.h"
#include "tests/support/window_rig.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace brenvik {
namespace {

namespace text = testing::text;

using Ids = std::set<int>;
using Texts = std::vector<std::string>;
using Colours = std::map<int, std::pair<std::uint32_t, std::uint32_t>>;

// The main window's core on a virtual supply whose channel is open, as after a good connection,
// with the start values displayed.
struct Rig : testing::WindowRig {
    Rig() {
        bridge.supply().state() = {.settings = {5, 4, 3, 30, 0, 0, 1},
                                   .installDate = {9, 12, 20, 13},
                                   .powerUpHours = 10000,
                                   .acFaultCount = 3,
                                   .sysFaultCount = 1,
                                   .statusBits2 = 0x07,
                                   .batteryReading = 512,
                                   .outputReading = 1023,
                                   .chargeReading = 1312,
                                   .firmwareTenths = 23};
        core.face().showPanel(core.model());
    }
    // The monitoring fields 1013 to 1022, 1026, 1034, 1035, then the panel's, as shown.
    std::string fields() const {
        std::string out;
        for (int id : {1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1026,
                       1034, 1035, 1005, 1006, 1007, 1008, 1009, 1010, 1058, 1059, 1060}) {
            out += (out.empty() ? "" : "|") + window.controlText(id);
        }
        return out;
    }

    MainWindowCore core{window, clock, state, "Brenvik-USB.exe"};
};

const Ids kWholePanel{1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1028,
                      1029, 1030, 1031, 1032, 1036, 1037, 1038, 1058, 1059, 1060, 1061, 1062};

// START locks the whole panel and APPLY whatever the boxes say; STOP unlocks the boxes, the
// fields of the ticked ones, and APPLY when any is ticked. No poll is made before the first tick.
TEST(Monitoring, StartLocksThePanelAndStopUnlocksItByTheOptionFlags) {
    // The boxes ticked, then what stays disabled after STOP.
    const std::pair<Ids, Ids> cases[] = {
        {{},
         {1003, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1028, 1029, 1030, 1036, 1037, 1038, 1058,
          1059, 1060, 1061, 1062}},
        {{1000, 1001, 1032}, {1008, 1009, 1010, 1030, 1037, 1038}},
    };
    for (const auto& [ticked, disabledAfterStop] : cases) {
        SCOPED_TRACE(::testing::Message() << ticked.size() << " boxes ticked");
        Rig r;
        const auto [bridge, window, clock, state, core] =
            std::tie(r.bridge, r.window, r.clock, r.state, r.core);
        window.checked = ticked;
        core.onOptionBoxClicked(1000); // takes the boxes into the option flags
        window.disabled.clear();

        core.onStartStop();
        EXPECT_EQ(window.disabled, kWholePanel);
        EXPECT_EQ(window.disabledMenuCommands, Ids{32775});
        EXPECT_EQ(window.timers, (std::map<int, unsigned>{{1, 1000u}}));
        EXPECT_EQ(window.controlText(1012), "STOP");
        EXPECT_EQ(window.buttonColours, (Colours{{1012, {0xFFFFFF, 0x0000FF}}}));
        EXPECT_TRUE(state.monitoring);

        core.onStartStop();
        EXPECT_EQ(window.disabled, disabledAfterStop);
        EXPECT_EQ(window.disabledMenuCommands, Ids{});
        EXPECT_EQ(window.timers, (std::map<int, unsigned>{}));
        EXPECT_EQ(window.controlText(1012), "START");
        EXPECT_EQ(window.buttonColours, (Colours{{1012, {0xFFFFFF, 0x008000}}}));
        EXPECT_EQ(window.invalidations, (std::vector<bool>{false, false}));
        EXPECT_FALSE(state.monitoring || state.activity);
        EXPECT_TRUE(clock.waits.empty());
        EXPECT_TRUE(bridge.commandsSent().empty());
    }
}

class MonitoringTicks : public ::testing::Test, protected Rig {};

// Good polls: the activity flag flips on every tick, the battery age repaints the window only
// when its class changes.
TEST_F(MonitoringTicks, TicksShowEachPollAndRepaintOnlyWhenTheBatteryAgeChanges) {
    const std::string good = "30.00|15.01|2.00|10000|26001|3|1|Yes|Yes|No fault|No fault|2.3|" +
                             text::kPartModel1 + "|3|4|5|0|0|30|9|12|2013";
    // Battery hours, then the activity flag, the battery age class and the tick's repaints: each
    // change of class, None to Young included, repaints once more, at the limits of each class.
    const std::tuple<std::uint32_t, bool, int, std::size_t> steps[] = {
        {0, true, 1, 2},     {26000, false, 1, 1},    {26001, true, 2, 2}, {30000, false, 2, 1},
        {30001, true, 3, 2}, {16777215, false, 3, 1}, {26000, true, 1, 2}};
    core.onStartStop();
    follow();
    for (const auto& [hours, activity, age, repaints] : steps) {
        SCOPED_TRACE(hours);
        bridge.supply().state().batteryHours = hours;
        window.invalidations.clear();
        clock.timeline.clear();

        core.onTimer(1);
        EXPECT_EQ(clock.timeline,
                  (Texts{"0a55", "status " + text::kReading, "wait 100", "0455", "wait 100", "0455",
                         "wait 100", "0455", "wait 100", "0455", "status " + text::kReadSuccess}));
        EXPECT_EQ(state.activity, activity);
        EXPECT_EQ(static_cast<int>(state.monitor.batteryAge), age);
        EXPECT_EQ(window.invalidations, std::vector<bool>(repaints, false));
        std::string shown = good;
        shown.replace(shown.find("26001"), 5, std::to_string(hours));
        EXPECT_EQ(fields(), shown);
        EXPECT_EQ(window.comboSelection(1003), 1);
        EXPECT_EQ(window.timers, (std::map<int, unsigned>{{1, 1000u}}));
    }
}

// While a tick's panel read shows "Enter an integer.", whatever the message loop runs meanwhile
// (ticks of either timer, a lost focus, a click on a box) opens no second message and polls
// nothing; the tick that opened it goes on and its redisplay replaces the bad text.
TEST_F(MonitoringTicks, ABadFieldShowsOneMessageWhateverRunsWhileItIsOpen) {
    const std::vector<std::pair<const char*, std::function<void()>>> nested{
        {"monitor tick", [&] { core.onTimer(1); }},
        {"connect tick", [&] { core.onTimer(2); }},
        {"lost focus", [&] { core.onDelayEditLostFocus(); }},
        {"option box", [&] { core.onOptionBoxClicked(1004); }},
    };
    core.onStartStop();
    for (const auto& [name, handler] : nested) {
        SCOPED_TRACE(name);
        window.messages.clear();
        window.texts[1058] = "abc";
        std::size_t commandsWhileOpen = 0;
        window.whileMessageOpen = [&, &handler = handler] {
            if (window.messages.size() > 1) {
                return; // a second message: the fault; no deeper
            }
            const std::size_t before = bridge.commandsSent().size();
            handler();
            handler();
            commandsWhileOpen = bridge.commandsSent().size() - before;
        };
        core.onTimer(1);
        window.whileMessageOpen = nullptr;
        core.onTimer(1);

        EXPECT_EQ(window.messageTexts(), Texts{text::kNotAnInteger});
        EXPECT_EQ(commandsWhileOpen, 0u);
        EXPECT_EQ(window.focused, std::optional<int>(1058));
        EXPECT_EQ(window.controlText(1058), "9");
        EXPECT_EQ(window.statusText(), text::kReadSuccess);
    }
}

} // namespace
} // namespace brenvik
