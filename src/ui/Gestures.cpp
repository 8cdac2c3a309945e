// Pointer modifiers of View: hover, tap, drag and long press.
#include "platform/Platform.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Input.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

namespace {

class HoverElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    HoverElement(std::shared_ptr<const Element> content, std::function<void(bool)> action)
        : ModifierElement(std::move(content)), action_(std::move(action)) {}
    bool tracksHover() const override { return true; }
    void hoverChanged(Node&, bool isHovering) const override {
        if (action_) action_(isHovering);
    }
    std::string debugName() const override { return "onHover"; }

  private:
    std::function<void(bool)> action_;
};

class HoverCursorElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    HoverCursorElement(std::shared_ptr<const Element> content, Cursor cursor)
        : ModifierElement(std::move(content)), cursor_(std::move(cursor)) {}
    bool tracksHover() const override { return true; }
    void hoverChanged(Node&, bool isHovering) const override {
        platform().input().setCursor(isHovering ? cursor_ : Cursor::arrow());
    }
    std::string debugName() const override { return "hoverCursor"; }

  private:
    Cursor cursor_;
};

class TapElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    TapElement(std::shared_ptr<const Element> content, std::function<void()> action)
        : ModifierElement(std::move(content)), action_(std::move(action)) {}
    bool handlesPointer() const override { return true; }
    void pointerEvent(Node& node, const PointerEvent& event) const override {
        if (event.phase == PointerPhase::ended && event.isInside && node.environment().isEnabled &&
            action_)
            action_();
    }
    bool performAction(Node& node) const override {
        if (!node.environment().isEnabled || !action_) return false;
        action_();
        return true;
    }
    std::string debugName() const override { return "onTapGesture"; }

  private:
    std::function<void()> action_;
};

struct DragStorage final : NodeStorage {
    bool started = false;
};

class DragElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    DragElement(std::shared_ptr<const Element> content, DragGesture gesture)
        : ModifierElement(std::move(content)), gesture_(std::move(gesture)) {}
    bool handlesPointer() const override { return true; }

    void pointerEvent(Node& node, const PointerEvent& event) const override {
        if (!node.environment().isEnabled) return;
        auto& storage = node.ensureStorage<DragStorage>();
        const DragValue value{event.location, event.startLocation};
        switch (event.phase) {
            case PointerPhase::began:
                storage.started = gesture_.minimumDistance <= 0;
                if (storage.started && gesture_.onChanged) gesture_.onChanged(value);
                break;
            case PointerPhase::moved:
                if (!storage.started &&
                    distance(event.location, event.startLocation) >= gesture_.minimumDistance) {
                    storage.started = true;
                }
                if (storage.started && gesture_.onChanged) gesture_.onChanged(value);
                break;
            case PointerPhase::ended:
                if (storage.started && gesture_.onEnded) gesture_.onEnded(value);
                storage.started = false;
                break;
            case PointerPhase::cancelled:
                storage.started = false;
                break;
        }
    }
    std::string debugName() const override { return "gesture(drag)"; }

  private:
    DragGesture gesture_;
};

struct LongPressStorage final : NodeStorage {
    TimerSlot timer;
    bool pressing = false;
};

class LongPressElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    LongPressElement(std::shared_ptr<const Element> content, LongPressGesture gesture)
        : ModifierElement(std::move(content)), gesture_(std::move(gesture)) {}
    bool handlesPointer() const override { return true; }

    void pointerEvent(Node& node, const PointerEvent& event) const override {
        if (!node.environment().isEnabled) return;
        auto& storage = node.ensureStorage<LongPressStorage>();
        switch (event.phase) {
            case PointerPhase::began:
                begin(node, storage);
                break;
            case PointerPhase::moved:
                if (distance(event.location, event.startLocation) > gesture_.maximumDistance)
                    stop(storage);
                break;
            case PointerPhase::ended:
            case PointerPhase::cancelled:
                stop(storage);
                break;
        }
    }
    void willDisappear(Node& node) const override { node.clearStorage(); }
    std::string debugName() const override { return "onLongPressGesture"; }

  private:
    void begin(Node& node, LongPressStorage& storage) const {
        stop(storage);
        setPressing(storage, true);
        storage.timer.replace(Timer::scheduledTimer(
            platform().runLoop(), gesture_.minimumDuration, false,
            weakly(node.weak_from_this(),
                   [](Node& node) {
                       if (!node.isAttached()) return;
                       auto* storage = node.storage<LongPressStorage>();
                       if (!storage || !storage->pressing) return;
                       // The element may have been replaced by a newer one since the press began.
                       const auto& current = static_cast<const LongPressElement&>(node.element());
                       current.setPressing(*storage, false);
                       if (current.gesture_.onEnded) current.gesture_.onEnded();
                   }),
            RunLoopMode::common));
    }
    void stop(LongPressStorage& storage) const {
        storage.timer.clear();
        setPressing(storage, false);
    }
    void setPressing(LongPressStorage& storage, bool pressing) const {
        if (storage.pressing == pressing) return;
        storage.pressing = pressing;
        if (gesture_.onPressingChanged) gesture_.onPressingChanged(pressing);
    }
    LongPressGesture gesture_;
};

}  // namespace

View View::onHover(std::function<void(bool)> action) const {
    return View(std::make_shared<HoverElement>(element_, std::move(action)));
}

View View::hoverCursor(Cursor cursor) const {
    return View(std::make_shared<HoverCursorElement>(element_, std::move(cursor)));
}

View View::onTapGesture(std::function<void()> action) const {
    return View(std::make_shared<TapElement>(element_, std::move(action)));
}

View View::gesture(DragGesture gesture) const {
    return View(std::make_shared<DragElement>(element_, std::move(gesture)));
}

View View::onLongPressGesture(LongPressGesture gesture) const {
    return View(std::make_shared<LongPressElement>(element_, std::move(gesture)));
}

}  // namespace talvori::ui
