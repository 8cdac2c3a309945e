// Focus and key modifiers of View.
#include "ui/FocusRing.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

namespace {

struct FocusStorage final : NodeStorage {
    Registration observation;
};

class FocusElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    FocusElement(std::shared_ptr<const Element> content, Binding<bool> binding)
        : ModifierElement(std::move(content)), binding_(std::move(binding)) {}
    const Binding<bool>* focusBinding() const override { return &binding_; }
    void didUpdate(Node& node, const Element*, UpdateContext&) const override {
        auto& storage = node.ensureStorage<FocusStorage>();
        // A write elsewhere (an onAppear setting it to true) must move the focus without a rebuild.
        storage.observation = binding_.observe([&host = node.host()] { host.setNeedsUpdate(); });
        node.host().registerFocusBinding(node);
    }
    std::string debugName() const override { return "focused"; }

  private:
    Binding<bool> binding_;
};

class FocusableElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    FocusableElement(std::shared_ptr<const Element> content, bool focusable, bool byKeyboardOnly)
        : ModifierElement(std::move(content)),
          focusable_(focusable),
          byKeyboardOnly_(byKeyboardOnly) {}
    bool isFocusable(const Node& node) const override {
        return focusable_ && node.environment().isEnabled;
    }
    bool handlesPointer() const override { return focusable_ && !byKeyboardOnly_; }
    void pointerEvent(Node& node, const PointerEvent& event) const override {
        if (event.phase == PointerPhase::began && node.environment().isEnabled)
            node.host().requestFocus(node);
    }
    void draw(const Node& node, DrawContext& context) const override {
        node.drawChildren(context);
        if (byKeyboardOnly_) FocusRing::drawIfFocused(node, context);
    }
    double drawingOutset(const Node& node) const override {
        return byKeyboardOnly_ ? FocusRing::drawingOutset(node) : 0;
    }
    std::string debugName() const override { return "focusable"; }

  private:
    bool focusable_;
    bool byKeyboardOnly_;
};

class DefaultFocusElement final : public ModifierElement {
  public:
    using ModifierElement::ModifierElement;
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    void didUpdate(Node& node, const Element*, UpdateContext&) const override {
        node.host().registerDefaultFocus(node);
    }
    std::string debugName() const override { return "prefersDefaultFocus"; }
};

class KeyPressElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    KeyPressElement(std::shared_ptr<const Element> content,
                    std::function<bool(const KeyPress&)> action)
        : ModifierElement(std::move(content)), action_(std::move(action)) {}
    bool keyDown(Node&, const KeyPress& press) const override { return action_ && action_(press); }
    std::string debugName() const override { return "onKeyPress"; }

  private:
    std::function<bool(const KeyPress&)> action_;
};

class ShortcutElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    ShortcutElement(std::shared_ptr<const Element> content, KeyboardShortcut shortcut,
                    bool isActive)
        : ModifierElement(std::move(content)), shortcut_(std::move(shortcut)), active_(isActive) {}
    const KeyboardShortcut* keyboardShortcut() const override {
        return active_ ? &shortcut_ : nullptr;
    }
    std::string debugName() const override { return "keyboardShortcut " + shortcut_.key; }

  private:
    KeyboardShortcut shortcut_;
    bool active_;
};

}  // namespace

View View::focused(Binding<bool> isFocused) const {
    return View(std::make_shared<FocusElement>(element_, std::move(isFocused)));
}

View View::focusable(bool focusable) const {
    // Unfocusable, the view keeps the controls inside it from the focus as well.
    const View content = focusable ? *this : environment(takesKeyboardFocusKey, false);
    return View(std::make_shared<FocusableElement>(content.element(), focusable, false));
}

View View::keyboardFocusable() const {
    return View(std::make_shared<FocusableElement>(element_, true, true));
}

View View::prefersDefaultFocus() const {
    return View(std::make_shared<DefaultFocusElement>(element_));
}

View View::onKeyPress(std::function<bool(const KeyPress&)> action) const {
    return View(std::make_shared<KeyPressElement>(element_, std::move(action)));
}

View View::keyboardShortcut(std::string key, Modifiers modifiers) const {
    return keyboardShortcut(KeyboardShortcut{std::move(key), modifiers});
}

View View::keyboardShortcut(KeyboardShortcut shortcut, bool isActive) const {
    return View(std::make_shared<ShortcutElement>(element_, std::move(shortcut), isActive));
}

}  // namespace talvori::ui
