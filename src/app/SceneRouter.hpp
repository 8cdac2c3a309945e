#pragma once

#include <functional>
#include <string>

#include "app/SceneRouting.hpp"

namespace talvori {

// Scene routing over the application's two window actions.
class SceneRouter final : public SceneRouting {
  public:
    using WindowAction = std::function<void(const std::string& id)>;

    SceneRouter(WindowAction dismissWindowAction, WindowAction openWindowAction)
        : dismissWindowAction(std::move(dismissWindowAction)),
          openWindowAction(std::move(openWindowAction)) {}

    void openWindow(const std::string& id) override { openWindowAction(id); }
    void dismissWindow(const std::string& id) override { dismissWindowAction(id); }

    const WindowAction dismissWindowAction;
    const WindowAction openWindowAction;
};

}  // namespace talvori
