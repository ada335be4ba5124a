#include "operations/connection.h"
#include "res/resource.h"
#include "tests/support/operator_texts.h"
#include "tests/support/window_rig.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::monitor {
namespace {

namespace text = testing::text;
using Items = std::vector<std::string>;

class ReadBack : public ::testing::Test, protected testing::WindowRig {
protected:
    ReadBack() {
        auto& s = bridge.supply().state();
        s.settings = {30, 15, 2, 9, 8, 7, 1}; // AC s/min/h, system s/min/h, selection
        s.installDate = {12, 31, 20, 9};
        s.modelCode = 2;
        s.firmwareTenths = 23;
    }
    void readBack() { operations::readBackSettings(ctx); }
    // What the operator sees of the selector: its items and the selected one.
    std::pair<Items, int> selector() const {
        return {window.comboItems(IDC_CMB_CHARGE_CURRENT),
                window.comboSelection(IDC_CMB_CHARGE_CURRENT)};
    }
};

// The settings and identity fields are shown (the program tests check each of them); the
// monitoring fields and the enabling and boxes of the panel are never touched.
TEST_F(ReadBack, PanelShowsWhatTheSupplyHoldsAndNothingElse) {
    window.setControlText(IDC_EDT_POWERUP_TIME, "stale");
    window.enableControl(IDC_EDT_AC_HOURS, false);
    window.setChecked(IDC_CHK_RESET_FAULT_COUNTS, true);

    follow();
    readBack();

    EXPECT_TRUE(state.link.linkOk);
    EXPECT_EQ(clock.timeline,
              (Items{"wait 1000", "0355", "status " + text::kReading, "wait 1000", "0455",
                     "wait 100", "0455", "wait 100", "0455", "wait 100", "0455"}));
    EXPECT_EQ(std::tuple(window.controlText(IDC_EDT_AC_HOURS),
                         window.controlText(IDC_EDT_INSTALL_YEAR),
                         window.controlText(IDC_EDT_PART_NUMBER),
                         window.controlText(IDC_EDT_POWERUP_TIME)),
              std::tuple("2", "2009", text::kPartModel2, "stale"));
    EXPECT_EQ(selector(), std::pair(text::kModel2Items, 1));
    EXPECT_EQ(state.monitor.lastRead, (LastReadSettings{1, 2, 15, 30, 7, 8, 9}));
    EXPECT_EQ(window.disabled, std::set<int>{IDC_EDT_AC_HOURS});
    EXPECT_EQ(window.checked, std::set<int>{IDC_CHK_RESET_FAULT_COUNTS});

    // A model 1 rebuilds the selector and the closing redisplay shows the selection in it; a
    // selection outside the list is kept in the record and selects nothing.
    bridge.supply().state().modelCode = 1;
    bridge.supply().state().settings[6] = 3;
    readBack();
    EXPECT_EQ(selector(), std::pair(text::kModel1Items, 3));
    bridge.supply().state().settings[6] = 4;
    readBack();
    EXPECT_EQ(model.settings.chargeSelection, 4);
    EXPECT_EQ(selector(), std::pair(text::kModel1Items, -1));
}

// Four chunks the bridge did not deliver, whose cleared bytes would add up to a matching
// checksum: the panel and the last-read settings stay.
TEST_F(ReadBack, UndeliveredChunksLeaveThePanelAsItWas) {
    window.setControlText(IDC_EDT_AC_MINUTES, "44");
    const auto before = std::tuple(window.texts, window.checked, window.disabled, selector());
    bridge.faults().failingCalls = {{33, 2}, {33, 3}, {33, 4}, {33, 5}};
    readBack();

    EXPECT_EQ(std::tuple(window.texts, window.checked, window.disabled, selector()), before);
    EXPECT_EQ(window.statusText(), text::kCommErrorBang);
    EXPECT_FALSE(state.link.linkOk);
    EXPECT_EQ(state.monitor.lastRead, LastReadSettings{});
}

} // namespace
} // namespace brenvik::monitor
