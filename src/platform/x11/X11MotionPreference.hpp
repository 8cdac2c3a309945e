#pragma once

#include <memory>

typedef struct _GSettings GSettings;

namespace talvori::x11 {

class X11Connection;
class X11XSettings;

// The user's wish for less motion. Desktops keep it as "animations enabled": their settings
// daemon publishes it over XSETTINGS; without one, GNOME's stored setting answers; without
// either, animations stay on.
class X11MotionPreference {
  public:
    explicit X11MotionPreference(std::shared_ptr<X11Connection> connection);
    ~X11MotionPreference();
    X11MotionPreference(const X11MotionPreference&) = delete;
    X11MotionPreference& operator=(const X11MotionPreference&) = delete;

    // Read anew at each call.
    bool reducesMotion() const;

  private:
    GSettings* storedSettings() const;

    std::unique_ptr<X11XSettings> settings_;
    mutable GSettings* stored_ = nullptr;
    mutable bool lookedForStored_ = false;
};

}  // namespace talvori::x11
