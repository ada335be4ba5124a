#include "tests/support/fake_window.h"
#include "tests/support/operator_texts.h"
#include "ui/data_exchange.h"

#include <gtest/gtest.h>
#include <optional>

namespace brenvik::testing {
namespace {

// Reads edit 1 holding `text`, then edit 2 holding "5", as a dialog's exchange walks them, and
// checks what the operator is shown; the value read from edit 1, nothing when it stopped there.
std::optional<std::int32_t> readFirstOfTwo(const std::string& text) {
    SCOPED_TRACE("\"" + text + "\"");
    FakeWindow window;
    window.texts = {{1, text}, {2, "5"}};
    std::int32_t a = 11, b = 22;
    DataExchange dx(window, true);
    dx.integer(1, a);
    dx.integer(2, b);
    if (!dx.failed()) {
        EXPECT_EQ(b, 5);
        EXPECT_TRUE(window.messages.empty());
        return a;
    }
    EXPECT_EQ(std::pair(a, b), std::pair(11, 22)) << "later fields keep their values";
    EXPECT_EQ(window.messageTexts(), std::vector<std::string>{text::kNotAnInteger});
    EXPECT_EQ(window.messages.at(0).caption, "Brenvik-USB");
    EXPECT_EQ(window.focused, 1);
    return std::nullopt;
}

TEST(DataExchangeInteger, ReadsLeadingDigitsOrStopsAtANonInteger) {
    EXPECT_EQ(readFirstOfTwo("   7  "), 7);
    EXPECT_EQ(readFirstOfTwo("\t42"), 42);
    EXPECT_EQ(readFirstOfTwo("12abc"), 12);
    EXPECT_EQ(readFirstOfTwo("+9"), 9);
    EXPECT_EQ(readFirstOfTwo("010"), 10);
    EXPECT_EQ(readFirstOfTwo("2147483647"), INT32_MAX);
    EXPECT_EQ(readFirstOfTwo("-2147483648"), INT32_MIN);

    // Numbers beyond 32 bits must not wrap (4294967301 would become 5), and only the first 63
    // characters of a field are read.
    for (const std::string& bad : std::vector<std::string>{
             "", "   ", "abc", "-", "+x", "2147483648", "-2147483649", "4294967301",
             "99999999999999999999", std::string(63, ' ') + "5"}) {
        EXPECT_EQ(readFirstOfTwo(bad), std::nullopt) << bad;
    }
}

} // namespace
} // namespace brenvik::testing
