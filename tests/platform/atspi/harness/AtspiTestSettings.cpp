#include "platform/atspi/harness/AtspiTestSettings.hpp"

#include "platform/Platform.hpp"
#include "settings/SettingsView.hpp"

namespace talvori::testing {

void registerSettingsScene() {
    SceneDescription scene;
    scene.identifier = "settings";
    scene.title = "Settings";
    scene.sizedToContent = true;
    scene.closesFromKeyboard = true;
    scene.makeContent = [] { return ui::SettingsView::makeHostedContent(nullptr, [] {}); };
    platform().application().registerScene(scene);
}

void openSettingsWindow() {
    registerSettingsScene();
    platform().application().openWindow("settings");
}

}  // namespace talvori::testing
