#pragma once

#include "platform/desktop/Announcer.hpp"

namespace talvori::x11 {

// Spoken announcements need a screen reader connection that X11 does not give yet: nothing is
// said (the interface reports nothing either way).
class X11Announcer final : public Announcer {
  public:
    void announce(const std::string&, int) override {}
};

}  // namespace talvori::x11
