#include "monitor/read_back.h"
#include "programming/panel.h"
#include "res/resource.h"
#include "shell/status_texts.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/virtual_bridge.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::monitor {
namespace {

using Items = std::vector<std::string>;

const Items kDefaultItems{"Default Charge Current", "1/2 Default Charge Current",
                          "1/4 Default Charge Current", "1/8 Default Charge Current"};
const Items kModel1Items{"9 to 40 Ah Battery", "5 to 8 Ah Battery", "4 Ah Battery", "2 Ah Battery"};
const Items kModel2Items{"18 to >80 Ah Battery", "9 to 12 Ah Battery", "5 to 8 Ah Battery",
                         "4 Ah Battery"};

// Everything the operator can see of the window.
struct Screen {
    std::map<int, std::string> texts;
    std::set<int> checked;
    std::set<int> disabled;
    std::map<int, std::vector<std::string>> combos;
    std::map<int, int> selections;

    explicit Screen(const testing::FakeWindow& w)
        : texts(w.texts), checked(w.checked), disabled(w.disabled), combos(w.combos),
          selections(w.comboSelections) {}
    bool operator==(const Screen&) const = default;
};

class ReadBack : public ::testing::Test {
protected:
    ReadBack() {
        // As the main window starts: generic selector items, entry 0, the record displayed.
        window.combos[IDC_CMB_CHARGE_CURRENT] = kDefaultItems;
        window.comboSelections[IDC_CMB_CHARGE_CURRENT] = 0;
        panelRedisplay(window, model);

        auto& state = supply().state();
        state.settings = {30, 15, 2, 9, 8, 7, 1}; // AC s/min/h, system s/min/h, selection
        state.installDate = {12, 31, 20, 9};
        state.modelCode = 2;
        state.firmwareTenths = 23;
        state.powerUpHours = 12345;
        state.batteryReading = 800;
    }

    void readBack() { readBackSettings(window, clock, virtualLink.link, model, monitorState); }
    vsupply::VirtualSupply& supply() { return virtualLink.bridge.supply(); }
    int selection() const { return window.comboSelection(IDC_CMB_CHARGE_CURRENT); }
    Items items() const { return window.comboItems(IDC_CMB_CHARGE_CURRENT); }

    vsupply::VirtualLink virtualLink;
    testing::FakeWindow window;
    testing::FakeClock clock;
    MainWindowModel model;
    MonitorState monitorState;
};

TEST_F(ReadBack, PanelShowsWhatTheSupplyHolds) {
    readBack();

    EXPECT_TRUE(virtualLink.link.linkOk);
    EXPECT_EQ(window.statusHistory, std::vector<std::string>{std::string(status::kReadingStatus)});
    EXPECT_EQ(clock.total(), std::chrono::milliseconds(2300));
    EXPECT_EQ(window.controlText(IDC_EDT_AC_HOURS), "2");
    EXPECT_EQ(window.controlText(IDC_EDT_AC_MINUTES), "15");
    EXPECT_EQ(window.controlText(IDC_EDT_AC_SECONDS), "30");
    EXPECT_EQ(window.controlText(IDC_EDT_SYS_HOURS), "7");
    EXPECT_EQ(window.controlText(IDC_EDT_SYS_MINUTES), "8");
    EXPECT_EQ(window.controlText(IDC_EDT_SYS_SECONDS), "9");
    EXPECT_EQ(window.controlText(IDC_EDT_INSTALL_MONTH), "12");
    EXPECT_EQ(window.controlText(IDC_EDT_INSTALL_DAY), "31");
    EXPECT_EQ(window.controlText(IDC_EDT_INSTALL_YEAR), "2009");
    EXPECT_EQ(window.controlText(IDC_EDT_FIRMWARE), "2.3");
    EXPECT_EQ(window.controlText(IDC_EDT_PART_NUMBER), "TRQ 120-80");
    EXPECT_EQ(items(), kModel2Items);
    EXPECT_EQ(selection(), 1);
    EXPECT_EQ(monitorState.lastRead, (LastReadSettings{1, 2, 15, 30, 7, 8, 9}));
}

TEST_F(ReadBack, MonitoringFieldsBatteryAgeAndEnablingAreNeverTouched) {
    window.setControlText(IDC_EDT_POWERUP_TIME, "stale");
    window.setControlText(IDC_EDT_BATTERY_VOLTAGE, "1.00");
    window.enableControl(IDC_EDT_AC_HOURS, false);
    window.setChecked(IDC_CHK_RESET_FAULT_COUNTS, true);
    monitorState.batteryAge = BatteryAge::Old;

    readBack();

    ASSERT_TRUE(virtualLink.link.linkOk);
    EXPECT_EQ(window.controlText(IDC_EDT_POWERUP_TIME), "stale");
    EXPECT_EQ(window.controlText(IDC_EDT_BATTERY_VOLTAGE), "1.00");
    EXPECT_EQ(window.controlText(IDC_EDT_CHARGE_CURRENT), "");
    EXPECT_EQ(monitorState.batteryAge, BatteryAge::Old);
    EXPECT_TRUE(window.invalidations.empty());
    EXPECT_EQ(window.disabled, std::set<int>{IDC_EDT_AC_HOURS});
    EXPECT_EQ(window.checked, std::set<int>{IDC_CHK_RESET_FAULT_COUNTS});
}

TEST_F(ReadBack, FailuresLeaveThePanelAsItWas) {
    struct Case {
        const char* name;
        bool unacknowledged;
        std::string_view lastText;
        std::size_t commandsSent;
    };
    for (const Case& c : {Case{"no acknowledgement", true, status::kCommErrorStop, 1},
                          Case{"bad checksum", false, status::kCommErrorBang, 5}}) {
        vsupply::VirtualLink link;
        link.bridge.supply().state() = supply().state();
        if (c.unacknowledged) {
            link.bridge.supply().faults().unacknowledged = {3};
        } else {
            link.bridge.supply().faults().badBlockChecksum = true;
        }
        window.setControlText(IDC_EDT_AC_MINUTES, "44");
        window.setControlText(IDC_EDT_FIRMWARE, "1.9");
        window.setChecked(IDC_CHK_AC_FAULT_DELAY, true);
        const Screen before(window);
        const LastReadSettings lastRead = monitorState.lastRead;

        readBackSettings(window, clock, link.link, model, monitorState);

        EXPECT_EQ(Screen(window), before) << c.name;
        EXPECT_EQ(window.statusText(), c.lastText) << c.name;
        EXPECT_FALSE(link.link.linkOk) << c.name;
        EXPECT_EQ(link.bridge.commandsSent().size(), c.commandsSent) << c.name;
        EXPECT_EQ(monitorState.lastRead, lastRead) << c.name;
    }
}

TEST_F(ReadBack, NewModelRebuildsTheSelectorAndShowsTheSelectionInIt) {
    readBack();
    ASSERT_EQ(items(), kModel2Items);
    ASSERT_EQ(selection(), 1);

    supply().state().modelCode = 1;
    supply().state().settings[6] = 3;
    readBack();
    EXPECT_EQ(items(), kModel1Items);
    EXPECT_EQ(selection(), 3);
    EXPECT_EQ(window.controlText(IDC_EDT_PART_NUMBER), "TRQ 60-40-20");
}

TEST_F(ReadBack, UnknownModelKeepsPartNumberAndItemsButTakesTheSettings) {
    readBack();
    supply().state().modelCode = 7;
    supply().state().settings = {1, 2, 3, 4, 5, 6, 2};
    supply().state().firmwareTenths = 31;
    readBack();
    EXPECT_EQ(window.controlText(IDC_EDT_PART_NUMBER), "TRQ 120-80");
    EXPECT_EQ(items(), kModel2Items);
    EXPECT_EQ(selection(), 2);
    EXPECT_EQ(window.controlText(IDC_EDT_AC_HOURS), "3");
    EXPECT_EQ(window.controlText(IDC_EDT_FIRMWARE), "3.1");

    MainWindowModel fresh;
    testing::FakeWindow startWindow;
    startWindow.combos[IDC_CMB_CHARGE_CURRENT] = kDefaultItems;
    readBackSettings(startWindow, clock, virtualLink.link, fresh, monitorState);
    EXPECT_EQ(startWindow.controlText(IDC_EDT_PART_NUMBER), "")
        << "empty until a known model has been read";
    EXPECT_EQ(startWindow.comboItems(IDC_CMB_CHARGE_CURRENT), kDefaultItems);
}

TEST_F(ReadBack, SelectionOutsideTheListSelectsNothing) {
    supply().state().settings[6] = 4;
    readBack();
    EXPECT_EQ(model.settings.chargeSelection, 4);
    EXPECT_EQ(selection(), -1);
}

} // namespace
} // namespace brenvik::monitor
