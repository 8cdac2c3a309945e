#pragma once

#include <memory>
#include <vector>

#include "platform/desktop/Event.hpp"
#include "platform/desktop/StatusBar.hpp"

namespace talvori::sim {

class SimStatusItem;
class SimWorld;

// The status area at the top right of the first screen: items side by side from the right edge,
// newer ones further left.
class SimStatusBar final : public StatusBar, public std::enable_shared_from_this<SimStatusBar> {
  public:
    static constexpr double kRightMargin = 10;

    explicit SimStatusBar(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

    std::shared_ptr<StatusItem> makeStatusItem(double length) override;

    // ---- Test switches
    // New items get no button.
    void setItemsWithoutButton(bool without) { withoutButton_ = without; }
    // A crowded menu bar hides every item.
    void setCrowded(bool crowded);
    bool isCrowded() const { return crowded_; }
    // Live items, oldest first.
    std::vector<std::shared_ptr<SimStatusItem>> items() const;

    // ---- For the simulated input and items
    bool handleClick(std::uint32_t window, const Event& event);
    void layout();
    SimWorld& world() const { return *world_; }

  private:
    std::shared_ptr<SimWorld> world_;
    std::vector<std::weak_ptr<SimStatusItem>> items_;
    bool withoutButton_ = false;
    bool crowded_ = false;
};

}  // namespace talvori::sim
