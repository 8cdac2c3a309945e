#include "platform/sim/SimAlerts.hpp"

#include <fmt/format.h>

#include "platform/core/weakly.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

SimAlerts::SimAlerts(std::shared_ptr<SimWorld> world, Services services)
    : Alerts(std::move(services)), world_(std::move(world)) {}

std::shared_ptr<AlertWindow> SimAlerts::current() const {
    const auto alerts = visibleAlerts();
    return alerts.empty() ? nullptr : alerts.back();
}

void SimAlerts::scriptAnswers(std::vector<long> responses) {
    script_.insert(script_.end(), responses.begin(), responses.end());
}

bool SimAlerts::pressButton(const std::string& title) {
    auto alert = current();
    if (!alert) return false;
    const auto titles = alert->alert().buttonTitles();
    for (std::size_t index = 0; index < titles.size(); ++index) {
        if (titles[index] != title) continue;
        world_->log(fmt::format("alert button \"{}\"", title));
        alert->pressButton(index);
        return true;
    }
    return false;
}

void SimAlerts::alertDidShow(const std::shared_ptr<AlertWindow>& alert) {
    const auto parent = alert->parent();
    records_.push_back({alert->alert(), world_->now(), alert->isSheet(),
                        parent ? parent->windowNumber() : 0, std::nullopt});
    world_->log(fmt::format("alert \"{}\"{}", alert->alert().messageText,
                            parent ? fmt::format(" on window {}", parent->windowNumber()) : ""));
    const std::size_t index = records_.size() - 1;
    auto previous = std::move(alert->onEnd);
    alert->onEnd = [this, index, previous = std::move(previous)](long response) {
        records_[index].response = response;
        if (previous) previous(response);
    };
    if (script_.empty()) return;
    const long response = script_.front();
    script_.pop_front();
    world_->loop().post(weakly(std::weak_ptr<AlertWindow>(alert),
                               [response](AlertWindow& strong) { strong.respond(response); }));
}

}  // namespace talvori::sim
