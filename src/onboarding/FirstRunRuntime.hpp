#pragma once

#include "onboarding/FirstRunRuntimeStartEffect.hpp"

namespace talvori {

// The runtime as the first-run window sees it: started when the flow completes, and told whether
// the flow's steps are on screen.
class FirstRunRuntime : public FirstRunRuntimeStartEffect {
  public:
    virtual void setFirstRunFlowActive(bool active) = 0;
};

}  // namespace talvori
