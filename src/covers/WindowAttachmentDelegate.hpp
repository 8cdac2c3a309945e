#pragma once

#include "platform/core/Geometry.hpp"

namespace talvori {

// How the attachment service reports what it learns about the followed window to the cover's
// window controller.
class WindowAttachmentDelegate {
  public:
    virtual ~WindowAttachmentDelegate() = default;

    // A new frame of the target window was read or predicted (global space, y up).
    virtual void targetFrameDidChange(const Rect& frame) = 0;
    // The target window is gone or its frame can no longer be read.
    virtual void detach() = 0;
    // A followed mouse drag ended.
    virtual void panelDidMove() = 0;
    // Some application was activated; `isTarget` tells whether it is the target's.
    virtual void targetAppDidActivate(bool isTarget) = 0;
};

}  // namespace talvori
