// Lifecycle modifiers of View: appear, disappear, change, size change and view-owned tasks.
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

namespace {

// Runs `action` after the current pass if the node is still in the tree by then.
void afterPass(Node& node, std::function<void()> action) {
    node.host().afterUpdate(weakly(node.weak_from_this(), [action = std::move(action)](Node& node) {
        if (node.isAttached()) action();
    }));
}

class AppearElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    AppearElement(std::shared_ptr<const Element> content, std::function<void()> action)
        : ModifierElement(std::move(content)), action_(std::move(action)) {}
    void didAppear(Node&) const override {
        if (action_) action_();
    }
    std::string debugName() const override { return "onAppear"; }

  private:
    std::function<void()> action_;
};

class DisappearElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    DisappearElement(std::shared_ptr<const Element> content, std::function<void()> action)
        : ModifierElement(std::move(content)), action_(std::move(action)) {}
    void willDisappear(Node&) const override {
        if (action_) action_();
    }
    std::string debugName() const override { return "onDisappear"; }

  private:
    std::function<void()> action_;
};

class ChangeElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    using Action = std::function<void(const AnyValue&, const AnyValue&)>;
    ChangeElement(std::shared_ptr<const Element> content, AnyValue value, Action action,
                  bool initial)
        : ModifierElement(std::move(content)),
          value_(std::move(value)),
          action_(std::move(action)),
          initial_(initial) {}

    void didUpdate(Node& node, const Element* older, UpdateContext&) const override {
        const auto* previous = dynamic_cast<const ChangeElement*>(older);
        if (previous && previous->value_ == value_) return;
        if (!previous && !initial_) return;
        const AnyValue old = previous ? previous->value_ : value_;
        afterPass(node, [action = action_, old, now = value_] { action(old, now); });
    }
    std::string debugName() const override { return "onChange"; }

  private:
    AnyValue value_;
    Action action_;
    bool initial_;
};

struct TaskStorage final : NodeStorage {
    TaskSlot slot;
};

class TaskElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    TaskElement(std::shared_ptr<const Element> content, std::function<Async()> body)
        : ModifierElement(std::move(content)), body_(std::move(body)) {}
    void didAppear(Node& node) const override {
        node.makeStorage<TaskStorage>().slot.replace(Task::start(platform().runLoop(), body_));
    }
    void willDisappear(Node& node) const override { node.clearStorage(); }
    std::string debugName() const override { return "task"; }

  private:
    std::function<Async()> body_;
};

class SizeChangeElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    SizeChangeElement(std::shared_ptr<const Element> content, std::function<void(Size)> action)
        : ModifierElement(std::move(content)), action_(std::move(action)) {}
    void didResize(Node& node, Size size) const override {
        afterPass(node, [action = action_, size] { action(size); });
    }
    std::string debugName() const override { return "onSizeChange"; }

  private:
    std::function<void(Size)> action_;
};

}  // namespace

View View::onAppear(std::function<void()> action) const {
    return View(std::make_shared<AppearElement>(element_, std::move(action)));
}

View View::onDisappear(std::function<void()> action) const {
    return View(std::make_shared<DisappearElement>(element_, std::move(action)));
}

View View::onChangeValue(AnyValue value,
                         std::function<void(const AnyValue&, const AnyValue&)> action,
                         bool initial) const {
    return View(
        std::make_shared<ChangeElement>(element_, std::move(value), std::move(action), initial));
}

View View::task(std::function<Async()> body) const {
    return View(std::make_shared<TaskElement>(element_, std::move(body)));
}

View View::onSizeChange(std::function<void(Size)> action) const {
    return View(std::make_shared<SizeChangeElement>(element_, std::move(action)));
}

}  // namespace talvori::ui
