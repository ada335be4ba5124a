#include "tests/support/fake_window.h"
#include "ui/data_exchange.h"

#include <gtest/gtest.h>

namespace brenvik::testing {
namespace {

struct Fields {
    std::int32_t a = 11;
    std::int32_t b = 22;
};

// Reads two edits, 1 then 2, the way a dialog's exchange walks its controls.
bool readFields(FakeWindow& window, Fields& fields) {
    DataExchange dx(window, true);
    dx.integer(1, fields.a);
    dx.integer(2, fields.b);
    return !dx.failed();
}

TEST(DataExchangeInteger, ReadsLeadingDigitsAndIgnoresTheRest) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"7", 7},
        {"   7  ", 7},
        {"12abc", 12},
        {"-5", -5},
        {"+9", 9},
        {"\t42", 42},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
    };
    for (const auto& [text, expected] : cases) {
        FakeWindow window;
        window.texts = {{1, text}, {2, "0"}};
        Fields fields;
        EXPECT_TRUE(readFields(window, fields)) << text;
        EXPECT_EQ(fields.a, expected) << text;
    }
}

TEST(DataExchangeInteger, NonIntegerStopsTheReadAndFocusesTheField) {
    for (const char* bad :
         {"", "   ", "abc", "-", "+x", "2147483648", "-2147483649", "99999999999999999999"}) {
        FakeWindow window;
        window.texts = {{1, bad}, {2, "5"}};
        Fields fields;
        EXPECT_FALSE(readFields(window, fields)) << bad;
        EXPECT_EQ(fields.a, 11) << bad;
        EXPECT_EQ(fields.b, 22) << "later fields keep their values: " << bad;
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].text, "Enter an integer.");
        EXPECT_EQ(window.messages[0].caption, window.appName);
        EXPECT_EQ(window.focused, 1);
    }
}

TEST(DataExchangeInteger, OnlyTheFirst63CharactersAreRead) {
    FakeWindow window;
    window.texts = {{1, std::string(63, ' ') + "5"}, {2, "1"}};
    Fields fields;
    EXPECT_FALSE(readFields(window, fields));
}

TEST(DataExchange, DisplayWritesPlainDecimalChecksAndSelection) {
    FakeWindow window;
    window.combos[3] = {"x", "y"};
    std::int32_t number = -42;
    std::int32_t flag = 1;
    std::int32_t index = 1;
    std::string label = "No fault";
    DataExchange dx(window, false);
    dx.integer(1, number);
    dx.check(2, flag);
    dx.comboIndex(3, index);
    dx.text(4, label);
    EXPECT_EQ(window.controlText(1), "-42");
    EXPECT_TRUE(window.isChecked(2));
    EXPECT_EQ(window.comboSelection(3), 1);
    EXPECT_EQ(window.controlText(4), "No fault");
}

} // namespace
} // namespace brenvik::testing
