#pragma once

#include "app/ApplicationLifecycleControlling.hpp"

namespace talvori {

// The application lifecycle over the platform's application object.
class PlatformApplicationLifecycle final : public ApplicationLifecycleControlling {
  public:
    void setActivationPolicy(ActivationPolicy policy) override;
    bool isActive() const override;
    void requestUserAttention(bool critical) override;
};

}  // namespace talvori
