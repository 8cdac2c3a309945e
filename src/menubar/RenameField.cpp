#include "menubar/RenameField.hpp"

#include "controls/trimmedName.hpp"

namespace talvori::ui {

View RenameField::view() const {
    return View(
               TextField("Name", editingName)
                   .onSubmit([&editingName = editingName, &isEditing = isEditing, rename = rename] {
                       const std::string name = trimmedName(editingName.peek());
                       if (!name.empty()) rename(name);
                       isEditing.set(false);
                   })
                   .onExitCommand([&isEditing = isEditing] { isEditing.set(false); }))
        .font(Font::system(fontSize))
        .foregroundColor(Color::black())
        .focused(isFocused)
        .onAppear([&isFocused = isFocused] { isFocused.set(true); })
        .padding(EdgeInsets{2, 4, 2, 4})
        .background(RoundedRectangle(4).fill(Color::white(0.85)));
}

}  // namespace talvori::ui
