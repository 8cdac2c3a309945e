#pragma once

namespace talvori {

// The desktop's sounds.
class Sound {
  public:
    virtual ~Sound() = default;

    // The user's alert sound: a key or click that does nothing.
    virtual void beep() = 0;
};

}  // namespace talvori
