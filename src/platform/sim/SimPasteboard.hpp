#pragma once

#include <optional>
#include <string>

#include "platform/desktop/Pasteboard.hpp"

namespace talvori::sim {

// The pasteboard of the simulated session, in memory, read at once. Tests put text on it as
// another application would (setString) and read what we copied.
class SimPasteboard final : public Pasteboard {
  public:
    std::optional<std::string> string() const { return text_; }
    std::optional<std::string> selectionString() const { return selection_; }
    void readString(std::size_t limit, TextReceiver receive) override {
        receive(cut(text_, limit));
    }
    bool setString(const std::string& text) override;
    void clearContents() override;
    int changeCount() const override { return changeCount_; }
    void readSelectionString(std::size_t limit, TextReceiver receive) override {
        receive(cut(selection_, limit));
    }
    void setSelectionString(const std::string& text) override { selection_ = text; }

  private:
    std::optional<std::string> text_;
    std::optional<std::string> selection_;
    int changeCount_ = 0;
};

}  // namespace talvori::sim
