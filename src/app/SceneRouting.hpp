#pragma once

#include <string>

namespace talvori {

// Opens and closes the application's window scenes by identifier.
class SceneRouting {
  public:
    virtual ~SceneRouting() = default;
    virtual void openWindow(const std::string& id) = 0;
    virtual void dismissWindow(const std::string& id) = 0;
};

}  // namespace talvori
