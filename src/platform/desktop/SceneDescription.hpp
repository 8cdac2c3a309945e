#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop/Appearance.hpp"
#include "platform/desktop/HostedContent.hpp"

namespace talvori {

// A single-instance titled window the application declares up front and opens by identifier
// (the first-run window, the settings window). None opens by itself.
struct SceneDescription {
    std::string identifier;
    std::string title;
    // Makes the content each time the window opens.
    std::function<std::shared_ptr<HostedContent>()> makeContent;
    // The window takes its content's fitting size, and follows it when the content changes.
    bool sizedToContent = true;
    bool hidesTitleBar = false;
    // Escape and Control-W close the window, as they close a desktop's settings dialogs.
    bool closesFromKeyboard = false;
    // The window's appearance whatever the user's setting (none: the user's). Our views draw their
    // own colours; this decides the frame around them. Initialised in place, so positional
    // initialisers may leave it out.
    std::optional<Appearance> appearance{};
};

}  // namespace talvori
