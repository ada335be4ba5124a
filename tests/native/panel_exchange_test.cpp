#include "operations/panel.h"
#include "res/resource.h"
#include "tests/support/operator_texts.h"
#include "tests/support/window_rig.h"

#include <array>
#include <bit>
#include <gtest/gtest.h>

namespace brenvik::testing {
namespace {

using Values = std::array<std::int32_t, 16>;

// The main window just after its initialisation: start values displayed, entry 0 selected.
struct Panel : WindowRig {
    // Types into the delay edits (AC, then system: hours, minutes, seconds) and the date edits.
    void type(const std::vector<std::string>& texts) {
        const int edits[] = {IDC_EDT_AC_HOURS,      IDC_EDT_AC_MINUTES,  IDC_EDT_AC_SECONDS,
                             IDC_EDT_SYS_HOURS,     IDC_EDT_SYS_MINUTES, IDC_EDT_SYS_SECONDS,
                             IDC_EDT_INSTALL_MONTH, IDC_EDT_INSTALL_DAY, IDC_EDT_INSTALL_YEAR};
        for (std::size_t i = 0; i < texts.size(); ++i) {
            window.texts[edits[i]] = texts[i];
        }
    }
    // The record's sixteen values in their declared order.
    Values values() const { return std::bit_cast<Values>(model.settings); }
    void click(int box, bool checked) {
        window.setChecked(box, checked);
        operations::optionBoxClicked(face, model, *optionBoxOf(box));
    }
};

TEST(PanelExchange, ReadTakesEveryControlAndANonIntegerStopsItInExchangeOrder) {
    Panel p;
    p.type({"  7  ", "12abc", "-3", "255", "59", "1", "12", "31", "2020"});
    p.window.texts[IDC_EDT_FIRMWARE] = "V1.2";
    p.window.checked = {IDC_CHK_AC_FAULT_DELAY, IDC_CHK_INSTALL_DATE};
    p.window.setComboSelection(IDC_CMB_CHARGE_CURRENT, 3);

    ASSERT_TRUE(p.face.readPanel(p.model));
    EXPECT_EQ(p.values(), (Values{7, 12, -3, 255, 59, 1, 3, 12, 31, 2020, 0, 1, 0, 0, 0, 1}));
    EXPECT_EQ(p.model.texts.firmware, "V1.2");
    EXPECT_TRUE(p.window.messages.empty());

    // 1010 is exchanged before 1009: a bad 1010 leaves 1009 untouched, a bad 1009 does not
    // stop 1010 from being read.
    for (const auto& [badField, sysSeconds] :
         {std::pair{IDC_EDT_SYS_SECONDS, 0}, std::pair{IDC_EDT_SYS_MINUTES, 9}}) {
        Panel bad;
        bad.type({"0", "0", "0", "4", "8", "9", "5"});
        bad.window.checked = {IDC_CHK_RESET_FAULT_COUNTS};
        bad.window.texts[badField] = "x1";

        EXPECT_FALSE(bad.face.readPanel(bad.model));
        EXPECT_EQ(bad.values(),
                  (Values{0, 0, 0, 4, 0, sysSeconds, 0, 2, 7, 2010, 0, 0, 0, 0, 0, 0}))
            << "later fields keep their values";
        ASSERT_EQ(bad.window.messageTexts(), std::vector<std::string>{text::kNotAnInteger});

        bad.face.readPanel(bad.model);
        EXPECT_EQ(bad.window.texts[badField], "x1") << "a focus-loss read puts nothing back";
    }
}

TEST(PanelOptionBoxes, EachBoxEnablesItsOwnFieldsAndApplyAndANonIntegerKeepsItAsItWas) {
    const std::pair<int, std::set<int>> boxes[] = {
        {IDC_CHK_CHARGE_SELECTOR, {IDC_CMB_CHARGE_CURRENT}},
        {IDC_CHK_AC_FAULT_DELAY,
         {IDC_EDT_AC_HOURS, IDC_EDT_AC_MINUTES, IDC_EDT_AC_SECONDS, IDC_LBL_AC_HR, IDC_LBL_AC_MIN,
          IDC_LBL_AC_SEC}},
        {IDC_CHK_SYS_FAULT_DELAY,
         {IDC_EDT_SYS_HOURS, IDC_EDT_SYS_MINUTES, IDC_EDT_SYS_SECONDS, IDC_LBL_SYS_HR,
          IDC_LBL_SYS_MIN, IDC_LBL_SYS_SEC}},
        {IDC_CHK_RESET_BATTERY_TIMER, {}},
        {IDC_CHK_RESET_FAULT_COUNTS, {}},
        {IDC_CHK_INSTALL_DATE,
         {IDC_EDT_INSTALL_MONTH, IDC_EDT_INSTALL_DAY, IDC_EDT_INSTALL_YEAR, IDC_LBL_DATE_SEP1,
          IDC_LBL_DATE_SEP2}}};
    for (const auto& [box, fields] : boxes) {
        SCOPED_TRACE(box);
        std::set<int> expectedDisabled = fields;
        expectedDisabled.insert(IDC_BTN_APPLY);
        Panel p;
        p.click(box, false);
        EXPECT_EQ(p.window.disabled, expectedDisabled);
        p.click(box, true);
        EXPECT_TRUE(p.window.disabled.empty());
        EXPECT_EQ(p.model.settings.optChargeSelector, box == IDC_CHK_CHARGE_SELECTOR);
        // While another box is ticked, APPLY stays enabled.
        p.click(box == IDC_CHK_RESET_BATTERY_TIMER ? IDC_CHK_RESET_FAULT_COUNTS
                                                   : IDC_CHK_RESET_BATTERY_TIMER,
                true);
        p.click(box, false);
        EXPECT_EQ(p.window.disabled, fields);
    }

    Panel p;
    p.type({"3", "abc"});
    p.model.settings.acFaultMinutes = 15;

    // The read stops before the check boxes, so the click does not reach the record: box,
    // fields and APPLY go on agreeing with the record's flag.
    p.click(IDC_CHK_INSTALL_DATE, true);
    ASSERT_FALSE(p.window.messages.empty());
    EXPECT_EQ(p.window.messageTexts(),
              std::vector<std::string>(p.window.messages.size(), text::kNotAnInteger));
    EXPECT_EQ(std::pair(p.window.texts[IDC_EDT_AC_MINUTES], p.model.settings.acFaultHours),
              std::pair(std::string("15"), 3))
        << "fields before the bad one are taken";
    EXPECT_FALSE(p.window.isChecked(IDC_CHK_INSTALL_DATE));
    EXPECT_FALSE(p.window.isEnabled(IDC_EDT_INSTALL_MONTH));
    EXPECT_FALSE(p.window.isEnabled(IDC_BTN_APPLY));

    p.click(IDC_CHK_INSTALL_DATE, true);
    EXPECT_TRUE(p.window.isChecked(IDC_CHK_INSTALL_DATE));
    EXPECT_TRUE(p.window.disabled.empty());
}

} // namespace
} // namespace brenvik::testing
