#include "app/PlatformApplicationLifecycle.hpp"

#include "platform/Platform.hpp"

namespace talvori {

void PlatformApplicationLifecycle::setActivationPolicy(ActivationPolicy policy) {
    platform().application().setActivationPolicy(policy);
}

bool PlatformApplicationLifecycle::isActive() const {
    return platform().application().isActive();
}

void PlatformApplicationLifecycle::requestUserAttention(bool critical) {
    platform().application().requestUserAttention(critical);
}

}  // namespace talvori
