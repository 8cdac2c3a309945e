#pragma once

#include <spawn.h>

namespace talvori {

// What posix_spawn gives a program we start: no signal blocked and every signal at its default,
// whatever this process (SIGPIPE ignored, for the X connection) or the calling thread (the
// speech thread blocks them all) has set.
class SpawnAttributes {
  public:
    // `flags`: POSIX_SPAWN_* besides the signal ones.
    explicit SpawnAttributes(short flags = 0);
    ~SpawnAttributes();
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    const posix_spawnattr_t* get() const { return &attributes_; }

  private:
    posix_spawnattr_t attributes_;
};

}  // namespace talvori
