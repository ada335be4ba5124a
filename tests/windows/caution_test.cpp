// The Caution dialog's answer: OK alone proceeds; Cancel, Escape and the close box do not.

#include "programming/caution_win32.h"
#include "tests/windows/support/live_dialog.h"
#include "tests/windows/support/program_driver.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace brenvik {
namespace {

using namespace std::chrono_literals;

TEST(Caution, OnlyOkProceeds) {
    const struct {
        const char* name;
        std::function<void(HWND)> answer;
        INT_PTR result;
        bool proceed;
    } cases[] = {
        {"OK", [](HWND w) { wintest::pressButton(w, IDOK); }, IDOK, true},
        {"Cancel", [](HWND w) { wintest::pressButton(w, IDCANCEL); }, IDCANCEL, false},
        {"Escape", [](HWND w) { wintest::postKey(::GetDlgItem(w, IDOK), VK_ESCAPE); }, IDCANCEL,
         false},
        {"close box", [](HWND w) { ::PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL,
         false},
    };
    for (const auto& c : cases) {
        wintest::LiveDialog live{[] { return std::make_unique<Caution>(); }};
        ASSERT_NE(live.hwnd(), nullptr) << c.name;
        c.answer(live.hwnd());
        EXPECT_EQ(live.waitForResult(10s), std::optional<INT_PTR>(c.result)) << c.name;
        const auto& caution = static_cast<const Caution&>(live.dialog());
        EXPECT_TRUE(caution.answered()) << c.name;
        EXPECT_EQ(caution.proceed(), c.proceed) << c.name;
    }
}

} // namespace
} // namespace brenvik
