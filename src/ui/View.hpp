#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Task.hpp"
#include "platform/desktop/AccessibilityTrait.hpp"
#include "platform/desktop/Cursor.hpp"
#include "ui/Alignment.hpp"
#include "ui/AnyValue.hpp"
#include "ui/Binding.hpp"
#include "ui/Color.hpp"
#include "ui/EdgeInsets.hpp"
#include "ui/Element.hpp"
#include "ui/Environment.hpp"
#include "ui/Font.hpp"
#include "ui/KeyPress.hpp"
#include "ui/ProposedSize.hpp"
#include "ui/Transition.hpp"

namespace talvori {
struct AccessibilityRange;
}

namespace talvori::ui {

class FrameReader;
class MatchedGeometryNamespace;
class Shape;
struct ViewDimensions;

// Sizes of a frame. Per axis: a fixed length (width, height), or flexible bounds (min, ideal, max);
// an axis with neither takes its content's size.
struct Frame {
    std::optional<double> width{};
    std::optional<double> height{};
    std::optional<double> minWidth{};
    std::optional<double> idealWidth{};
    std::optional<double> maxWidth{};
    std::optional<double> minHeight{};
    std::optional<double> idealHeight{};
    std::optional<double> maxHeight{};
    Alignment alignment = Alignment::center();
};

struct DragValue {
    // In the coordinates of the view that has the gesture.
    Point location;
    Point startLocation;
    Point translation() const {
        return {location.x - startLocation.x, location.y - startLocation.y};
    }
};

struct DragGesture {
    double minimumDistance = 10;
    std::function<void(const DragValue&)> onChanged{};
    std::function<void(const DragValue&)> onEnded{};
};

struct LongPressGesture {
    double minimumDuration = 0.5;
    // How far the pointer may wander before the press no longer counts.
    double maximumDistance = 10;
    std::function<void()> onEnded{};
    std::function<void(bool)> onPressingChanged{};
};

struct PopoverOptions {
    // The fill behind the content and under the arrow; none: the standard popover colour.
    std::optional<Color> background{};
};

using talvori::AccessibilityRange;
using talvori::AccessibilityTrait;
using talvori::contains;
// How an element treats the elements below it: keeps them (contain), merges their labels into
// its own (combine) or hides them (ignore).
enum class AccessibilityChildren { contain, combine, ignore };

// A view: an immutable description, cheap to copy, made by a view's body. Modifiers wrap it in a
// new view; their order matters as it does in the declarative frameworks this follows
// (`padding(8).background(c)` paints the padding, `background(c).padding(8)` does not).
class View {
  public:
    // The empty view: no space, nothing drawn; a placeholder in conditionals.
    View() = default;
    explicit View(std::shared_ptr<const Element> element) : element_(std::move(element)) {}
    // A colour as a view fills the space it is offered.
    View(const Color& color);  // NOLINT: implicit like a view
    // Any component: a struct with `View body(ViewContext<State>&) const` (see ViewContext.hpp).
    template <class Component>
    requires requires { &Component::body; }
    View(Component component);  // NOLINT: implicit like a view

    const std::shared_ptr<const Element>& element() const { return element_; }
    bool isEmpty() const { return element_ == nullptr; }

    // --- layout
    View padding(double length = 16) const { return padding(EdgeInsets::all(length)); }
    View padding(Edges edges, double length) const {
        return padding(EdgeInsets::of(edges, length));
    }
    View padding(EdgeInsets insets) const;
    View frame(double width, double height, Alignment alignment = Alignment::center()) const;
    View frame(const Frame& frame) const;
    View fixedSize(bool horizontal = true, bool vertical = true) const;
    // Moves the drawing without changing layout.
    View offset(double x, double y) const;
    // Centres the view at (x, y) in the space offered, which it fills.
    View position(double x, double y) const;
    View background(const View& view, Alignment alignment = Alignment::center()) const;
    // Where this view's `guide` lies, in its own coordinates, for the stack lining its children
    // up by that guide (a vertical stack by a horizontal guide, a horizontal stack by a vertical
    // one): `.alignmentGuide(VerticalAlignment::firstTextBaseline, [](auto& d) { return
    // d[VerticalAlignment::bottom] + 3; })` sits the view's bottom 3 points above the baseline.
    View alignmentGuide(HorizontalAlignment guide,
                        std::function<double(const ViewDimensions&)> value) const;
    View alignmentGuide(VerticalAlignment guide,
                        std::function<double(const ViewDimensions&)> value) const;
    View overlay(const View& view, Alignment alignment = Alignment::center()) const;

    // --- drawing
    View opacity(double opacity) const;
    View scaleEffect(double scale, UnitPoint anchor = UnitPoint::center()) const;
    View scaleEffect(double x, double y, UnitPoint anchor) const;
    View rotationEffect(double degrees, UnitPoint anchor = UnitPoint::center()) const;
    View clipShape(const Shape& shape) const;
    View clipped() const;
    View shadow(const Color& color, double radius, double x = 0, double y = 0) const;

    // --- environment
    View font(const Font& font) const;
    View foregroundColor(const Color& color) const;
    View tint(const Color& color) const;
    View lineLimit(std::optional<int> lines) const;
    View tracking(double tracking) const;
    View multilineTextAlignment(TextAlignment alignment) const;
    // A solid line under the texts inside, in each text's colour.
    View underline(bool active = true) const;
    // Extra points between the lines of the texts inside.
    View lineSpacing(double spacing) const;
    // Lets the user select the texts inside with the pointer (Command-A: all of one) and copy the
    // selection with Command-C. Tab does not stop at them.
    View textSelection(bool enabled = true) const;
    View disabled(bool disabled = true) const;
    View buttonStyle(ButtonStyle style) const;
    template <class T>
    View environment(const EnvironmentKey<T>& key, T value) const;
    View environment(std::function<void(Environment&)> modify) const;

    // --- identity and animation
    // A view with another id is another view: its state and the state below it start afresh.
    template <class T>
    View id(T value) const {
        return idValue(AnyValue(std::move(value)));
    }
    View transition(const Transition& transition) const;
    // Animates changes in this subtree with `animation` whenever `value` changed since the last
    // build (none: changes in the subtree do not animate).
    template <class T>
    View animation(std::optional<Animation> animation, T value) const {
        return animationValue(std::move(animation), AnyValue(std::move(value)));
    }

    // A source publishes its frame under `id` in `space`; any other view with that id is laid
    // out in the source's frame, so that it moves, animated, wherever the source goes. The source
    // must be laid out before its followers in a pass (the content of a view is laid out before
    // its background). Without a source the view keeps its own frame.
    View matchedGeometryEffect(std::string id, const MatchedGeometryNamespace& space,
                               bool isSource = true) const;
    // Lets `reader` tell where this view is drawn (see FrameReader).
    View readFrame(const FrameReader& reader) const;

    // --- lifecycle
    View onAppear(std::function<void()> action) const;
    View onDisappear(std::function<void()> action) const;
    // Runs `action(old, new)` (or `action(new)`) after a build in which `value` changed; with
    // `initial`, also after the first build.
    template <class T, class Action>
    View onChange(T value, Action action, bool initial = false) const;
    // A task started when the view appears and cancelled when it goes.
    View task(std::function<Async()> body) const;
    // Called after layout whenever the view's size changed, and after its first layout.
    View onSizeChange(std::function<void(Size)> action) const;

    // --- input
    View onHover(std::function<void(bool)> action) const;
    // Shows `cursor` while the pointer is over the view, and the arrow again when it leaves, when
    // the view goes and when its window leaves the screen.
    View hoverCursor(Cursor cursor) const;
    View onTapGesture(std::function<void()> action) const;
    View gesture(DragGesture gesture) const;
    View onLongPressGesture(LongPressGesture gesture) const;
    // The area that takes pointer input, instead of the drawn content.
    View contentShape(const Shape& shape) const;
    View allowsHitTesting(bool allows) const;
    // Focus follows the binding both ways: true focuses the view, focus elsewhere makes it false.
    View focused(Binding<bool> isFocused) const;
    // false: neither the view nor any control inside it takes the focus.
    View focusable(bool focusable = true) const;
    // Takes the focus from Tab only (a click leaves it where it is, as a button's does) and shows
    // it with the accent-coloured ring: for controls without focus drawing of their own.
    View keyboardFocusable() const;
    // Where the focus goes when the view that had it leaves the window (a page replaced by the
    // next): a keyboard user lands on the new page's main control instead of nowhere.
    View prefersDefaultFocus() const;
    // Keys reaching this view while it has the focus; return true to consume them.
    View onKeyPress(std::function<bool(const KeyPress&)> action) const;
    // While `isPresented` is true, shows `content` in a popover below this view (see Popover).
    // A click outside the popover closes it and sets `isPresented` to false, as does the closing of
    // this view's window; the view leaving the tree closes it without a write.
    View popover(Binding<bool> isPresented, std::function<View()> content,
                 PopoverOptions options = {}) const;
    // Help text shown near the pointer once it has rested on the view for Tooltip::kDelay.
    View help(std::string text) const;
    // Triggers the button inside while the window is key.
    View keyboardShortcut(std::string key, Modifiers modifiers = Modifiers::command) const;
    // An inactive shortcut keeps the view's structure (and so its focus) while it does nothing.
    View keyboardShortcut(KeyboardShortcut shortcut, bool isActive = true) const;

    // --- accessibility
    View accessibilityLabel(std::string label) const;
    // The label of a control that acts on one thing of several (a cover, a layout): readers hear
    // both ("Rename cover Overlay 1"); Query::byLabel finds it by `label` alone.
    View accessibilityLabel(std::string label, std::string subject) const;
    View accessibilityValue(std::string value) const;
    View accessibilityHint(std::string hint) const;
    View accessibilityIdentifier(std::string identifier) const;
    View accessibilityAddTraits(AccessibilityTrait traits) const;
    View accessibilityRemoveTraits(AccessibilityTrait traits) const;
    View accessibilityHidden(bool hidden = true) const;
    View accessibilityElement(AccessibilityChildren children) const;
    // A switch, on or off.
    View accessibilityToggle(bool isOn) const;
    // One choice of a group (a radio button), chosen or not.
    View accessibilityRadio(bool isChosen) const;
    // A position a screen reader reads and sets, as on a slider.
    View accessibilityRange(AccessibilityRange range) const;
    // What a screen reader's press does (a button's press is its action already). Put it outside
    // accessibilityElement(...), on the element it belongs to.
    View accessibilityAction(std::function<void()> action) const;
    // A further action a screen reader offers under `name`.
    View accessibilityAction(std::string name, std::function<void()> action) const;

  private:
    View idValue(AnyValue value) const;
    View animationValue(std::optional<Animation> animation, AnyValue value) const;
    View onChangeValue(AnyValue value, std::function<void(const AnyValue&, const AnyValue&)> action,
                       bool initial) const;

    std::shared_ptr<const Element> element_;
};

template <class T>
View View::environment(const EnvironmentKey<T>& key, T value) const {
    return environment(
        [&key, value](Environment& environment) { environment.setValue(key, value); });
}

template <class T, class Action>
View View::onChange(T value, Action action, bool initial) const {
    return onChangeValue(
        AnyValue(std::move(value)),
        [action = std::move(action)](const AnyValue& old, const AnyValue& now) {
            if constexpr (std::is_invocable_v<Action&, const T&, const T&>) {
                action(old.as<T>(), now.as<T>());
            } else {
                action(now.as<T>());
            }
        },
        initial);
}

// The children of a stack or group: views, or lists from ForEach.
using ViewList = std::vector<View>;

// A container without layout of its own: its children join the enclosing stack.
class Group : public View {
  public:
    explicit Group(ViewList children);
};

}  // namespace talvori::ui
