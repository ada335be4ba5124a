#include "programming/validation.h"
#include "shell/window_face.h"
#include "tests/support/fake_window.h"
#include "tests/support/operator_texts.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

namespace brenvik::testing {
namespace {

using Texts = std::vector<std::string>;
using text::kDateError;

// The messages the window shows for the validation's failures, each checked for its caption,
// icon and buttons.
Texts validate(const DeviceSettings& settings) {
    FakeWindow window;
    WindowFace face{window};
    for (const ValidationFailure& failure : validatePanel(settings)) {
        face.showValidationFailure(failure);
    }
    for (const RecordedMessage& m : window.messages) {
        EXPECT_EQ(m.caption, m.text == kDateError ? text::kDateCaption : text::kRangeCaption)
            << m.text;
        EXPECT_EQ(m.icon, MessageIcon::Error);
        EXPECT_EQ(m.buttons, MessageButtons::Ok);
    }
    return window.messageTexts();
}

constexpr DeviceSettings kAllOptions{.optChargeSelector = 1,
                                     .optAcFaultDelay = 1,
                                     .optSysFaultDelay = 1,
                                     .optResetBatteryTimer = 1,
                                     .optResetFaultCounts = 1,
                                     .optInstallDate = 1};

// Only the options without fields of their own are on: nothing is range-checked.
constexpr DeviceSettings kOnlyResets{.optResetBatteryTimer = 1, .optResetFaultCounts = 1};

TEST(PanelValidation, EachRangeHasItsMessageAndLimitsWhileItsOptionIsOn) {
    const std::pair<std::int32_t DeviceSettings::*, std::int32_t> cases[] = {
        {&DeviceSettings::chargeSelection, 5}, {&DeviceSettings::acFaultHours, 255},
        {&DeviceSettings::acFaultMinutes, 59}, {&DeviceSettings::acFaultSeconds, 59},
        {&DeviceSettings::sysFaultHours, 255}, {&DeviceSettings::sysFaultMinutes, 59},
        {&DeviceSettings::sysFaultSeconds, 59}};
    for (const auto& [field, high] : cases) {
        const std::string message = "Enter an integer between 0 and " + std::to_string(high) + ".";
        for (std::int32_t value : {0, high, -1, high + 1, INT32_MIN}) {
            DeviceSettings on = kAllOptions, off = kOnlyResets;
            on.*field = off.*field = value;
            const bool inside = value >= 0 && value <= high;
            EXPECT_EQ(validate(on), inside ? Texts{} : Texts{message}) << message << value;
            EXPECT_TRUE(validate(off).empty()) << message << value;
        }
    }
}

// Validates an installation date written "m/d/y", first with its option off, when nothing may
// be checked, then with it on; returns the messages shown.
Texts validateDate(const std::string& date) {
    SCOPED_TRACE(date);
    DeviceSettings s = kOnlyResets;
    EXPECT_EQ(std::sscanf(date.c_str(), "%d/%d/%d", &s.installMonth, &s.installDay, &s.installYear),
              3);
    EXPECT_TRUE(validate(s).empty()) << "not checked while the option is off";
    s.optInstallDate = 1;
    return validate(s);
}

TEST(PanelValidation, CalendarCheck) {
    // Every year divisible by 4 is a leap year, 2100 too.
    for (const char* date : {"2/29/2012", "2/29/2100", "2/28/2011", "4/30/2015", "1/31/2010",
                             "3/1/2015", "12/31/9999"}) {
        EXPECT_EQ(validateDate(date), Texts{}) << date;
    }
    for (const char* date : {"2/29/2011", "2/30/2012", "4/31/2015", "6/31/2015", "9/31/2015",
                             "11/31/2015", "12/31/2009"}) {
        EXPECT_EQ(validateDate(date), Texts{kDateError}) << date;
    }
    const std::string month = "Enter an integer between 1 and 12.";
    const std::string day = "Enter an integer between 1 and 31.";
    const std::string year = "Enter an integer between 1 and 9999.";
    const std::pair<const char*, Texts> ranges[] = {{"13/5/2015", {month, kDateError}},
                                                    {"-1/31/2015", {month, kDateError}},
                                                    {"0/5/2015", {month, kDateError}},
                                                    {"3/0/2015", {day, kDateError}},
                                                    {"3/32/2015", {day, kDateError}},
                                                    {"3/3/0", {year, kDateError}},
                                                    {"3/3/1", {kDateError}},
                                                    {"3/3/10000", {year, kDateError}},
                                                    {"13/0/0", {month, day, year, kDateError}}};
    for (const auto& [date, messages] : ranges) {
        EXPECT_EQ(validateDate(date), messages) << date;
    }
}

} // namespace
} // namespace brenvik::testing
