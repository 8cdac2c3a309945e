#pragma once

#include <optional>
#include <string>

#include "platform/desktop/Pasteboard.hpp"

namespace talvori::sim {

// The pasteboard of the simulated session, in memory. Tests put text on it as another
// application would (setString) and read what we copied.
class SimPasteboard final : public Pasteboard {
  public:
    std::optional<std::string> string() const override { return text_; }
    bool setString(const std::string& text) override;
    void clearContents() override;
    int changeCount() const override { return changeCount_; }
    std::optional<std::string> selectionString() const override { return selection_; }
    void setSelectionString(const std::string& text) override { selection_ = text; }

  private:
    std::optional<std::string> text_;
    std::optional<std::string> selection_;
    int changeCount_ = 0;
};

}  // namespace talvori::sim
