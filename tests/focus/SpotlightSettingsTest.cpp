#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "focus/FocusDesktopTest.hpp"
#include "focus/SpotlightModel.hpp"

namespace talvori {
namespace {

class SpotlightSettingsTest : public testing::FocusDesktopTest {
  protected:
    void store(const std::string& json) {
        defaults->set(SpotlightModel::kDefaultsKey, Data(json.begin(), json.end()));
    }
    std::string stored() const {
        const auto bytes = defaults->data(SpotlightModel::kDefaultsKey);
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }
    SpotlightModel settings() const {
        return {controller->dimOpacity(),         controller->glassOpacity(),
                controller->glassOpacityLinked(), controller->effect(),
                controller->blurRadius(),         controller->fadeDuration()};
    }
    // What the steps said, after the "Focus on" that turning Focus on says.
    std::vector<std::string> spoken() const {
        auto texts = simAnnouncer().texts();
        if (!texts.empty() && texts.front() == "Focus on") texts.erase(texts.begin());
        return texts;
    }
    Color tint(double alpha) const { return SpotlightPanelManager::dimColor().withAlpha(alpha); }
};

TEST_F(SpotlightSettingsTest, WithNothingStoredTheDefaultsHoldAndNothingIsWritten) {
    makeController();
    EXPECT_EQ(settings(), (SpotlightModel{0.5, 0.5, true, SpotlightEffect::dim, 20.0, 0.2}));
    EXPECT_EQ(controller->currentOpacity(), 0.5);
    EXPECT_EQ(defaults->writeCount(), 0u);
}

TEST_F(SpotlightSettingsTest, StoredSettingsLoadAsStoredExceptTheFadeRule) {
    store(R"({"dimOpacity":0.7,"glassOpacity":0.25,"glassOpacityLinked":false,)"
          R"("effect":"glass","blurRadius":1e10,"fadeDuration":0.333})");
    const auto writes = defaults->writeCount();
    makeController();
    EXPECT_EQ(settings(), (SpotlightModel{0.7, 0.25, false, SpotlightEffect::glass, 1e10, 0.33}));
    EXPECT_EQ(panels->fadeDuration(), 0.33);
    EXPECT_EQ(controller->currentOpacity(), 0.25);
    EXPECT_EQ(defaults->writeCount(), writes) << "nothing is written back";

    // A huge stored blur reaches the window server saturated.
    turnOnWith(editor);
    EXPECT_EQ(panel()->backgroundBlurRadius(), std::numeric_limits<std::int32_t>::max());
}

// Another writer of the settings file (a hand edit, a second instance) changes them while Focus
// runs: the next step starts from its values.
TEST_F(SpotlightSettingsTest, SettingsStoredByAnotherWriterAreWhereTheNextStepStarts) {
    makeController();
    store(R"({"dimOpacity":0.7,"glassOpacity":0.25,"glassOpacityLinked":false,)"
          R"("effect":"dim","blurRadius":20,"fadeDuration":0.2})");
    EXPECT_EQ(settings(), (SpotlightModel{0.7, 0.25, false, SpotlightEffect::dim, 20.0, 0.2}));
    turnOnWith(editor);
    controller->adjustFocus(true);
    EXPECT_GT(controller->dimOpacity(), 0.7);
    EXPECT_EQ(controller->glassOpacity(), 0.25);
}

TEST_F(SpotlightSettingsTest, APartlyValidRecordLeavesEveryDefaultAndThePanelsFadeAlone) {
    panels->setFadeDuration(0.3);
    for (const std::string json : {
             R"({"dimOpacity":0.9,"glassOpacity":0.2,"glassOpacityLinked":false,"effect":"glass",)"
             R"("blurRadius":5})",
             R"({"dimOpacity":0.9,"glassOpacity":0.2,"glassOpacityLinked":false,"effect":"blur",)"
             R"("blurRadius":5,"fadeDuration":0.1})",
             R"({"dimOpacity":"0.9","glassOpacity":0.2,"glassOpacityLinked":false,)"
             R"("effect":"glass","blurRadius":5,"fadeDuration":0.1})",
             R"({"dimOpacity":0.9,"glassOpacity":0.2,"glassOpacityLinked":false,"effect":"glass",)"
             R"("blurRadius":1e999,"fadeDuration":0.1})",
         }) {
        store(json);
        makeController();
        EXPECT_EQ(settings(), SpotlightModel{}) << json;
        EXPECT_EQ(panels->fadeDuration(), 0.3) << json;
        EXPECT_EQ(stored(), json) << "the stored data stays until the next save";
    }
    EXPECT_TRUE(logs().records().empty());
}

TEST_F(SpotlightSettingsTest, SettersSaveAllSixValuesAndLoadAgainAtStart) {
    makeController();
    controller->setDimOpacity(0.7);
    EXPECT_EQ(stored(),
              R"({"dimOpacity":0.7,"glassOpacity":0.5,"glassOpacityLinked":true,"effect":"dim",)"
              R"("blurRadius":20.0,"fadeDuration":0.2})");
    EXPECT_EQ(controller->currentOpacity(), 0.7);
    controller->setEffect(SpotlightEffect::glass);
    EXPECT_EQ(controller->currentOpacity(), 0.7) << "linked Glass follows Dim";
    controller->setGlassOpacity(1.4);
    EXPECT_EQ(controller->glassOpacity(), 1.0);
    EXPECT_FALSE(controller->glassOpacityLinked());
    controller->setGlassOpacity(-0.2);
    EXPECT_EQ(controller->glassOpacity(), 0.0);
    controller->setBlurRadius(33.3);
    controller->setFadeDuration(0.125);
    EXPECT_EQ(controller->fadeDuration(), 0.13);
    EXPECT_EQ(panels->fadeDuration(), 0.13);

    const auto saved = settings();
    controller = nullptr;
    makeController();
    EXPECT_EQ(settings(), saved);
    EXPECT_EQ(saved, (SpotlightModel{0.7, 0.0, false, SpotlightEffect::glass, 33.3, 0.13}));
}

TEST_F(SpotlightSettingsTest, SettersReachThePanelAtOnceOnlyWhileItExists) {
    makeController();
    controller->setDimOpacity(0.8);
    controller->setEffect(SpotlightEffect::glass);
    EXPECT_EQ(panels->dimOpacity(), 0.5) << "no panel: nothing sent";
    EXPECT_EQ(panels->currentEffect(), SpotlightEffect::dim);

    turnOnWith(editor);
    EXPECT_EQ(panel()->contentLayer().backgroundColor, tint(0.8));
    EXPECT_EQ(panel()->backgroundBlurRadius(), 20);
    controller->setBlurRadius(20.7);
    EXPECT_EQ(panel()->backgroundBlurRadius(), 20);
    controller->setGlassOpacity(0.3);
    EXPECT_EQ(panel()->presentationBackgroundColor(), tint(0.3)) << "no animation for setters";
    controller->setEffect(SpotlightEffect::dim);
    EXPECT_EQ(panel()->backgroundBlurRadius(), 1);
    EXPECT_EQ(panel()->contentLayer().backgroundColor, tint(0.8));
}

TEST_F(SpotlightSettingsTest, StepsWhileOffChangeSaveAndSayNothing) {
    makeController();
    controller->adjustFocus(true);
    controller->adjustBlur(true);
    EXPECT_EQ(settings(), SpotlightModel{});
    EXPECT_EQ(defaults->writeCount(), 0u);
    EXPECT_TRUE(spoken().empty());
}

TEST_F(SpotlightSettingsTest, AStrongerStepInDimAnimatesTheTintAndSpeaks) {
    turnOnWith(editor);
    controller->adjustFocus(true);
    EXPECT_EQ(controller->dimOpacity(), 0.6);
    EXPECT_EQ(simAnnouncer().texts().front(), "Focus on");
    EXPECT_EQ(spoken(), std::vector<std::string>{"Focus 60 percent"});
    EXPECT_EQ(simAnnouncer().announcements().back().priority, 90);
    EXPECT_NE(stored().find(R"("dimOpacity":0.6)"), std::string::npos);
    EXPECT_EQ(panel()->presentationBackgroundColor(), tint(0.5));
    advance(0.149);
    EXPECT_LT(panel()->presentationBackgroundColor()->alpha, 0.6);
    advance(0.001);
    EXPECT_EQ(panel()->presentationBackgroundColor(), tint(0.6));

    for (int i = 0; i < 5; ++i) controller->adjustFocus(true);
    EXPECT_EQ(controller->dimOpacity(), 1.0);
    EXPECT_EQ(spoken().back(), "Focus 100 percent");
    for (int i = 0; i < 12; ++i) controller->adjustFocus(false);
    EXPECT_EQ(spoken().back(), "Focus 10 percent");
    EXPECT_EQ(controller->glassOpacityLinked(), true) << "a Dim step leaves the link alone";
}

TEST_F(SpotlightSettingsTest, AStrongerStepInLinkedGlassStepsBlurToo) {
    makeController();
    controller->setEffect(SpotlightEffect::glass);
    turnOnWith(editor);
    controller->adjustFocus(true);
    EXPECT_EQ(controller->glassOpacity(), 0.6);
    EXPECT_FALSE(controller->glassOpacityLinked());
    EXPECT_EQ(controller->blurRadius(), 25);
    EXPECT_EQ(controller->dimOpacity(), 0.5);
    EXPECT_EQ(spoken(), std::vector<std::string>{"Focus 60 percent, blur 25"});
    EXPECT_EQ(panel()->backgroundBlurRadius(), 25);
}

TEST_F(SpotlightSettingsTest, BlurStepsBelongToGlass) {
    makeController();
    controller->setBlurRadius(3);
    turnOnWith(editor);
    const auto writes = defaults->writeCount();
    controller->adjustBlur(true);
    EXPECT_EQ(spoken(), std::vector<std::string>{"Blur is available in Glass"});
    EXPECT_EQ(defaults->writeCount(), writes);
    EXPECT_EQ(controller->blurRadius(), 3);

    controller->setEffect(SpotlightEffect::glass);
    controller->adjustBlur(false);
    EXPECT_EQ(controller->blurRadius(), 0);
    controller->adjustBlur(false);
    controller->adjustBlur(true);
    EXPECT_EQ(spoken(), (std::vector<std::string>{"Blur is available in Glass", "Blur 0", "Blur 0",
                                                  "Blur 5"}));
    EXPECT_EQ(panel()->backgroundBlurRadius(), 5);
}

TEST_F(SpotlightSettingsTest, HugeStoredValuesAreSpokenWithoutOverflow) {
    store(R"({"dimOpacity":1e300,"glassOpacity":0.5,"glassOpacityLinked":true,)"
          R"("effect":"dim","blurRadius":20,"fadeDuration":0.2})");
    turnOnWith(editor);
    controller->adjustFocus(true);
    EXPECT_EQ(spoken(), std::vector<std::string>{"Focus 9223372036854775807 percent"});
    controller->adjustFocus(false);
    EXPECT_EQ(controller->dimOpacity(), 1.0);
}

}  // namespace
}  // namespace talvori
