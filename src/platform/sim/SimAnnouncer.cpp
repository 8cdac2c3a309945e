#include "platform/sim/SimAnnouncer.hpp"

#include <fmt/format.h>

#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

void SimAnnouncer::announce(const std::string& text, int priority) {
    announcements_.push_back({world_->now(), text, priority});
    world_->log(fmt::format("announce \"{}\" priority {}", text, priority));
}

std::vector<std::string> SimAnnouncer::texts() const {
    std::vector<std::string> texts;
    for (const auto& announcement : announcements_) texts.push_back(announcement.text);
    return texts;
}

}  // namespace talvori::sim
