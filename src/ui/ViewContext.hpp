#pragma once

#include <concepts>
#include <memory>
#include <typeinfo>
#include <vector>

#include "platform/core/Observation.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

// The state of a component without state.
struct NoState {};

// What a component's body works with: its state, kept as long as the component keeps its identity,
// and its environment. The context lives as long as the state, so handlers may capture it (and
// `this`) by reference: they run only while the view is in the tree. Work that outlives a turn
// (tasks, timers, callbacks handed to models) captures weakState() instead.
template <class State>
class ViewContext {
  public:
    ViewContext(Node& node, std::shared_ptr<State> state)
        : state(*state), node_(&node), shared_(std::move(state)) {}
    ViewContext(const ViewContext&) = delete;
    ViewContext& operator=(const ViewContext&) = delete;

    State& state;

    std::weak_ptr<State> weakState() const { return shared_; }
    const Environment& environment() const { return node_->environment(); }
    // `animation`, or none under Reduce Motion (read now).
    std::optional<Animation> animation(const Animation& animation) const {
        return environment().animation(animation);
    }
    // Whether a key press is being answered now (a shortcut, not a click, pressed the button).
    bool isAnsweringKeyPress() const { return node_->host().isAnsweringKeyPress(); }
    // Makes focus leave every field of the window.
    void resignFocus() const { node_->host().resignFocus(); }
    // The binding's value; a write made to it elsewhere builds this component again, in the
    // transaction of that write (a control whose owner does not rebuild still follows it).
    template <class T>
    T read(const Binding<T>& binding) {
        bindingReads_.push_back(
            binding.observe([weak = node_->weak_from_this(), &host = node_->host()] {
                host.markDirty(weak, Transaction::current());
            }));
        return binding.get();
    }
    // A part of an observed value: only a change of that part builds this component again, so a
    // body that needs a few fields of a value whose other fields change often (a frame that moves
    // with the pointer) is not run at every change.
    template <class T, class Part>
    auto read(const Observable<T>& observable, Part part) {
        auto value = part(observable.peek());
        bindingReads_.push_back(observable.observe(
            [&observable, part, value, weak = node_->weak_from_this(), &host = node_->host()] {
                if (!(part(observable.peek()) == value)) {
                    host.markDirty(weak, Transaction::current());
                }
            }));
        return value;
    }
    // Called before each run of the body: it reads its bindings afresh.
    void forgetBindingReads() { bindingReads_.clear(); }
    // The window showing the view; none for views outside a window.
    std::shared_ptr<Panel> window() const { return node_->host().window(); }

  private:
    Node* node_;
    std::shared_ptr<State> shared_;
    std::vector<Registration> bindingReads_;
};

namespace detail {

template <class Component>
struct ComponentState {
    using type = NoState;
};
template <class Component>
requires requires {
    typename Component::State;
}
struct ComponentState<Component> {
    using type = typename Component::State;
};

template <class State>
struct ComponentStorage final : NodeStorage {
    ComponentStorage(Node& node) : context(node, std::make_shared<State>()) {}
    ViewContext<State> context;
    Registration observation;
};

// Runs a component's body inside observation tracking, so that a later change to anything the body
// read rebuilds this component (and only it) on a later turn, in the transaction of the change.
template <class Component>
class ComponentElement final : public Element {
  public:
    using State = typename ComponentState<Component>::type;

    explicit ComponentElement(Component component) : component_(std::move(component)) {}

    bool canUpdateTo(const Element& newer) const override { return typeid(newer) == typeid(*this); }
    // A component draws and measures through its body, whose views compare themselves.
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    bool isEquivalentTo(const Element& older) const override {
        if constexpr (std::equality_comparable<Component>) {
            return component_ == static_cast<const ComponentElement&>(older).component_;
        } else {
            return false;
        }
    }

    void reconcile(Node& node, UpdateContext& context) const override {
        auto& storage = node.ensureStorage<ComponentStorage<State>>(node);
        View body;
        storage.observation.reset();
        storage.context.forgetBindingReads();
        storage.observation = node.trackReads([&] { body = component_.body(storage.context); });
        const ChildEntry child{ChildKey{}, body.element()};
        node.reconcileChildren({&child, 1}, context);
    }

    void willDisappear(Node& node) const override { node.clearStorage(); }
    std::optional<double> explicitGuide(Node& node, Size size, HorizontalAlignment guide,
                                        LayoutContext& context) const override {
        return guideOfOnlyChild(node, size, guide, context);
    }
    std::optional<double> explicitGuide(Node& node, Size size, VerticalAlignment guide,
                                        LayoutContext& context) const override {
        return guideOfOnlyChild(node, size, guide, context);
    }
    bool mayHaveExplicitGuide(const Node& node) const override {
        return onlyChildMayHaveExplicitGuide(node);
    }
    std::string debugName() const override {
        return std::string("component ") + typeid(Component).name();
    }

  private:
    Component component_;
};

}  // namespace detail

template <class Component>
requires requires {
    &Component::body;
}
View::View(Component component)
    : element_(std::make_shared<detail::ComponentElement<Component>>(std::move(component))) {}

}  // namespace talvori::ui
