#pragma once

#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// A setting's title with the sentence that explains it below, in the rows of both settings tabs.
struct SettingsRowLabel {
    std::string title;
    std::string subtitle;

    bool operator==(const SettingsRowLabel&) const = default;
    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
