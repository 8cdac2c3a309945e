#include "ui/Popover.hpp"

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/Input.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/Screens.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/PanelHost.hpp"
#include "ui/Shape.hpp"

namespace talvori::ui {

namespace {

constexpr EventMask kMouseDowns =
    eventMaskBit(EventType::leftMouseDown) | eventMaskBit(EventType::rightMouseDown);

// The outline of a popover: a rounded body with the arrow on its top edge (hanging below the
// anchor) or on its bottom edge, its tip at `arrowX`.
Shape popoverShape(double arrowX, bool arrowOnTop) {
    return Shape([arrowX, arrowOnTop](const Rect& rect) {
        constexpr double r = Popover::kCornerRadius;
        constexpr double h = Popover::kArrowHeight;
        constexpr double w = Popover::kArrowHalfWidth;
        const double left = rect.minX(), right = rect.maxX();
        const double top = rect.minY() + (arrowOnTop ? h : 0);
        const double bottom = rect.maxY() - (arrowOnTop ? 0 : h);
        const double x = std::clamp(arrowX, left + r + w, std::max(left + r + w, right - r - w));
        Path path;
        path.moveTo({left + r, top});
        if (arrowOnTop) {
            path.lineTo({x - w, top}).lineTo({x, top - h}).lineTo({x + w, top});
        }
        path.addArcTo({right, top}, {right, top + r}, r);
        path.addArcTo({right, bottom}, {right - r, bottom}, r);
        if (!arrowOnTop) {
            path.lineTo({x + w, bottom}).lineTo({x, bottom + h}).lineTo({x - w, bottom});
        }
        path.addArcTo({left, bottom}, {left, bottom - r}, r);
        path.addArcTo({left, top}, {left + r, top}, r);
        path.closeSubpath();
        return path;
    });
}

std::optional<Screen> screenContaining(Point point) {
    const auto screens = platform().screens().screens();
    for (const auto& screen : screens) {
        if (screen.frame.contains(point)) return screen;
    }
    if (!screens.empty()) return screens.front();
    return std::nullopt;
}

}  // namespace

std::shared_ptr<Popover> Popover::make(Color background,
                                       std::shared_ptr<TextMeasurer> textMeasurer) {
    return std::shared_ptr<Popover>(new Popover(background, std::move(textMeasurer)));
}

Popover::Popover(Color background, std::shared_ptr<TextMeasurer> textMeasurer)
    : background_(background), textMeasurer_(std::move(textMeasurer)) {}

Popover::~Popover() {
    close();
}

View Popover::chrome(const View& content, double arrowX) const {
    return content.clipShape(RoundedRectangle(kCornerRadius))
        .padding(below_ ? Edges::top : Edges::bottom, kArrowHeight)
        .background(popoverShape(arrowX, below_).fill(background_))
        .overlay(popoverShape(arrowX, below_).strokeBorder(Color::white(0.1), 1));
}

void Popover::show(const View& content, const Anchor& anchor) {
    shownContent_ = content;
    anchor_ = anchor;
    if (!panel_) {
        PanelHost::Options options;
        options.textMeasurer = textMeasurer_;
        content_ = PanelHost::make(chrome(content, 0), options);
        panel_ = platform().application().makePanel(
            Rect(0, 0, 1, 1), StyleMask::borderless | StyleMask::nonactivatingPanel);
        panel_->setOpaque(false);
        panel_->setBackgroundColor(Color::clear());
        panel_->setHasShadow(true);
        panel_->setCanBecomeKey(false);
        panel_->setHostedContent(content_);
        const std::weak_ptr<Popover> weak = weak_from_this();
        // Content that grows or shrinks moves the arrow and the window on a later turn.
        content_->onLayoutChange = [weak](Size) {
            platform().runLoop().post(weakly(weak, [](Popover& self) {
                if (self.content_ && !self.placing_ &&
                    self.content_->fittingSize() != self.measured_) {
                    self.place();
                }
            }));
        };
        watchClicks();
    }
    place();
}

void Popover::place() {
    if (!panel_ || !content_) return;
    placing_ = true;
    const Rect anchor = anchor_.frameOnScreen;
    const auto screen = screenContaining({anchor.midX(), anchor.midY()});
    const Rect visible = screen ? screen->visibleFrame : Rect(anchor.origin, {0, 0});
    // The content's size with the arrow's room, which the chrome adds.
    const Size size = content_->fittingSize();
    measured_ = size;
    // Below the anchor unless only the space above holds it.
    const bool roomBelow = anchor.minY() - size.height >= visible.minY() + kScreenMargin;
    const bool roomAbove = anchor.maxY() + size.height <= visible.maxY() - kScreenMargin;
    below_ = roomBelow || !roomAbove;
    double x = anchor.midX() - size.width / 2;
    x = std::min(x, visible.maxX() - kScreenMargin - size.width);
    x = std::max(x, visible.minX() + kScreenMargin);
    const double y = below_ ? anchor.minY() - size.height : anchor.maxY();
    content_->setRootView(chrome(shownContent_, anchor.midX() - x));
    panel_->setFrame(Rect(x, y, size.width, size.height));
    content_->host().setProposedSize(size);
    if (anchor_.window) panel_->setLevel(anchor_.window->level() + 1);
    if (!panel_->isVisible()) panel_->orderFront();
    placing_ = false;
}

void Popover::watchClicks() {
    const std::weak_ptr<Popover> weak = weak_from_this();
    localMonitor_ = platform().input().addLocalMonitor(
        kMouseDowns, weakly(
                         weak,
                         [](Popover& self, const Event& event) {
                             if (self.panel_ && event.windowNumber != self.panel_->windowNumber())
                                 self.outsideClick();
                             return std::optional<Event>(event);
                         },
                         passThrough));
    globalMonitor_ =
        platform().input().addGlobalMonitor(kMouseDowns, weakly(weak, &Popover::outsideClick));
}

void Popover::outsideClick() {
    auto self = shared_from_this();
    close();
    if (onOutsideClick) onOutsideClick();
}

void Popover::close() {
    localMonitor_.reset();
    globalMonitor_.reset();
    if (auto panel = std::exchange(panel_, nullptr)) panel->close();
    content_.reset();
}

// ---- The modifier

namespace {

struct PopoverStorage final : NodeStorage {
    ~PopoverStorage() override {
        if (popover) popover->close();
    }
    std::shared_ptr<Popover> popover;
    Registration presentation;
    Registration windowMove;
    Registration windowClose;
    // Dismissed by the user while the binding still said shown: stays closed until it says hidden.
    bool dismissed = false;
};

class PopoverElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    PopoverElement(std::shared_ptr<const Element> content, Binding<bool> isPresented,
                   std::function<View()> popoverContent, PopoverOptions options)
        : ModifierElement(std::move(content)),
          isPresented_(std::move(isPresented)),
          content_(std::move(popoverContent)),
          options_(std::move(options)) {}

    void didUpdate(Node& node, const Element*, UpdateContext&) const override {
        auto& storage = node.ensureStorage<PopoverStorage>();
        storage.presentation =
            isPresented_.observe([weak = node.weak_from_this()] { scheduleSync(weak); });
        scheduleSync(node.weak_from_this());
    }
    void didResize(Node& node, Size) const override { scheduleSync(node.weak_from_this()); }
    void screenPresenceChanged(Node& node, bool isOnScreen) const override {
        if (!isOnScreen) dismiss(node);
    }
    void willDisappear(Node& node) const override { node.clearStorage(); }
    std::string debugName() const override { return "popover"; }

  private:
    // After the current pass, when the anchor's frame is known.
    static void scheduleSync(const std::weak_ptr<Node>& weak) {
        auto node = weak.lock();
        if (!node || !node->isAttached()) return;
        node->host().afterUpdate(weakly(weak, [](Node& node) {
            if (node.isAttached()) static_cast<const PopoverElement&>(node.element()).sync(node);
        }));
        node->host().setNeedsUpdate();
    }

    void sync(Node& node) const {
        auto* storage = node.storage<PopoverStorage>();
        if (!storage) return;
        Host& host = node.host();
        if (!isPresented_.get()) {
            storage->dismissed = false;
            close(*storage);
            return;
        }
        const auto window = host.window();
        const auto frame = host.frameOnScreen(node);
        if (storage->dismissed || !window || !frame || !host.isOnScreen()) return;
        if (!storage->popover) open(node, *storage, window);
        storage->popover->show(content_ ? content_() : View(), {*frame, window});
    }

    void open(Node& node, PopoverStorage& storage, const std::shared_ptr<Panel>& window) const {
        storage.popover = Popover::make(options_.background.value_or(Popover::kStandardBackground),
                                        node.host().sharedTextMeasurer());
        const std::weak_ptr<Node> weak = node.weak_from_this();
        const auto dismissAttached = weakly(weak, [](Node& node) {
            if (node.isAttached()) dismissNode(node);
        });
        storage.popover->onOutsideClick = dismissAttached;
        auto& center = platform().notificationCenter();
        const void* sender = static_cast<const Panel*>(window.get());
        storage.windowMove = center.addObserver(
            Panel::kDidMoveNotification, sender, NotificationDelivery::synchronous,
            [weak](const Notification&) { scheduleSync(weak); });
        storage.windowClose =
            center.addObserver(Panel::kWillCloseNotification, sender,
                               NotificationDelivery::synchronous, dismissAttached);
    }

    static void close(PopoverStorage& storage) {
        storage.windowMove.reset();
        storage.windowClose.reset();
        if (auto popover = std::exchange(storage.popover, nullptr)) popover->close();
    }

    // The popover went away without its binding asking: the binding is told, once.
    static void dismissNode(Node& node) {
        static_cast<const PopoverElement&>(node.element()).dismiss(node);
    }
    void dismiss(Node& node) const {
        auto* storage = node.storage<PopoverStorage>();
        if (!storage || !storage->popover) return;
        close(*storage);
        storage->dismissed = true;
        isPresented_.set(false);
    }

    Binding<bool> isPresented_;
    std::function<View()> content_;
    PopoverOptions options_;
};

}  // namespace

View View::popover(Binding<bool> isPresented, std::function<View()> content,
                   PopoverOptions options) const {
    return View(std::make_shared<PopoverElement>(element_, std::move(isPresented),
                                                 std::move(content), std::move(options)));
}

}  // namespace talvori::ui
