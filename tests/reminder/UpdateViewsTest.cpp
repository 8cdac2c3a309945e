#include <gtest/gtest.h>

#include <cstdlib>

#include "controls/CoachMarkShape.hpp"
#include "reminder/UpdateCalloutView.hpp"
#include "reminder/UpdateNowButton.hpp"
#include "reminder/UpdateRow.hpp"
#include "reminder/WhatsNewCard.hpp"
#include "ui/UiTest.hpp"

namespace talvori::ui::testing {
namespace {

using PendingUpdate = UpdateReminder::PendingUpdate;

const PendingUpdate kWithSummary{"1.3", "50", "Covers follow windows across spaces now."};
const PendingUpdate kWithoutSummary{"1.3", "50", std::nullopt};

class UpdateViewsTest : public UiTest {
  protected:
    // Pictures for a person to look at, written only when asked for.
    void picture(View view, const char* name) {
        if (const char* folder = std::getenv("TALVORI_VIEW_PICTURES")) {
            auto real = Host::make(View(ZStack({View(Color::rgb255(30, 32, 40)), view})));
            real->writePNG(std::string(folder) + "/" + name + ".png", 2);
        }
    }
    int updates = 0;
    int laters = 0;
    int closes = 0;
};

TEST_F(UpdateViewsTest, RowShowsTheVersionAndSpeaksTheAnnouncement) {
    EXPECT_EQ(kWithSummary.readyAnnouncement(),
              "Talvori 1.3 is ready. Covers follow windows across spaces now.");
    EXPECT_EQ(kWithoutSummary.readyAnnouncement(), "Talvori 1.3 is ready.");

    auto row = host(UpdateRow{kWithoutSummary, [this] { ++updates; }}, Size{355, 60});
    EXPECT_TRUE(row->find(Query::byText("Talvori 1.3 is ready")));
    EXPECT_EQ(row->find(Query::byLabel("Talvori 1.3 is ready.")).accessibilityElement()->label,
              "Talvori 1.3 is ready.");
    row->find(Query::byLabel("Update Talvori")).click();
    EXPECT_EQ(updates, 1);

    auto withSummary = host(UpdateRow{kWithSummary, {}}, Size{300, 60});
    const auto summary = withSummary->find(Query::byText(*kWithSummary.summary));
    ASSERT_TRUE(summary);
    EXPECT_NEAR(summary.frame().height(),
                withSummary->find(Query::byText("Talvori 1.3 is ready")).frame().height() * 11 / 13,
                6);
    picture(View(UpdateRow{kWithSummary, {}}).frame({.width = 355}), "update-row");
}

TEST_F(UpdateViewsTest, PillsFollowHoverThenPress) {
    auto pills = host(HStack(
        8, {UpdateLaterButton{[this] { ++laters; }}, UpdateNowButton{[this] { ++updates; }}}));
    const auto update = pills->find(Query::byLabel("Update Talvori"));
    const auto later = pills->find(Query::byLabel("Later"));
    EXPECT_TRUE(close(*update.fillColor(), Color::rgb255(245, 160, 53)));
    EXPECT_TRUE(close(*later.fillColor(), Color::white(0.09)));
    EXPECT_TRUE(close(*later.strokeColor(), Color::white(0.19)));

    update.hover();
    runUntilIdle();
    advance(0.2);
    EXPECT_TRUE(close(*update.fillColor(), Color::rgb255(247, 171, 69)));
    // The press animates like the hover, so look once it has run.
    update.mouseDown();
    runUntilIdle();
    advance(0.2);
    EXPECT_TRUE(close(*update.fillColor(), Color::rgb255(212, 138, 37)));
    update.mouseUp();
    EXPECT_EQ(updates, 1);

    later.hover();
    runUntilIdle();
    advance(0.2);
    EXPECT_TRUE(close(*later.fillColor(), Color::white(0.12)));
    EXPECT_TRUE(close(*later.strokeColor(), Color::white(0.22)));
    later.mouseDown();
    runUntilIdle();
    advance(0.2);
    EXPECT_TRUE(close(*later.fillColor(), Color::white(0.15)));
    EXPECT_TRUE(close(*later.strokeColor(), Color::white(0.22)));
    later.mouseUp();
    EXPECT_EQ(laters, 1);
}

TEST_F(UpdateViewsTest, CardListsTheBulletsClosesAndOpensTheReleaseNotes) {
    const std::vector<std::string> bullets = UpdateReminder::whatsNewTable().at("1.2.4");
    auto card = host(WhatsNewCard{"1.2.4", bullets, "https://talvori.org/changelog/#v1.2.4",
                                  [this] { ++closes; }},
                     Size{355, 200});
    EXPECT_TRUE(card->find(Query::byText("What\u2019s new in 1.2.4")));
    for (const auto& bullet : bullets) EXPECT_TRUE(card->find(Query::byText(bullet))) << bullet;
    // Each dot's bottom sits 3 points above its text's first baseline.
    const auto first = card->find(Query::byText(bullets[0]));
    const auto firstDot = card->find(Query::byIdentifier("bullet-dot"));
    // Fixed metrics: the baseline lies one font size (12) below the text's top.
    EXPECT_NEAR(firstDot.frame().maxY(), first.frame().minY() + 12 - 3, 0.01);
    card->find(Query::byLabel("Dismiss what\u2019s new")).click();
    EXPECT_EQ(closes, 1);

    reduceMotion_ = true;
    const auto link = card->find(Query::byLabel("Full release notes"));
    EXPECT_TRUE(close(*link.foregroundColor(), Color::rgb255(157, 176, 255)));
    link.hover();
    runUntilIdle();
    EXPECT_TRUE(close(*link.foregroundColor(), Color::rgb255(196, 208, 255)));
    link.click();
    EXPECT_EQ(simWorkspace().openedURLs(),
              std::vector<std::string>{"https://talvori.org/changelog/#v1.2.4"});

    auto noLink = host(WhatsNewCard{"1.2.4", bullets, std::nullopt, {}}, Size{355, 200});
    EXPECT_FALSE(noLink->find(Query::byLabel("Full release notes")));
    picture(View(WhatsNewCard{"1.2.4", bullets, "https://talvori.org/changelog/#v1.2.4", {}})
                .frame({.width = 355}),
            "whats-new-card");
}

TEST_F(UpdateViewsTest, CalloutIs236WideGrowsForTwoSummaryLinesAndKeepsItsBeakClear) {
    auto bare = host(UpdateCalloutView{kWithoutSummary, 118, {}, {}});
    EXPECT_DOUBLE_EQ(bare->size().width, 236);
    EXPECT_TRUE(bare->find(Query::byText("Talvori 1.3 is ready")));
    const PendingUpdate longSummary{"1.3", "50", std::string(400, 'x')};
    auto tall =
        host(UpdateCalloutView{longSummary, 118, [this] { ++laters; }, [this] { ++updates; }});
    EXPECT_GT(tall->size().height, bare->size().height);
    const auto summary = tall->find(Query::byText(*longSummary.summary));
    EXPECT_LE(summary.frame().height(), 2 * 12 * 1.5);
    tall->find(Query::byLabel("Later")).click();
    tall->find(Query::byLabel("Update Talvori")).click();
    EXPECT_EQ(laters, 1);
    EXPECT_EQ(updates, 1);

    EXPECT_DOUBLE_EQ(CoachMarkShape::clampedBeakCenter(0, 236, 7.5), 8.5);
    EXPECT_DOUBLE_EQ(CoachMarkShape::clampedBeakCenter(500, 236, 7.5), 227.5);
    EXPECT_DOUBLE_EQ(CoachMarkShape::clampedBeakCenter(60, 236, 7.5), 60);
    picture(View(UpdateCalloutView{kWithSummary, 200, {}, {}}), "update-callout");
}

}  // namespace
}  // namespace talvori::ui::testing
