// The keyboard focus, Tab order, focus bindings and key presses.
#include <glib.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>
#include <utility>

#include "platform/Platform.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"

namespace talvori::ui {

namespace {

bool takesFocus(const Node& node) {
    return node.environment().value(takesKeyboardFocusKey) && node.element().isFocusable(node);
}

bool isTabStop(const Node& node) {
    return node.isAttached() && node.environment().value(takesKeyboardFocusKey) &&
           node.element().isTabStop(node);
}

// The views that take the focus, in reading order (the order of the tree: stacks lay their
// children out leading to trailing and top to bottom).
void collectFocusable(Node& node, std::vector<Node*>& found) {
    // A view made fully transparent is not there to be seen: the focus would vanish into it.
    if (node.isRemoving() || node.element().targetOpacity() == 0) return;
    if (isTabStop(node)) found.push_back(&node);
    for (const auto& child : node.children()) collectFocusable(*child, found);
}

// Whether the node is gone or on its way out with a view above it.
bool isLeaving(const Node* node) {
    if (!node || !node->isAttached()) return true;
    for (; node; node = node->parent()) {
        if (node->isRemoving()) return true;
    }
    return false;
}

Node* focusTarget(Node& node) {
    if (takesFocus(node)) return &node;
    for (const auto& child : node.children()) {
        if (child->isRemoving()) continue;
        if (Node* target = focusTarget(*child)) return target;
    }
    return nullptr;
}

// Up and Down with nothing else pressed, as a list's rows answer them.
std::optional<bool> verticalArrow(const KeyPress& press) {
    if (press.modifiers != Modifiers::none) return std::nullopt;
    if (press.key == Key::downArrow) return true;
    if (press.key == Key::upArrow) return false;
    return std::nullopt;
}

// The control below (or above) the focused one, as the desktop's arrow keys move the focus in a
// list: the nearest in reading order that lies wholly past it, none at the list's end.
Node* controlPast(const std::vector<Node*>& candidates, const Node& focused, bool down,
                  double now) {
    const Rect from = focused.frameInHost(now);
    const auto at = std::find(candidates.begin(), candidates.end(), &focused);
    if (at == candidates.end()) return nullptr;
    if (down) {
        for (auto it = std::next(at); it != candidates.end(); ++it) {
            if ((*it)->frameInHost(now).minY() >= from.maxY()) return *it;
        }
        return nullptr;
    }
    for (auto it = std::make_reverse_iterator(at); it != candidates.rend(); ++it) {
        if ((*it)->frameInHost(now).maxY() <= from.minY()) return *it;
    }
    return nullptr;
}

// Counts a key press being answered for as long as it lasts, nested presses included.
class KeyPressScope {
  public:
    explicit KeyPressScope(int& depth) : depth_(depth) { ++depth_; }
    ~KeyPressScope() { --depth_; }
    KeyPressScope(const KeyPressScope&) = delete;
    KeyPressScope& operator=(const KeyPressScope&) = delete;

  private:
    int& depth_;
};

}  // namespace

void Host::setKeyWindow(bool isKey) {
    if (isKeyWindow() == isKey) return;
    isKeyWindow_ = isKey;
    setNeedsDisplay();
}

Node* Host::focusedNode() const {
    auto node = focused_.lock();
    return node && node->isAttached() ? node.get() : nullptr;
}

bool Host::hasFocusedTextField() const {
    const Node* node = focusedNode();
    return node && node->element().isTextInput();
}

void Host::setFocus(Node* target) {
    auto previous = focused_.lock();
    if (previous.get() == target) return;
    focused_ = target ? target->weak_from_this() : std::weak_ptr<Node>();
    focusLeftWithView_ = false;
    // The ring reaches beyond the focused control.
    if (previous) previous->invalidateBounds();
    if (target) target->invalidateBounds();
    if (previous && !previous->isRemoving()) previous->element().focusChanged(*previous, false);
    if (target) target->element().focusChanged(*target, true);
    syncBindingsFromFocus(previous.get());
    if (onFocusChange) onFocusChange(hasFocusedTextField());
    if (onAccessibilityChange) onAccessibilityChange();
    setNeedsDisplay();
}

void Host::requestFocus(Node& node) {
    if (Node* target = focusTarget(node)) setFocus(target);
}

void Host::resignFocus() {
    setFocus(nullptr);
}

void Host::resignFocus(Node& node) {
    if (focusedNode() == &node) setFocus(nullptr);
}

void Host::registerFocusBinding(Node& node) {
    std::erase_if(focusBindings_, [](const auto& weak) { return weak.expired(); });
    const auto shared = node.shared_from_this();
    if (std::none_of(focusBindings_.begin(), focusBindings_.end(),
                     [&](const auto& weak) { return weak.lock() == shared; })) {
        focusBindings_.push_back(shared);
    }
}

void Host::registerDefaultFocus(Node& node) {
    std::erase_if(defaultFocus_, [](const auto& weak) { return weak.expired(); });
    const auto shared = node.shared_from_this();
    if (std::none_of(defaultFocus_.begin(), defaultFocus_.end(),
                     [&](const auto& weak) { return weak.lock() == shared; })) {
        defaultFocus_.push_back(shared);
    }
}

void Host::rememberWhereFocusIs(const Node& focused) {
    FocusSurroundings around;
    bool passed = false;
    // The controls in reading order, leaving out those no one sees.
    const std::function<void(Node&, bool)> visit = [&](Node& node, bool hidden) {
        if (&node == &focused) passed = true;
        hidden = hidden || node.isRemoving() || node.element().targetOpacity() == 0;
        if (!hidden && isTabStop(node) && &node != &focused)
            (passed ? around.after : around.before).push_back(node.weak_from_this());
        if (hidden && !isInSubtree(&focused, node)) return;
        for (const auto& child : node.children()) visit(*child, hidden);
    };
    if (root_) visit(*root_, false);
    std::reverse(around.before.begin(), around.before.end());
    focusSurroundings_ = std::move(around);
}

Node* Host::nearestControlToLeftFocus() {
    const FocusSurroundings around = std::exchange(focusSurroundings_, {});
    if (!root_) return nullptr;
    std::vector<Node*> controls;
    collectFocusable(*root_, controls);
    auto isAmong = [](const std::vector<std::weak_ptr<Node>>& list, const Node* node) {
        const auto shared = node->shared_from_this();
        return std::any_of(list.begin(), list.end(), [&](const auto& weak) {
            return !weak.owner_before(shared) && !shared.owner_before(weak);
        });
    };
    auto nearestStaying = [&](const std::vector<std::weak_ptr<Node>>& list) {
        for (const auto& weak : list) {
            const auto node = weak.lock();
            const auto at = std::find(controls.begin(), controls.end(), node.get());
            if (node && at != controls.end()) return at;
        }
        return controls.end();
    };
    const auto previous = nearestStaying(around.before);
    const auto next = nearestStaying(around.after);
    // What took the place of the views that left (a name for its field, a page for a page)...
    const auto from = previous == controls.end() ? controls.begin() : std::next(previous);
    const auto to = next == controls.end() ? controls.end() : next;
    for (auto it = from; it < to; ++it) {
        if (!isAmong(around.before, *it) && !isAmong(around.after, *it)) return *it;
    }
    // ...else the next control in reading order, or the one before where none follows.
    if (next != controls.end()) return *next;
    return previous != controls.end() ? *previous : nullptr;
}

void Host::passFocusFromLeavingView() {
    // Only a focus that was somewhere moves: a window nobody tabbed into shows no ring.
    if (!focusLeftWithView_) return;
    for (const auto& weak : defaultFocus_) {
        const auto node = weak.lock();
        if (isLeaving(node.get())) continue;
        if (Node* target = focusTarget(*node)) return setFocus(target);
    }
    if (Node* nearest = nearestControlToLeftFocus()) setFocus(nearest);
}

void Host::forEachFocusBinding(
    const std::function<void(const Binding<bool>&, Node& target)>& visit) {
    for (const auto& weak : std::vector(focusBindings_)) {
        auto node = weak.lock();
        if (!node || !node->isAttached()) continue;
        const auto* binding = node->element().focusBinding();
        Node* target = focusTarget(*node);
        if (binding && target) visit(*binding, *target);
    }
}

void Host::syncFocusBindings() {
    Node* wanted = nullptr;
    bool letGo = false;
    forEachFocusBinding([&](const Binding<bool>& binding, Node& target) {
        if (binding.get()) {
            if (!wanted) wanted = &target;
        } else if (focusedNode() == &target) {
            letGo = true;
        }
    });
    // A binding that takes the focus wins over one that lets it go, in whichever order they
    // come: the focus moves from one bound control to another (an arrow between choices) in
    // one step, not through nothing, which would clear the new binding.
    if (wanted && focusedNode() != wanted) {
        setFocus(wanted);
    } else if (!wanted && letGo) {
        setFocus(nullptr);
    }
}

void Host::syncBindingsFromFocus(const Node* previous) {
    Node* focused = focusedNode();
    // Only the bindings of the two views the focus moved between: another binding that is true
    // asks for the focus, which an update gives it (the tab chosen as the page it replaces goes).
    forEachFocusBinding([focused, previous](const Binding<bool>& binding, Node& target) {
        if (&target != focused && &target != previous) return;
        const bool isFocused = &target == focused;
        if (binding.get() != isFocused) binding.set(isFocused);
    });
}

bool Host::performShortcut(Node& node, const KeyPress& press) {
    if (node.isRemoving()) return false;
    const auto* shortcut = node.element().keyboardShortcut();
    if (shortcut && shortcut->matches(press) && node.environment().isEnabled) {
        bool performed = false;
        node.forEachInSubtree([&](Node& inner) {
            if (!performed && !inner.isRemoving()) performed = inner.element().performAction(inner);
        });
        if (performed) return true;
    }
    for (const auto& child : std::vector(node.children())) {
        if (performShortcut(*child, press)) return true;
    }
    return false;
}

bool Host::keyDownToFocus(const KeyPress& press) {
    platform().runLoop().assertMainThread();
    Node* focused = focusedNode();
    if (!focused) return false;
    const auto keep = focused->shared_from_this();
    const KeyPressScope answering(keyPressDepth_);
    for (Node* node = focused; node; node = node->parent()) {
        if (node->element().keyDown(*node, press)) return true;
    }
    return false;
}

void Host::focusFirstControlUnlessFocused() {
    if (!focusedNode()) moveFocus(true);
}

bool Host::moveFocus(bool forward) {
    if (!root_) return false;
    std::vector<Node*> candidates;
    collectFocusable(*root_, candidates);
    if (candidates.empty()) return false;
    const auto current = std::find(candidates.begin(), candidates.end(), focusedNode());
    Node* next = nullptr;
    if (current == candidates.end()) {
        next = forward ? candidates.front() : candidates.back();
    } else if (forward) {
        next = std::next(current) == candidates.end() ? candidates.front() : *std::next(current);
    } else {
        next = current == candidates.begin() ? candidates.back() : *std::prev(current);
    }
    setFocus(next);
    return true;
}

bool Host::keyDown(const KeyPress& press) {
    const KeyPressScope answering(keyPressDepth_);
    if (keyDownToFocus(press)) return true;
    const bool plainTab = press.key == Key::tab && !press.hasCommand() &&
                          !contains(press.modifiers, Modifiers::control) &&
                          !contains(press.modifiers, Modifiers::option);
    if (plainTab && moveFocus(!press.hasShift())) return true;
    if (const auto down = verticalArrow(press); down && root_ && focusedNode()) {
        std::vector<Node*> candidates;
        collectFocusable(*root_, candidates);
        if (Node* next = controlPast(candidates, *focusedNode(), *down, now())) {
            setFocus(next);
            return true;
        }
    }
    // With a modifier, Page Up and Down are shortcuts (Ctrl+Page Down switches tabs).
    const bool page = (press.key == Key::pageUp || press.key == Key::pageDown) &&
                      press.modifiers == Modifiers::none;
    if (page && scrollPage(press.key == Key::pageDown)) return true;
    return isKeyWindow() && root_ && performShortcut(*root_, press);
}

void Host::type(std::string_view text) {
    for (const char* c = text.data(); c < text.data() + text.size(); c = g_utf8_next_char(c)) {
        const char* next = g_utf8_next_char(c);
        keyDown(KeyPress::character(std::string(c, static_cast<std::size_t>(next - c))));
    }
}

bool Host::press(Key key, Modifiers modifiers) {
    return keyDown(KeyPress::named(key, modifiers));
}

}  // namespace talvori::ui
