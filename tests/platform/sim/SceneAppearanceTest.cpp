#include <gtest/gtest.h>

#include "platform/desktop/TitleBar.hpp"
#include "platform/sim/ScreenPicture.hpp"
#include "support/SimDesktopTest.hpp"

namespace talvori {
namespace {

using testing::SimDesktopTest;

class SceneAppearanceTest : public SimDesktopTest {};

TEST_F(SceneAppearanceTest, ADarkSceneGetsADarkFrameWhateverTheOthersHave) {
    auto& application = platform().application();
    SceneDescription settings;
    settings.identifier = "settings";
    settings.sizedToContent = false;
    settings.appearance = Appearance::dark;
    application.registerScene(settings);
    SceneDescription plain;
    plain.identifier = "plain";
    plain.sizedToContent = false;
    application.registerScene(plain);
    application.openWindow("settings");
    application.openWindow("plain");
    const auto dark = application.sceneWindow("settings");
    const auto light = application.sceneWindow("plain");
    EXPECT_EQ(dark->appearance(), Appearance::dark);
    EXPECT_EQ(light->appearance(), std::nullopt);
    light->setFrameOrigin({20, 100});

    const auto picture = desktop().picture();
    const auto titleBarBrightness = [&](const Panel& window) {
        const Color color = picture.colorAt(
            {window.frame().maxX() - 4, window.frame().maxY() - TitleBar::kHeight / 2});
        return (color.red + color.green + color.blue) / 3;
    };
    EXPECT_LT(titleBarBrightness(*dark), 0.3);
    EXPECT_GT(titleBarBrightness(*light), 0.7);
}

}  // namespace
}  // namespace talvori
