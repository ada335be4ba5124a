#include "programming/panel.h"
#include "res/resource.h"
#include "tests/support/fake_window.h"

#include <gtest/gtest.h>
#include <vector>

namespace brenvik::testing {
namespace {

const std::vector<std::string> kDefaultEntries{
    "Default Charge Current", "1/2 Default Charge Current", "1/4 Default Charge Current",
    "1/8 Default Charge Current"};

// The main window just after its initialisation: start values displayed, entry 0 selected.
struct Panel {
    Panel() {
        window.setComboItems(IDC_CMB_CHARGE_CURRENT, kDefaultEntries);
        panelRedisplay(window, model);
    }
    void click(int box, bool checked) {
        window.setChecked(box, checked);
        onOptionBoxClicked(window, model, box);
    }
    FakeWindow window;
    MainWindowModel model;
};

TEST(PanelExchange, ReadTakesEveryControlIntoTheRecord) {
    Panel p;
    p.window.texts[IDC_EDT_AC_HOURS] = "  7  ";
    p.window.texts[IDC_EDT_AC_MINUTES] = "12abc";
    p.window.texts[IDC_EDT_AC_SECONDS] = "-3";
    p.window.texts[IDC_EDT_SYS_HOURS] = "255";
    p.window.texts[IDC_EDT_SYS_MINUTES] = "59";
    p.window.texts[IDC_EDT_SYS_SECONDS] = "1";
    p.window.texts[IDC_EDT_INSTALL_MONTH] = "12";
    p.window.texts[IDC_EDT_INSTALL_DAY] = "31";
    p.window.texts[IDC_EDT_INSTALL_YEAR] = "2020";
    p.window.texts[IDC_EDT_FIRMWARE] = "V1.2";
    p.window.checked = {IDC_CHK_AC_FAULT_DELAY, IDC_CHK_INSTALL_DATE};
    p.window.setComboSelection(IDC_CMB_CHARGE_CURRENT, 3);

    ASSERT_TRUE(panelRead(p.window, p.model));
    const DeviceSettings& s = p.model.settings;
    EXPECT_EQ(s.acFaultHours, 7);
    EXPECT_EQ(s.acFaultMinutes, 12);
    EXPECT_EQ(s.acFaultSeconds, -3);
    EXPECT_EQ(s.sysFaultHours, 255);
    EXPECT_EQ(s.sysFaultMinutes, 59);
    EXPECT_EQ(s.sysFaultSeconds, 1);
    EXPECT_EQ(s.installMonth, 12);
    EXPECT_EQ(s.installDay, 31);
    EXPECT_EQ(s.installYear, 2020);
    EXPECT_EQ(s.chargeSelection, 3);
    EXPECT_EQ(s.optChargeSelector, 0);
    EXPECT_EQ(s.optAcFaultDelay, 1);
    EXPECT_EQ(s.optInstallDate, 1);
    EXPECT_EQ(p.model.texts.firmware, "V1.2");
    EXPECT_TRUE(p.window.messages.empty());

    panelRedisplay(p.window, p.model);
    EXPECT_EQ(p.window.texts[IDC_EDT_AC_HOURS], "7") << "blanks are gone after a redisplay";
    EXPECT_EQ(p.window.texts[IDC_EDT_AC_MINUTES], "12");
}

TEST(PanelExchange, NonIntegerStopsTheReadInExchangeOrder) {
    // 1010 is exchanged before 1009: a bad 1010 leaves 1009 untouched, a bad 1009 does not
    // stop 1010 from being read.
    struct Case {
        int badField;
        std::int32_t expectedSysSeconds;
        std::int32_t expectedSysMinutes;
    };
    for (const Case& c : {Case{IDC_EDT_SYS_SECONDS, 0, 0}, Case{IDC_EDT_SYS_MINUTES, 9, 0}}) {
        Panel p;
        p.window.texts[IDC_EDT_SYS_HOURS] = "4";
        p.window.texts[IDC_EDT_SYS_SECONDS] = "9";
        p.window.texts[IDC_EDT_SYS_MINUTES] = "8";
        p.window.texts[IDC_EDT_INSTALL_MONTH] = "5";
        p.window.texts[IDC_EDT_PART_NUMBER] = "changed";
        p.window.checked = {IDC_CHK_RESET_FAULT_COUNTS};
        p.window.texts[c.badField] = "x1";

        EXPECT_FALSE(panelRead(p.window, p.model));
        const DeviceSettings& s = p.model.settings;
        EXPECT_EQ(s.sysFaultHours, 4);
        EXPECT_EQ(s.sysFaultSeconds, c.expectedSysSeconds);
        EXPECT_EQ(s.sysFaultMinutes, c.expectedSysMinutes);
        EXPECT_EQ(s.installMonth, 2) << "later fields keep their values";
        EXPECT_EQ(s.optResetFaultCounts, 0);
        EXPECT_EQ(p.model.texts.partNumber, "");
        EXPECT_EQ(p.window.focused, c.badField);
        ASSERT_EQ(p.window.messageTexts(), std::vector<std::string>{"Enter an integer."});
        EXPECT_EQ(p.window.messages[0].caption, p.window.appName);
    }
}

TEST(PanelExchange, NumberBeyond32BitsIsNotAnInteger) {
    Panel p;
    p.model.settings.acFaultHours = 5;
    p.window.texts[IDC_EDT_AC_HOURS] = "4294967301";
    EXPECT_FALSE(panelRead(p.window, p.model));
    EXPECT_EQ(p.model.settings.acFaultHours, 5);
}

TEST(PanelExchange, RedisplayOfASelectionWithoutEntrySelectsNothing) {
    Panel p;
    for (std::int32_t index : {-1, 4, 5}) {
        p.model.settings.chargeSelection = index;
        panelRedisplay(p.window, p.model);
        EXPECT_EQ(p.window.comboSelection(IDC_CMB_CHARGE_CURRENT), -1) << index;
    }
}

TEST(PanelExchange, FocusLossReadsThePanel) {
    Panel p;
    p.window.texts[IDC_EDT_AC_SECONDS] = "30";
    onDelayEditLostFocus(p.window, p.model);
    EXPECT_EQ(p.model.settings.acFaultSeconds, 30);
    EXPECT_EQ(p.window.texts[IDC_EDT_AC_SECONDS], "30");

    p.window.texts[IDC_EDT_AC_SECONDS] = "";
    onDelayEditLostFocus(p.window, p.model);
    EXPECT_EQ(p.window.messageTexts(), std::vector<std::string>{"Enter an integer."});
    EXPECT_EQ(p.window.texts[IDC_EDT_AC_SECONDS], "") << "a read alone puts nothing back";
}

struct BoxFields {
    int box;
    std::vector<int> fields;
};

const std::vector<BoxFields> kBoxes{
    {IDC_CHK_CHARGE_SELECTOR, {IDC_CMB_CHARGE_CURRENT}},
    {IDC_CHK_AC_FAULT_DELAY,
     {IDC_EDT_AC_HOURS, IDC_EDT_AC_MINUTES, IDC_EDT_AC_SECONDS, IDC_LBL_AC_HR, IDC_LBL_AC_MIN,
      IDC_LBL_AC_SEC}},
    {IDC_CHK_SYS_FAULT_DELAY,
     {IDC_EDT_SYS_HOURS, IDC_EDT_SYS_MINUTES, IDC_EDT_SYS_SECONDS, IDC_LBL_SYS_HR, IDC_LBL_SYS_MIN,
      IDC_LBL_SYS_SEC}},
    {IDC_CHK_RESET_BATTERY_TIMER, {}},
    {IDC_CHK_RESET_FAULT_COUNTS, {}},
    {IDC_CHK_INSTALL_DATE,
     {IDC_EDT_INSTALL_MONTH, IDC_EDT_INSTALL_DAY, IDC_EDT_INSTALL_YEAR, IDC_LBL_DATE_SEP1,
      IDC_LBL_DATE_SEP2}},
};

TEST(PanelOptionBoxes, EachBoxEnablesExactlyItsOwnFieldsAndApply) {
    for (const BoxFields& entry : kBoxes) {
        Panel p;
        p.click(entry.box, false);
        std::set<int> expectedDisabled(entry.fields.begin(), entry.fields.end());
        expectedDisabled.insert(IDC_BTN_APPLY);
        EXPECT_EQ(p.window.disabled, expectedDisabled) << entry.box;

        p.click(entry.box, true);
        EXPECT_TRUE(p.window.disabled.empty()) << entry.box;
        EXPECT_TRUE(p.window.isChecked(entry.box));
        EXPECT_EQ(p.model.settings.optChargeSelector, entry.box == IDC_CHK_CHARGE_SELECTOR);

        p.click(entry.box, false);
        EXPECT_EQ(p.window.disabled, expectedDisabled) << entry.box;
        EXPECT_TRUE(p.window.messages.empty());
    }
}

TEST(PanelOptionBoxes, ApplyStaysEnabledWhileAnotherBoxIsChecked) {
    Panel p;
    p.click(IDC_CHK_RESET_BATTERY_TIMER, true);
    EXPECT_TRUE(p.window.isEnabled(IDC_BTN_APPLY)) << "a box without fields enables APPLY";
    p.click(IDC_CHK_AC_FAULT_DELAY, true);
    p.click(IDC_CHK_AC_FAULT_DELAY, false);
    EXPECT_TRUE(p.window.isEnabled(IDC_BTN_APPLY));
    EXPECT_FALSE(p.window.isEnabled(IDC_EDT_AC_HOURS));
    p.click(IDC_CHK_RESET_BATTERY_TIMER, false);
    EXPECT_FALSE(p.window.isEnabled(IDC_BTN_APPLY));
}

TEST(PanelOptionBoxes, NonIntegerTextInsideAClickIsReplacedByTheRecord) {
    Panel p;
    p.model.settings.acFaultMinutes = 15;
    panelRedisplay(p.window, p.model);
    p.window.texts[IDC_EDT_AC_MINUTES] = "abc";
    p.window.texts[IDC_EDT_AC_HOURS] = "3";

    // The read stops before the check boxes, so the click does not reach the record: box,
    // fields and APPLY go on agreeing with the record's flag.
    p.click(IDC_CHK_INSTALL_DATE, true);
    EXPECT_FALSE(p.window.messages.empty());
    for (const std::string& text : p.window.messageTexts()) {
        EXPECT_EQ(text, "Enter an integer.");
    }
    EXPECT_EQ(p.window.texts[IDC_EDT_AC_MINUTES], "15");
    EXPECT_EQ(p.window.texts[IDC_EDT_AC_HOURS], "3") << "fields before the bad one are taken";
    EXPECT_EQ(p.model.settings.acFaultHours, 3);
    EXPECT_FALSE(p.window.isChecked(IDC_CHK_INSTALL_DATE));
    EXPECT_FALSE(p.window.isEnabled(IDC_EDT_INSTALL_MONTH));
    EXPECT_FALSE(p.window.isEnabled(IDC_BTN_APPLY));

    p.click(IDC_CHK_INSTALL_DATE, true);
    EXPECT_TRUE(p.window.isChecked(IDC_CHK_INSTALL_DATE));
    EXPECT_TRUE(p.window.isEnabled(IDC_EDT_INSTALL_MONTH));
    EXPECT_TRUE(p.window.isEnabled(IDC_BTN_APPLY));
}

} // namespace
} // namespace brenvik::testing
