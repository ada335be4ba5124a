#include "programming/panel.h"
#include "tests/support/fake_window.h"

#include <gtest/gtest.h>
#include <vector>

namespace brenvik::testing {
namespace {

const std::string kDateError = "Enter installation date error.";

std::vector<std::string> validate(const DeviceSettings& settings, bool expectValid) {
    FakeWindow window;
    EXPECT_EQ(validatePanel(window, settings), expectValid);
    for (const RecordedMessage& m : window.messages) {
        EXPECT_EQ(m.caption, m.text == kDateError ? "Error" : "Brenvik") << m.text;
        EXPECT_EQ(m.icon, MessageIcon::Error);
        EXPECT_EQ(m.buttons, MessageButtons::Ok);
    }
    return window.messageTexts();
}

DeviceSettings allOptionsOn() {
    DeviceSettings s;
    s.optChargeSelector = s.optAcFaultDelay = s.optSysFaultDelay = 1;
    s.optResetBatteryTimer = s.optResetFaultCounts = s.optInstallDate = 1;
    return s;
}

TEST(PanelValidation, StartValuesPassWithEveryOptionOn) {
    EXPECT_TRUE(validate(allOptionsOn(), true).empty());
}

TEST(PanelValidation, EachRangeHasItsMessageAndLimits) {
    struct Case {
        std::int32_t DeviceSettings::*field;
        std::int32_t low;
        std::int32_t high;
        std::string message;
    };
    const Case cases[] = {
        {&DeviceSettings::chargeSelection, 0, 5, "Enter an integer between 0 and 5."},
        {&DeviceSettings::acFaultHours, 0, 255, "Enter an integer between 0 and 255."},
        {&DeviceSettings::acFaultMinutes, 0, 59, "Enter an integer between 0 and 59."},
        {&DeviceSettings::acFaultSeconds, 0, 59, "Enter an integer between 0 and 59."},
        {&DeviceSettings::sysFaultHours, 0, 255, "Enter an integer between 0 and 255."},
        {&DeviceSettings::sysFaultMinutes, 0, 59, "Enter an integer between 0 and 59."},
        {&DeviceSettings::sysFaultSeconds, 0, 59, "Enter an integer between 0 and 59."},
    };
    for (const Case& c : cases) {
        for (std::int32_t inside : {c.low, c.high}) {
            DeviceSettings s = allOptionsOn();
            s.*(c.field) = inside;
            EXPECT_TRUE(validate(s, true).empty()) << c.message << " " << inside;
        }
        for (std::int32_t outside : {c.low - 1, c.high + 1, INT32_MIN}) {
            DeviceSettings s = allOptionsOn();
            s.*(c.field) = outside;
            EXPECT_EQ(validate(s, false), std::vector<std::string>{c.message}) << outside;
        }
    }
}

TEST(PanelValidation, OptionsThatAreOffAreNotChecked) {
    DeviceSettings s;
    s.chargeSelection = -1;
    s.acFaultHours = 300;
    s.sysFaultSeconds = 60;
    s.installMonth = 13;
    s.installYear = 0;
    s.optResetBatteryTimer = s.optResetFaultCounts = 1;
    EXPECT_TRUE(validate(s, true).empty());
}

TEST(PanelValidation, SeveralFailuresShowOneMessageEachInOrder) {
    DeviceSettings s = allOptionsOn();
    s.chargeSelection = -1;
    s.acFaultHours = 300;
    s.sysFaultMinutes = 75;
    EXPECT_EQ(validate(s, false), (std::vector<std::string>{"Enter an integer between 0 and 5.",
                                                            "Enter an integer between 0 and 255.",
                                                            "Enter an integer between 0 and 59."}))
        << "a valid date adds nothing";
}

TEST(PanelValidation, CalendarCheck) {
    struct Case {
        std::int32_t month, day, year;
        std::vector<std::string> messages;
    };
    const std::vector<std::string> none;
    const std::vector<std::string> dateOnly{kDateError};
    const Case cases[] = {
        {2, 29, 2012, none},
        {2, 29, 2100, none}, // every year divisible by 4 is a leap year
        {2, 28, 2011, none},
        {4, 30, 2015, none},
        {1, 31, 2010, none},
        {12, 31, 9999, none},
        {2, 29, 2011, dateOnly},
        {2, 30, 2012, dateOnly},
        {4, 31, 2015, dateOnly},
        {6, 31, 2015, dateOnly},
        {9, 31, 2015, dateOnly},
        {11, 31, 2015, dateOnly},
        {12, 31, 2009, dateOnly},
        {13, 5, 2015, {"Enter an integer between 1 and 12.", kDateError}},
        {-1, 31, 2015, {"Enter an integer between 1 and 12.", kDateError}},
        {0, 5, 2015, {"Enter an integer between 1 and 12.", kDateError}},
        {3, 0, 2015, {"Enter an integer between 1 and 31.", kDateError}},
        {3, 32, 2015, {"Enter an integer between 1 and 31.", kDateError}},
        {3, 3, 0, {"Enter an integer between 1 and 9999.", kDateError}},
        {3, 3, 10000, {"Enter an integer between 1 and 9999.", kDateError}},
        {13,
         0,
         0,
         {"Enter an integer between 1 and 12.", "Enter an integer between 1 and 31.",
          "Enter an integer between 1 and 9999.", kDateError}},
    };
    for (const Case& c : cases) {
        DeviceSettings s;
        s.optInstallDate = 1;
        s.installMonth = c.month;
        s.installDay = c.day;
        s.installYear = c.year;
        EXPECT_EQ(validate(s, c.messages.empty()), c.messages)
            << c.month << "/" << c.day << "/" << c.year;
    }
}

TEST(PanelValidation, DelayFailureWithAValidDateShowsOnlyTheDelay) {
    DeviceSettings s;
    s.optAcFaultDelay = s.optInstallDate = 1;
    s.acFaultMinutes = -1;
    s.installMonth = 2;
    s.installDay = 29;
    s.installYear = 2012;
    EXPECT_EQ(validate(s, false), std::vector<std::string>{"Enter an integer between 0 and 59."});
}

} // namespace
} // namespace brenvik::testing
