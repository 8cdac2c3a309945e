#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/Color.hpp"
#include "ui/KeyPress.hpp"
#include "ui/ProposedSize.hpp"

namespace talvori {
struct AccessibilityNode;
}

namespace talvori::ui {

class Host;
class Node;

// What to look for in a view tree.
struct Query {
    enum class Kind { label, identifier, text };
    Kind kind;
    std::string value;

    // A view labelled so for accessibility (explicitly, or a text showing it).
    static Query byLabel(std::string label) { return {Kind::label, std::move(label)}; }
    static Query byIdentifier(std::string identifier) {
        return {Kind::identifier, std::move(identifier)};
    }
    // A Text or TextField showing exactly this text.
    static Query byText(std::string text) { return {Kind::text, std::move(text)}; }
    std::string description() const;
};

// A found view, for tests and debugging: reads what a user would see of it and acts on it as a
// user would. It follows the view across rebuilds while the view keeps its identity; once the
// view is gone, reads give defaults and actions do nothing.
class NodeRef {
  public:
    NodeRef() = default;
    NodeRef(std::weak_ptr<Host> host, std::weak_ptr<Node> node)
        : host_(std::move(host)), node_(std::move(node)) {}

    bool exists() const;
    explicit operator bool() const { return exists(); }
    Node* node() const;

    // Where it is drawn now, in host coordinates, with offsets, scales and transitions applied
    // (also those of modifiers inside it that keep its bounds, such as offset and opacity).
    Rect frame() const;
    // Where layout put it (animated), without drawing effects.
    Rect layoutFrame() const;
    // The product of the opacities from the root down to it and its modifiers, now.
    double opacity() const;
    // The text shown by the first text in it ("…" marks a cut under fixed metrics).
    std::string text() const;
    // The colour of the first text or icon in it, now.
    std::optional<Color> foregroundColor() const;
    // The fill of the first shape or colour in it, now.
    std::optional<Color> fillColor() const;
    // The colour of the first stroke in it, now.
    std::optional<Color> strokeColor() const;
    std::optional<AccessibilityNode> accessibilityElement() const;
    // What a screen reader's press (no name) or named action does; false when there is none.
    bool performAccessibilityAction(std::string_view name = {}) const;
    // Where it is drawn in its window and on screen; none outside a window.
    std::optional<Rect> frameInWindow() const;
    std::optional<Rect> frameOnScreen() const;
    bool isEnabled() const;
    bool isFocused() const;

    // Pointer actions at the centre of the visible frame (or at `offset` from its top left).
    void click() const;
    void hover() const;
    void mouseDown() const;
    void mouseUp() const;
    // Presses at the centre, moves by `translation` in steps, and releases.
    void drag(Point translation, int steps = 4) const;
    Point center() const;

  private:
    std::weak_ptr<Host> host_;
    std::weak_ptr<Node> node_;
};

}  // namespace talvori::ui
