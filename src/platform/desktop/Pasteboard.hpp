#pragma once

#include <optional>
#include <string>

namespace talvori {

// The desktop's clipboard for plain text, shared with every other application: what the user
// copies here can be pasted anywhere, and the other way round.
class Pasteboard {
  public:
    virtual ~Pasteboard() = default;

    // The text on the pasteboard; absent when it holds none (empty, or only other kinds of data).
    virtual std::optional<std::string> string() const = 0;
    // Replaces whatever the pasteboard holds with `text`; false when the desktop refused it.
    virtual bool setString(const std::string& text) = 0;
    virtual void clearContents() = 0;
    // Grows with every change of the contents, by us or by another application.
    virtual int changeCount() const = 0;

    // The selection, on desktops that keep one beside the clipboard: the text selected last,
    // here or in another application, which the middle button pastes. Absent where there is none.
    virtual std::optional<std::string> selectionString() const { return std::nullopt; }
    virtual void setSelectionString(const std::string& /*text*/) {}
};

}  // namespace talvori
