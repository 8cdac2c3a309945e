#include "GlobalShortcuts/Recorder.hpp"

#include "platform/core/weakly.hpp"

namespace GlobalShortcuts {

namespace {

namespace ui = talvori::ui;
using ShortcutBinding = ui::Binding<std::optional<Shortcut>>;

// Passes the control's changes on: into the caller's binding first, then to the caller.
struct Coordinator {
    std::optional<ShortcutBinding> shortcutBinding;
    RecorderCocoa::OnChange onChange;

    void relayChange(const std::optional<Shortcut>& shortcut) const {
        if (shortcutBinding) shortcutBinding->set(shortcut);
        if (onChange) onChange(shortcut);
    }
};

// The recorder control kept for the view's life, brought up to date with the view's inputs at
// every build.
struct RecorderControl {
    ShortcutSource source;
    RecorderCocoa::OnChange onChange;
    RecorderCocoa::Validator validateShortcut;
    std::string title;

    struct State {
        std::shared_ptr<Coordinator> coordinator;
        std::shared_ptr<RecorderCocoa> field;
    };

    ui::View body(ui::ViewContext<State>& ctx) const {
        auto& state = ctx.state;
        const auto& policy = ctx.environment().value(globalShortcutsConflictPolicyKey);
        if (!state.field) makeField(state);
        state.coordinator->onChange = onChange;
        auto& field = *state.field;
        field.validateShortcut = validateShortcut;
        field.conflictPolicy = policy;
        field.accessibilityTitle = title;
        if (const auto* binding = std::get_if<ShortcutBinding>(&source.source)) {
            state.coordinator->shortcutBinding = *binding;
            // A value set by the caller shows without being reported back as a change.
            const auto value = ctx.read(*binding);
            if (field.currentShortcut() != value) field.saveShortcut(value);
        } else {
            field.setShortcutName(std::get<Name>(source.source));
        }
        return field.view();
    }

    void makeField(State& state) const {
        state.coordinator = std::make_shared<Coordinator>();
        const std::weak_ptr<Coordinator> weak = state.coordinator;
        auto relay = talvori::weakly(weak, &Coordinator::relayChange);
        if (const auto* binding = std::get_if<ShortcutBinding>(&source.source)) {
            state.coordinator->shortcutBinding = *binding;
            state.field = RecorderCocoa::make(binding->get(), relay);
        } else {
            state.field = RecorderCocoa::make(std::get<Name>(source.source), relay);
        }
    }
};

ui::View plainLabel(std::string title) {
    return ui::Text(std::move(title));
}

}  // namespace

ui::View globalShortcutsConflictPolicy(ui::View content, ConflictPolicy policy) {
    return content.environment(globalShortcutsConflictPolicyKey, policy);
}

Recorder::Recorder(ShortcutSource source, OnChange onChange, bool hasLabel, ui::View label,
                   std::string title)
    : shortcutSource(std::move(source)),
      onChange(std::move(onChange)),
      hasLabel(hasLabel),
      label(std::move(label)),
      title(std::move(title)) {}

Recorder::Recorder(const Name& name, OnChange onChange)
    : Recorder(ShortcutSource::name(name), std::move(onChange), false, ui::View()) {}

Recorder::Recorder(const LocalizedStringKey& title, const Name& name, OnChange onChange)
    : Recorder(ShortcutSource::name(name), std::move(onChange), true, plainLabel(title.key),
               title.key) {}

Recorder::Recorder(std::string title, const Name& name, OnChange onChange)
    : Recorder(ShortcutSource::name(name), std::move(onChange), true, plainLabel(title), title) {}

Recorder::Recorder(const Name& name, std::function<ui::View()> makeLabel, OnChange onChange)
    : Recorder(ShortcutSource::name(name), std::move(onChange), true, makeLabel()) {}

Recorder::Recorder(ShortcutBinding shortcut, OnChange onChange)
    : Recorder(ShortcutSource::binding(std::move(shortcut)), std::move(onChange), false,
               ui::View()) {}

Recorder::Recorder(const LocalizedStringKey& title, ShortcutBinding shortcut, OnChange onChange)
    : Recorder(ShortcutSource::binding(std::move(shortcut)), std::move(onChange), true,
               plainLabel(title.key), title.key) {}

Recorder::Recorder(std::string title, ShortcutBinding shortcut, OnChange onChange)
    : Recorder(ShortcutSource::binding(std::move(shortcut)), std::move(onChange), true,
               plainLabel(title), title) {}

Recorder::Recorder(ShortcutBinding shortcut, std::function<ui::View()> makeLabel, OnChange onChange)
    : Recorder(ShortcutSource::binding(std::move(shortcut)), std::move(onChange), true,
               makeLabel()) {}

Recorder Recorder::withShortcutValidation(Validator validator) const {
    Recorder copy = *this;
    copy.validateShortcut = std::move(validator);
    return copy;
}

ui::View Recorder::body(ui::ViewContext<ui::NoState>&) const {
    // A field is made for one kind of source: a change of kind makes a new field, so that a
    // bound value is never written into the library's storage, nor storage left unwatched.
    const ui::View control =
        ui::View(RecorderControl{shortcutSource, onChange, validateShortcut, title})
            .id(shortcutSource.isName());
    if (!hasLabel) return control;
    return ui::HStack(ui::VerticalAlignment::firstTextBaseline, {label, control});
}

}  // namespace GlobalShortcuts
