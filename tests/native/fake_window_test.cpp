#include "tests/support/fake_window.h"

#include <gtest/gtest.h>

namespace brenvik::testing {
namespace {

TEST(FakeWindow, ComboSelectionOutsideTheListSelectsNothing) {
    FakeWindow window;
    window.setComboItems(1003, {"a", "b"});
    window.setComboSelection(1003, 1);
    EXPECT_EQ(window.comboSelection(1003), 1);
    window.setComboSelection(1003, 4);
    EXPECT_EQ(window.comboSelection(1003), -1);
}

TEST(FakeWindow, MessageBoxesAnswerFromTheScriptThenByDefault) {
    FakeWindow window;
    window.messageAnswers.push_back(MessageResult::Retry);
    EXPECT_EQ(window.messageBox("x", "Fail", MessageIcon::Error, MessageButtons::RetryCancel),
              MessageResult::Retry);
    EXPECT_EQ(window.messageBox("y", "Fail", MessageIcon::Error, MessageButtons::RetryCancel),
              MessageResult::Cancel);
    EXPECT_EQ(window.messageTexts(), (std::vector<std::string>{"x", "y"}));
}

} // namespace
} // namespace brenvik::testing
