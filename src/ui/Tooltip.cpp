#include "ui/Tooltip.hpp"

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/Input.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/Screens.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/PanelHost.hpp"
#include "ui/Shape.hpp"
#include "ui/Text.hpp"

namespace talvori::ui {

namespace {

constexpr EventMask kAnyClick = eventMaskBit(EventType::leftMouseDown) |
                                eventMaskBit(EventType::rightMouseDown) |
                                eventMaskBit(EventType::keyDown);

View bubble(const std::string& text) {
    return Text(text)
        .font(Font::system(11))
        .foregroundColor(Color::white(0.9))
        .padding(EdgeInsets{4, 7, 4, 7})
        .background(RoundedRectangle(5).fill(Color::rgb255(40, 42, 48, 0.97)))
        .overlay(RoundedRectangle(5).strokeBorder(Color::white(0.12), 1));
}

Rect visibleFrameAround(Point point) {
    const auto screens = platform().screens().screens();
    for (const auto& screen : screens) {
        if (screen.frame.contains(point)) return screen.visibleFrame;
    }
    return screens.empty() ? Rect(point, {0, 0}) : screens.front().visibleFrame;
}

}  // namespace

std::shared_ptr<Tooltip> Tooltip::show(const std::string& text, Point pointer,
                                       std::shared_ptr<TextMeasurer> textMeasurer) {
    auto tooltip = std::shared_ptr<Tooltip>(new Tooltip());
    PanelHost::Options options;
    options.textMeasurer = std::move(textMeasurer);
    tooltip->content_ = PanelHost::make(bubble(text), options);
    Size size = tooltip->content_->fittingSize();
    if (size.width > kMaximumWidth)
        size = {kMaximumWidth, tooltip->content_->host().fittingSize(kMaximumWidth).height};

    const Rect visible = visibleFrameAround(pointer);
    double x = std::min(pointer.x, visible.maxX() - kScreenMargin - size.width);
    x = std::max(x, visible.minX() + kScreenMargin);
    double y = pointer.y - kPointerClearance - size.height;
    if (y < visible.minY() + kScreenMargin) y = pointer.y + kScreenMargin;
    y = std::max(std::min(y, visible.maxY() - kScreenMargin - size.height),
                 visible.minY() + kScreenMargin);

    auto panel = platform().application().makePanel(
        Rect(x, y, size.width, size.height), StyleMask::borderless | StyleMask::nonactivatingPanel);
    panel->setLevel(WindowLevel::popUpMenu);
    panel->setOpaque(false);
    panel->setBackgroundColor(Color::clear());
    panel->setIgnoresMouseEvents(true);
    panel->setCanBecomeKey(false);
    panel->setHostedContent(tooltip->content_);
    panel->orderFront();
    tooltip->panel_ = std::move(panel);
    const std::weak_ptr<Tooltip> weak = tooltip;
    tooltip->clickMonitor_ = platform().input().addLocalMonitor(kAnyClick, [weak](const Event& e) {
        withOwner(weak, &Tooltip::close);
        return std::optional<Event>(e);
    });
    return tooltip;
}

Tooltip::~Tooltip() {
    close();
}

void Tooltip::close() {
    clickMonitor_.reset();
    if (auto panel = std::exchange(panel_, nullptr)) panel->close();
    content_.reset();
}

// ---- The modifier

namespace {

struct HelpStorage final : NodeStorage {
    ~HelpStorage() override { stop(); }
    void stop() {
        timer.clear();
        if (tooltip) tooltip->close();
        tooltip.reset();
    }
    TimerSlot timer;
    std::shared_ptr<Tooltip> tooltip;
};

class HelpElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    HelpElement(std::shared_ptr<const Element> content, std::string text)
        : ModifierElement(std::move(content)), text_(std::move(text)) {}

    bool tracksHover() const override { return true; }
    void hoverChanged(Node& node, bool isHovering) const override {
        auto& storage = node.ensureStorage<HelpStorage>();
        storage.stop();
        if (!isHovering || text_.empty()) return;
        storage.timer.replace(Timer::scheduledTimer(
            platform().runLoop(), Tooltip::kDelay, false,
            weakly(node.weak_from_this(),
                   [](Node& node) {
                       if (node.isAttached() && node.host().isOnScreen())
                           static_cast<const HelpElement&>(node.element()).appear(node);
                   }),
            RunLoopMode::common));
    }
    void didUpdate(Node& node, const Element* older, UpdateContext&) const override {
        // A new text while the old one shows or waits: the old one goes, and the new one waits
        // for the pointer to come again.
        const auto* previous = dynamic_cast<const HelpElement*>(older);
        auto* storage = node.storage<HelpStorage>();
        if (previous && previous->text_ != text_ && storage) storage->stop();
    }
    void screenPresenceChanged(Node& node, bool isOnScreen) const override {
        if (auto* storage = node.storage<HelpStorage>(); storage && !isOnScreen) storage->stop();
    }
    void willDisappear(Node& node) const override { node.clearStorage(); }
    std::string debugName() const override { return "help"; }

  private:
    void appear(Node& node) const {
        auto& storage = node.ensureStorage<HelpStorage>();
        storage.timer.clear();
        storage.tooltip = Tooltip::show(text_, platform().input().mouseLocation(),
                                        node.host().sharedTextMeasurer());
    }

    std::string text_;
};

}  // namespace

View View::help(std::string text) const {
    return View(std::make_shared<HelpElement>(element_, std::move(text)));
}

}  // namespace talvori::ui
