#pragma once

#include <functional>
#include <string>

#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori::ui {

// The in-place rename field of the panel's rows: black text on a light pill, focused as soon as
// it shows. Return hands over the typed name trimmed of its outer spaces and tabs (an empty one
// too: the row decides) and ends editing; Escape ends editing with nothing renamed. Focus leaving
// the field neither commits nor cancels: the field stays with its text.
struct RenameField {
    Observable<std::string>& editingName;
    Observable<bool>& isEditing;
    Observable<bool>& isFocused;
    double fontSize;
    std::function<void(const std::string& trimmedName)> rename;

    View view() const;
};

}  // namespace talvori::ui
