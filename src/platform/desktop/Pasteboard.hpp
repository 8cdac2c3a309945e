#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace talvori {

// The desktop's clipboard for plain text, shared with every other application: what the user
// copies here can be pasted anywhere, and the other way round.
class Pasteboard {
  public:
    // Takes a text read from the pasteboard: absent when there was none (empty, or only other
    // kinds of data), or when the application holding it did not send it in time.
    using TextReceiver = std::function<void(std::optional<std::string>)>;

    virtual ~Pasteboard() = default;

    // Reads the text on the pasteboard, at most `limit` bytes of it, cut where a character starts.
    // `receive` takes it once: at once when the text is at hand, on a later turn when another
    // application must send it (never after the pasteboard is gone).
    virtual void readString(std::size_t limit, TextReceiver receive) = 0;
    // Replaces whatever the pasteboard holds with `text`; false when the desktop refused it.
    virtual bool setString(const std::string& text) = 0;
    virtual void clearContents() = 0;
    // Grows with every change of the contents, by us or by another application.
    virtual int changeCount() const = 0;

    // The selection, on desktops that keep one beside the clipboard: the text selected last,
    // here or in another application, which the middle button pastes. Absent where there is none.
    virtual void readSelectionString(std::size_t /*limit*/, TextReceiver receive) {
        receive(std::nullopt);
    }
    virtual void setSelectionString(const std::string& /*text*/) {}

    // The first `limit` bytes of `text`, or fewer so that no character is cut in two.
    static std::optional<std::string> cut(std::optional<std::string> text, std::size_t limit) {
        if (!text || text->size() <= limit) return text;
        std::size_t end = limit;
        // Bytes 10xxxxxx continue a character begun before them.
        while (end > 0 && (static_cast<unsigned char>((*text)[end]) & 0xC0) == 0x80) --end;
        text->resize(end);
        return text;
    }
};

}  // namespace talvori
