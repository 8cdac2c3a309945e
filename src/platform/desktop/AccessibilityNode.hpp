#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Geometry.hpp"
#include "platform/desktop/AccessibilityTrait.hpp"

namespace talvori {

// Something a screen reader can do with an element: its press (no name) or a named action.
struct AccessibilityAction {
    std::string name;
    std::function<void()> perform;
    // The keys that do the same from the window, as a reader reads them: ";;<Super>n" (no
    // mnemonic, no menu path, the shortcut); empty when there are none.
    std::string keyBinding{};
};

// A position a screen reader reads and sets, as a slider shows it.
struct AccessibilityRange {
    double value = 0;
    double minimum = 0;
    double maximum = 1;
    // The smallest step the control takes; 0 when any value goes.
    double step = 0;
    // Moves the control as the pointer would; does nothing once its view has gone.
    std::function<void(double)> set{};
};

// The text of a field or a selectable text with its caret and selection; offsets count bytes of
// the UTF-8 text.
struct AccessibilityText {
    std::string contents;
    std::size_t caret = 0;
    std::size_t selectionStart = 0;
    std::size_t selectionEnd = 0;
    // Set for fields: the whole text replaced as typing would (the caret goes to its end).
    std::function<void(const std::string&)> replace{};
    // The most characters replace() keeps: edits cut what they insert to fit.
    std::size_t maxLength = SIZE_MAX;
    // Selects from `start` to `end`, the caret at `end`; an empty range only places the caret.
    std::function<void(std::size_t start, std::size_t end)> select{};
    // Where each character starts as drawn, and where the last ends, from the element's leading
    // edge in its points; empty when not known (the characters then share the element evenly).
    std::vector<double> characterEdges{};
};

// One element of the accessibility tree that views expose, as it was when the tree was read.
struct AccessibilityNode {
    std::string label;
    std::string value;
    std::string hint;
    std::string identifier;
    AccessibilityTrait traits = AccessibilityTrait::none;
    // In the coordinates of the content showing the views (top left, y down).
    Rect frame;
    std::vector<AccessibilityNode> children;
    // The press first when there is one; an action does nothing once its view has gone.
    std::vector<AccessibilityAction> actions;
    // A switch's state.
    std::optional<bool> isOn;
    std::optional<AccessibilityRange> range;
    std::optional<AccessibilityText> text;
    bool isEnabled = true;
    bool isFocusable = false;
    bool isFocused = false;
    // Gives the element the keyboard focus; set on focusable elements.
    std::function<void()> focus;
    // The view the element stands for: two readings of the tree that name the same view describe
    // the same element.
    std::weak_ptr<const void> source;

    bool hasDefaultAction() const;
    std::vector<std::string> actionNames() const;
    // Performs the press (no name) or the named action; false when the element has none such.
    bool perform(std::string_view name = {}) const;

    // Indented lines such as `button "Close cover" [selected]`.
    std::string dump(int depth = 0) const;
};

}  // namespace talvori
