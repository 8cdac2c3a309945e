#pragma once

#include <functional>

#include "ui/UI.hpp"

namespace talvori::ui {

// The second page of the first-run window: why Focus needs the Accessibility permission, a link
// to the privacy page, the grant control and "Skip for now". The page never checks the permission
// itself; the grant control reports it through `onGranted`.
struct PermissionStep {
    static constexpr const char* kPrivacyPage = "https://talvori.org/privacy/";

    std::function<void()> onGranted;
    std::function<void()> onSkip;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
