#pragma once

#include <memory>
#include <string>

#include "platform/core/Geometry.hpp"
#include "platform/core/Registration.hpp"

namespace talvori {
class Panel;
}

namespace talvori::ui {

class PanelHost;
class TextMeasurer;

// The small window of help text that View::help shows near the pointer: just below and to the
// right of it, above the pointer when there is no room below, always inside the screen's visible
// frame. It lets the pointer through and goes away at the next click.
class Tooltip {
  public:
    // How long the pointer rests on a view before its help shows.
    static constexpr double kDelay = 1.0;
    // From the pointer's tip to the tooltip's top edge: the pointer's own height.
    static constexpr double kPointerClearance = 20;
    static constexpr double kMaximumWidth = 300;
    static constexpr double kScreenMargin = 4;

    // Shows `text` for the pointer at `pointer` (global space, y up).
    static std::shared_ptr<Tooltip> show(const std::string& text, Point pointer,
                                         std::shared_ptr<TextMeasurer> textMeasurer);
    ~Tooltip();
    Tooltip(const Tooltip&) = delete;
    Tooltip& operator=(const Tooltip&) = delete;

    void close();
    std::shared_ptr<Panel> panel() const { return panel_; }

  private:
    Tooltip() = default;

    std::shared_ptr<Panel> panel_;
    std::shared_ptr<PanelHost> content_;
    Registration clickMonitor_;
};

}  // namespace talvori::ui
