#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "ui/Binding.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

// A single-line text field editing a bound text, without a bezel (the caller draws its
// background). It takes the width offered and one line of the font's height. A click focuses it
// and places the caret; while focused it takes typed characters, Delete and Forward Delete, the
// arrow keys (Shift extends the selection, Command jumps to an end, Control goes by words), Home
// and End, select all, cut, copy, paste and undo with Command or Control (A, X, C, V, Z and
// Shift-Z), and Shift-Insert. Selected text becomes the desktop's selection, which the middle
// button pastes. Return calls onSubmit; Escape calls onExitCommand when set and otherwise passes
// on. Writes to the bound text made elsewhere show at once, with the caret at the end. Typing,
// pasting and a screen reader's edits keep the text within its longest length, in characters.
class TextField : public View {
  public:
    // Room for any name the user gives.
    static constexpr std::size_t kDefaultMaxLength = 256;

    TextField(std::string placeholder, Binding<std::string> text);

    TextField onSubmit(std::function<void()> action) const;
    TextField onExitCommand(std::function<void()> action) const;
    // Called with true when the field gains the focus and false when it loses it.
    TextField onEditingChanged(std::function<void(bool)> action) const;
    TextField maxLength(std::size_t characters) const;

    struct Options;

  private:
    explicit TextField(std::shared_ptr<const Options> options);
    std::shared_ptr<const Options> options_;
};

}  // namespace talvori::ui
