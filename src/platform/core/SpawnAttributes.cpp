#include "platform/core/SpawnAttributes.hpp"

#include <signal.h>

namespace talvori {

SpawnAttributes::SpawnAttributes(short flags) {
    posix_spawnattr_init(&attributes_);
    sigset_t none;
    sigset_t every;
    sigemptyset(&none);
    sigfillset(&every);
    posix_spawnattr_setsigmask(&attributes_, &none);
    posix_spawnattr_setsigdefault(&attributes_, &every);
    posix_spawnattr_setflags(
        &attributes_, static_cast<short>(flags | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
}

SpawnAttributes::~SpawnAttributes() {
    posix_spawnattr_destroy(&attributes_);
}

}  // namespace talvori
