#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "GlobalShortcuts/ConflictPolicy.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/RecorderCocoa.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "ui/UI.hpp"

namespace GlobalShortcuts {

// The conflict policy that recorders inside a view take, the innermost setting winning.
inline const talvori::ui::EnvironmentKey<ConflictPolicy> globalShortcutsConflictPolicyKey{
    ConflictPolicy::defaultPolicy};
// `content` with `policy` for the recorders inside it.
talvori::ui::View globalShortcutsConflictPolicy(talvori::ui::View content, ConflictPolicy policy);

// Where a recorder's shortcut lives: stored by the library for a name, or in a value the caller
// owns.
struct ShortcutSource {
    std::variant<Name, talvori::ui::Binding<std::optional<Shortcut>>> source;

    static ShortcutSource name(Name name) { return {std::move(name)}; }
    static ShortcutSource binding(talvori::ui::Binding<std::optional<Shortcut>> binding) {
        return {std::move(binding)};
    }
    bool isName() const { return std::holds_alternative<Name>(source); }
};

// A text to be looked up among the application's localised texts; the key itself where the
// application has none.
struct LocalizedStringKey {
    std::string key;
};

// The library's recorder as a view: the recorder control for a name or a bound shortcut, bare or
// in a labelled row.
struct Recorder {
    using OnChange = RecorderCocoa::OnChange;
    using Validator = RecorderCocoa::Validator;

    ShortcutSource shortcutSource;
    OnChange onChange;
    bool hasLabel = false;
    talvori::ui::View label;
    // The words of a text label, which a screen reader says as the control's name; empty with a
    // label of the caller's own making.
    std::string title;
    Validator validateShortcut;

    explicit Recorder(const Name& name, OnChange onChange = nullptr);
    Recorder(const LocalizedStringKey& title, const Name& name, OnChange onChange = nullptr);
    Recorder(std::string title, const Name& name, OnChange onChange = nullptr);
    Recorder(const Name& name, std::function<talvori::ui::View()> makeLabel,
             OnChange onChange = nullptr);
    explicit Recorder(talvori::ui::Binding<std::optional<Shortcut>> shortcut,
                      OnChange onChange = nullptr);
    Recorder(const LocalizedStringKey& title,
             talvori::ui::Binding<std::optional<Shortcut>> shortcut, OnChange onChange = nullptr);
    Recorder(std::string title, talvori::ui::Binding<std::optional<Shortcut>> shortcut,
             OnChange onChange = nullptr);
    Recorder(talvori::ui::Binding<std::optional<Shortcut>> shortcut,
             std::function<talvori::ui::View()> makeLabel, OnChange onChange = nullptr);

    // A copy that also asks `validator` about each recorded shortcut.
    Recorder withShortcutValidation(Validator validator) const;

    talvori::ui::View body(talvori::ui::ViewContext<talvori::ui::NoState>& ctx) const;

  private:
    Recorder(ShortcutSource source, OnChange onChange, bool hasLabel, talvori::ui::View label,
             std::string title = {});
};

}  // namespace GlobalShortcuts
