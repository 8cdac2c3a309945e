#include <gtest/gtest.h>

#include "UiTest.hpp"
#include "ui/BorderedButtonStyle.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {
namespace {

class BorderedButtonStyleTest : public testing::UiTest {};

TEST_F(BorderedButtonStyleTest, ADisabledButtonKeepsItsPlaceDimsAndIgnoresClicks) {
    Observable<bool> canCheck{false};
    int checks = 0;
    auto h = host(VStack({Button("Check for Updates…", [&] { ++checks; })
                              .buttonStyle(BorderedButtonStyle{})
                              .disabled(!canCheck())
                              .accessibilityIdentifier("check")}));
    const NodeRef button = h->find(Query::byIdentifier("check"));
    const Rect enabledLater = button.frame();
    EXPECT_DOUBLE_EQ(enabledLater.height(), 24);
    const Color dimmed = pixel(*h, {enabledLater.minX() + 3, enabledLater.midY()});
    button.click();
    EXPECT_EQ(checks, 0);

    canCheck.set(true);
    h->setRootView(VStack({Button("Check for Updates…", [&] { ++checks; })
                               .buttonStyle(BorderedButtonStyle{})
                               .disabled(!canCheck())
                               .accessibilityIdentifier("check")}));
    h->updateNow();
    EXPECT_EQ(h->find(Query::byIdentifier("check")).frame(), enabledLater);
    const Color bright = pixel(*h, {enabledLater.minX() + 3, enabledLater.midY()});
    EXPECT_GT(bright.alpha, dimmed.alpha);
    h->find(Query::byIdentifier("check")).click();
    EXPECT_EQ(checks, 1);
}

}  // namespace
}  // namespace talvori::ui
