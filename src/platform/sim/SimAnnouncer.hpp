#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/Announcer.hpp"

namespace talvori::sim {

class SimWorld;

// Records every announcement with the virtual time it was made.
class SimAnnouncer final : public Announcer {
  public:
    struct Announcement {
        double time;
        std::string text;
        int priority;

        bool operator==(const Announcement&) const = default;
    };

    explicit SimAnnouncer(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

    void announce(const std::string& text, int priority) override;
    const std::vector<Announcement>& announcements() const { return announcements_; }
    // The texts alone, in order.
    std::vector<std::string> texts() const;

  private:
    std::shared_ptr<SimWorld> world_;
    std::vector<Announcement> announcements_;
};

}  // namespace talvori::sim
