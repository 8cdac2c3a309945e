#pragma once

#include "platform/desktop/ActivationPolicy.hpp"

namespace talvori {

// What the runtime coordinator asks of the application object: its activation policy, whether it
// is active, and the user's attention.
class ApplicationLifecycleControlling {
  public:
    virtual ~ApplicationLifecycleControlling() = default;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    virtual bool isActive() const = 0;
    // A critical request lasts until the user comes.
    virtual void requestUserAttention(bool critical) = 0;
};

}  // namespace talvori
