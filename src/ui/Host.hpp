#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/TimerSlot.hpp"
#include "ui/DamageRegion.hpp"
#include "ui/Environment.hpp"
#include "ui/KeyPress.hpp"
#include "ui/NodeRef.hpp"
#include "ui/ProposedSize.hpp"
#include "ui/Transaction.hpp"
#include "ui/View.hpp"

namespace talvori {
class Panel;
}

namespace talvori::ui {

class IconCatalog;
class Node;
class TextMeasurer;

// Whether the views inside take the keyboard focus; View::focusable(false) turns it off.
inline const EnvironmentKey<bool> takesKeyboardFocusKey{true};

// Keeps a view tree alive: builds it, lays it out, draws it and feeds it pointer and key events.
// Changes to state and observed models rebuild the views that read them on a later run-loop turn;
// animations run on the platform clock. A window that shows views (a panel) owns one host; tests
// and pictures use one on its own.
//
// One file per concern: Host.cpp updates, lays out and animates; HostDrawing.cpp keeps the frame
// and draws; HostPointer.cpp and HostFocus.cpp take pointer and key input; HostQueries.cpp and
// HostAccessibility.cpp answer tests and screen readers.
class Host : public std::enable_shared_from_this<Host> {
  public:
    struct Options {
        // Default: Pango, one measurer shared by every host.
        std::shared_ptr<TextMeasurer> textMeasurer;
        // Default: the icons installed with the program, shared by every host.
        std::shared_ptr<IconCatalog> icons;
        // The size offered to the root view; none: the root's ideal (fitting) size.
        std::optional<Size> size;
        // Whether Reduce Motion is on, asked whenever a view makes an animation.
        std::function<bool()> reduceMotion;
    };

    static std::shared_ptr<Host> make(View root, Options options = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Replaces the root view; state is kept wherever identity is unchanged.
    void setRootView(View root);
    // Runs a pending rebuild and layout now instead of on the next turn.
    void updateNow();

    // --- size
    void setProposedSize(std::optional<Size> size);
    // The root's ideal size; with a width, the height it needs at that width.
    Size fittingSize(std::optional<double> width = std::nullopt);
    // The size of the last layout pass.
    Size size() const { return size_; }
    // Called after every layout pass with the laid-out size.
    std::function<void(Size)> onLayout;
    // Called when the picture changed (a pass ran or an animation advanced).
    std::function<void()> onNeedsDisplay;

    // --- drawing
    // Into a picture whose pixels line up with the host's points (a uniform scale, a whole-pixel
    // offset), only what changed since the last drawing is drawn again, into a kept frame that is
    // then copied (a change to most of the window is drawn straight into the picture); into any
    // other picture, everything is drawn.
    void draw(cairo_t* cr);
    // Everything is drawn again at the next drawing.
    void setNeedsDisplay();
    // What the next drawing changes, in content coordinates (points); none when it may change
    // everything (the first drawing, a new size or scale).
    std::optional<std::vector<Rect>> pendingDamage();
    // The work of the last layout pass and of the last drawing (tests and benchmarks).
    struct Statistics {
        std::size_t measured = 0;
        std::size_t placed = 0;
        std::size_t drawn = 0;
    };
    const Statistics& statistics() const { return statistics_; }
    // The views as a PNG at `scale` pixels per point, on a transparent background.
    std::vector<unsigned char> renderPNG(double scale = 1);
    bool writePNG(const std::string& path, double scale = 1);

    // --- input, in content coordinates (points, top left, y down)
    // Whether a button, gesture or field took the press (and so the drag and release).
    bool mouseDown(Point point);
    bool mouseDragged(Point point);
    bool mouseUp(Point point);
    void mouseMoved(Point point);
    void mouseExited();
    // Positive `dy` scrolls content up (shows what is further down): by points, or by notches of
    // a wheel, each a step that grows with the scroll view's visible height, as GTK's do.
    bool scrollWheel(Point point, double dy, bool notches = false);
    // Page Up or Down: the scroll view around the focused view, else the first one, by most of
    // its visible height.
    bool scrollPage(bool down);
    // Focused view first, then keyboard shortcuts; false when nobody handled the key.
    bool keyDown(const KeyPress& press);
    // The focused view and the views around it only.
    bool keyDownToFocus(const KeyPress& press);
    // Whether a key press is being answered: what it sets off was asked for from the keyboard.
    bool isAnsweringKeyPress() const { return keyPressDepth_ > 0; }
    // A window opened from the keyboard starts at its first control; one the user already moved
    // through keeps its focus.
    void focusFirstControlUnlessFocused();
    void setKeyWindow(bool isKey);
    // Keyboard shortcuts act, and the caret shows, only while the window is key.
    bool isKeyWindow() const { return keyWindowProvider_ ? keyWindowProvider_() : isKeyWindow_; }
    void setKeyWindowProvider(std::function<bool()> provider) {
        keyWindowProvider_ = std::move(provider);
    }
    // Called when the focused view changes, with whether a text field now has the focus.
    std::function<void(bool)> onFocusChange;
    // The window showing the views, for hosts in a panel (PanelHost sets it).
    void setWindowProvider(std::function<std::shared_ptr<Panel>()> provider) {
        windowProvider_ = std::move(provider);
    }
    std::shared_ptr<Panel> window() const { return windowProvider_ ? windowProvider_() : nullptr; }
    // Whether the views can be seen: their window is on screen. A host on its own counts as shown.
    bool isOnScreen() const;
    // The window reached or left the screen: views that work only while seen start or stop, and
    // on leaving, hovers and presses end.
    void windowVisibilityDidChange();
    // The window left the screen: hovers end.
    void windowDidOrderOut();
    // Focus leaves every field (the window made itself first responder).
    void resignFocus();
    bool hasFocusedTextField() const;
    // Takes a text read from the pasteboard or the selection; absent when none came.
    using TextReceiver = std::function<void(std::optional<std::string>)>;
    // Reads at most `limit` bytes and hands them to the receiver once, maybe on a later turn.
    using TextReader = std::function<void(std::size_t limit, TextReceiver receive)>;
    void setPasteboardReader(TextReader reader) { pasteboard_ = std::move(reader); }
    void readPasteboard(std::size_t limit, TextReceiver receive) const {
        read(pasteboard_, limit, std::move(receive));
    }
    // Where Command-C in a selectable text or a field puts the selection.
    void setPasteboardWriter(std::function<void(const std::string&)> writer) {
        pasteboardWriter_ = std::move(writer);
    }
    void writePasteboard(const std::string& text) const {
        if (pasteboardWriter_) pasteboardWriter_(text);
    }
    // The desktop's selection, kept apart from the pasteboard: the text last selected, which the
    // middle button pastes. Without these, selecting sets nothing and the middle button does not
    // paste.
    void setSelectionReader(TextReader reader) { selectionReader_ = std::move(reader); }
    void setSelectionWriter(std::function<void(const std::string&)> writer) {
        selectionWriter_ = std::move(writer);
    }
    void readSelection(std::size_t limit, TextReceiver receive) const {
        read(selectionReader_, limit, std::move(receive));
    }
    void writeSelection(const std::string& text) const {
        if (selectionWriter_) selectionWriter_(text);
    }
    // The middle button at `point`: a text field there pastes the selection where it was pressed.
    bool pasteSelection(Point point);

    // --- geometry of views
    // Where `node` is drawn, in its window's content (top left, y down); none outside a window.
    std::optional<Rect> frameInWindow(const Node& node) const;
    // Where `node` is drawn in the global screen space (bottom left, y up); none outside a window.
    std::optional<Rect> frameOnScreen(const Node& node) const;

    // --- inspection (tests and debugging)
    NodeRef find(const Query& query);
    // Drops views whose removal transition has ended (the frame timer does it too, a frame later).
    void pruneRemovals();
    std::vector<NodeRef> findAll(const Query& query);
    NodeRef root();
    // The accessibility tree as indented text.
    std::string accessibilityDump();
    // The accessibility tree as a screen reader reads it: each element also says whether it is
    // enabled, takes the keyboard focus or has it.
    std::vector<AccessibilityNode> accessibilityElements();
    // Called after every pass that may have changed the tree and whenever the focus moves; set
    // only while a screen reader follows the views.
    std::function<void()> onAccessibilityChange;
    // Types `text` into the focused field, one key per character.
    void type(std::string_view text);
    bool press(Key key, Modifiers modifiers = Modifiers::none);

    // --- for nodes and elements
    const std::shared_ptr<const Environment>& rootEnvironment() const { return rootEnvironment_; }
    TextMeasurer& textMeasurer() const { return *textMeasurer_; }
    const std::shared_ptr<TextMeasurer>& sharedTextMeasurer() const { return textMeasurer_; }
    const std::shared_ptr<IconCatalog>& icons() const { return icons_; }
    double now() const;
    void markDirty(const std::weak_ptr<Node>& node, const Transaction& transaction);
    void setNeedsUpdate();
    void afterUpdate(std::function<void()> work) { afterUpdate_.push_back(std::move(work)); }
    void animationStarted(Node& node);
    // A node whose measurement changed, for the next layout pass.
    void layoutChanged(Node& node);
    // A node whose drawing changed, for the next drawing.
    void displayChanged(Node& node);
    // An area of the kept frame (host coordinates) that must be drawn again.
    void addDamage(const Rect& rect);
    // Tells the window that there is something to draw.
    void displayNeeded();
    // A node placed from other views' frames, placed again in every pass.
    void followerAdded(Node& node);
    void nodeMeasured() { ++statistics_.measured; }
    void nodePlaced() { ++statistics_.placed; }
    void nodeDidInsert(Node& node);
    void nodeWillRemove(Node& node);
    void nodeDidResize(Node& node);
    // Focuses the first focusable view at or below `node`.
    void requestFocus(Node& node);
    void resignFocus(Node& node);
    void registerFocusBinding(Node& node);
    // A view that takes the focus when the view that had it leaves (View::prefersDefaultFocus).
    void registerDefaultFocus(Node& node);
    Node* focusedNode() const;
    // Tab and Shift-Tab: the focus moves to the next or previous view that takes it, in reading
    // order, round to the first or last; false when no view takes it.
    bool moveFocus(bool forward);
    cairo_t* scratch() const { return scratch_; }
    Node* hitTest(Point point);

  private:
    static void read(const TextReader& reader, std::size_t limit, TextReceiver receive) {
        if (reader) {
            reader(limit, std::move(receive));
        } else {
            receive(std::nullopt);
        }
    }
    explicit Host(Options options);
    void runUpdate();
    void layout(const Transaction& transaction);
    void placeFollowers(LayoutContext& context);
    void tick();
    bool hasDamage() const;
    // Adds where the changed and the animating nodes are drawn now (and, for the animating ones,
    // where they were drawn); `consume` empties the lists for the drawing that follows.
    void collectDamage(DamageRegion& region, double now, bool consume);
    // Empties the lists of changed and ended animating nodes for a drawing of everything.
    void forgetDamage(double now);
    void dropEndedAnimations(double now);
    // Draws where the kept frame changed (everywhere when it is new or stale).
    void updateKeptFrame(double scale, const DamageRegion& changed, DrawContext context);
    void reportLeftovers(const DamageRegion& drawn, bool whole);
    void updateHover();
    void setHovered(std::vector<std::weak_ptr<Node>> hovered);
    void sendPointer(PointerPhase phase, Point point);
    void collect(Node& node, const Query& query, std::vector<NodeRef>& found, bool firstOnly);
    std::vector<std::shared_ptr<Node>> pointerTargets(Node* hit) const;
    void setFocus(Node* target);
    void forEachFocusBinding(const std::function<void(const Binding<bool>&, Node& target)>& visit);
    void syncFocusBindings();
    void syncBindingsFromFocus(const Node* previous);
    // The controls around the focused one, for the control that takes the focus should its view
    // leave in this update.
    void rememberWhereFocusIs(const Node& focused);
    Node* nearestControlToLeftFocus();
    void passFocusFromLeavingView();
    bool performShortcut(Node& node, const KeyPress& press);
    bool isInside(const Node& node, Point point);
    static bool isInSubtree(const Node* node, const Node& root);

    struct Dirty {
        std::weak_ptr<Node> node;
        Transaction transaction;
    };

    Options options_;
    std::shared_ptr<TextMeasurer> textMeasurer_;
    std::shared_ptr<IconCatalog> icons_;
    std::shared_ptr<const std::function<bool()>> reduceMotion_;
    std::shared_ptr<const Environment> rootEnvironment_;
    std::shared_ptr<Node> root_;
    View rootView_;
    std::vector<Dirty> dirty_;
    bool rootChanged_ = false;
    bool updatePosted_ = false;
    std::uint64_t pass_ = 0;
    Transaction rootTransaction_;
    std::vector<std::function<void()>> afterUpdate_;
    Size size_;
    TimerSlot frameTimer_;
    cairo_surface_t* scratchSurface_;
    cairo_t* scratch_;

    std::vector<std::weak_ptr<Node>> layoutQueue_;
    std::vector<std::weak_ptr<Node>> displayQueue_;
    // Nodes with a running animation, and those whose animation ended since the last drawing.
    std::vector<std::weak_ptr<Node>> animating_;
    std::vector<std::weak_ptr<Node>> followers_;
    // Some view's frame was moving at the last frame of the animations.
    bool wasMoving_ = false;
    // Where the kept frame is stale, in host coordinates.
    DamageRegion damage_;
    bool fullDamage_ = true;
    // The picture last drawn, one image of the host's size in pixels.
    cairo_surface_t* kept_ = nullptr;
    double keptScale_ = 0;
    bool keptAsKeyWindow_ = true;
    // False after a drawing made straight into the window's picture.
    bool keptValid_ = false;
    // What the window was told of since the last drawing, and what it still must be told of.
    std::vector<Rect> reported_;
    bool reportedAll_ = false;
    DamageRegion unreported_;
    Statistics statistics_;

    bool isKeyWindow_ = true;
    std::function<bool()> keyWindowProvider_;
    std::function<std::shared_ptr<Panel>()> windowProvider_;
    std::optional<Point> pointer_;
    std::vector<std::weak_ptr<Node>> hovered_;
    std::vector<std::weak_ptr<Node>> pressed_;
    std::vector<std::weak_ptr<Node>> appeared_;
    std::vector<std::weak_ptr<Node>> focusBindings_;
    std::vector<std::weak_ptr<Node>> defaultFocus_;
    Point pressStart_;
    std::weak_ptr<Node> focused_;
    // The focused view left the window, and no other took the focus since.
    bool focusLeftWithView_ = false;
    struct FocusSurroundings {
        // The controls before the focused one in reading order, nearest first, and after it.
        std::vector<std::weak_ptr<Node>> before;
        std::vector<std::weak_ptr<Node>> after;
    };
    FocusSurroundings focusSurroundings_;
    int keyPressDepth_ = 0;
    TextReader pasteboard_;
    std::function<void(const std::string&)> pasteboardWriter_;
    TextReader selectionReader_;
    std::function<void(const std::string&)> selectionWriter_;
};

}  // namespace talvori::ui
