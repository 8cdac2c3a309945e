#include "platform/core/Observation.hpp"

#include <algorithm>

namespace talvori {

namespace {
// The accesses of the body that ObservationTracking::track is running, innermost first.
struct TrackingScope {
    std::vector<std::weak_ptr<ObservationSubject::State>> accessed;
    TrackingScope* outer = nullptr;
};
thread_local TrackingScope* currentScope = nullptr;
}  // namespace

ObservationSubject::State& ObservationSubject::state() const {
    if (!state_) state_ = std::make_shared<State>();
    return *state_;
}

void ObservationSubject::access() const {
    if (!ObservationTracking::isTracking()) return;
    state();
    ObservationTracking::recordAccess(state_);
}

void ObservationSubject::notify() const {
    if (!state_) return;
    // A callback may add or drop observers or destroy this subject: work on a snapshot.
    auto keepAlive = state_;
    std::erase_if(keepAlive->observers, [](const auto& weak) { return weak.expired(); });
    const auto observers = keepAlive->observers;
    for (const auto& weak : observers) {
        if (auto observer = weak.lock()) {
            if (observer->onChange) observer->onChange();
        }
    }
}

Registration ObservationSubject::observe(std::function<void()> onChange) const {
    auto observer = std::make_shared<Observer>(Observer{std::move(onChange)});
    state().observers.push_back(observer);
    return Registration(observer);
}

bool ObservationTracking::isTracking() {
    return currentScope != nullptr;
}

void ObservationTracking::recordAccess(const std::shared_ptr<ObservationSubject::State>& state) {
    auto& accessed = currentScope->accessed;
    const bool known = std::any_of(accessed.begin(), accessed.end(), [&](const auto& weak) {
        return !weak.owner_before(state) && !state.owner_before(weak);
    });
    if (!known) accessed.push_back(state);
}

Registration ObservationTracking::track(const std::function<void()>& body,
                                        std::function<void()> onChange) {
    TrackingScope scope;
    scope.outer = currentScope;
    currentScope = &scope;
    body();
    currentScope = scope.outer;

    // One shared observer for every property read; it fires once and then goes quiet.
    auto observer = std::make_shared<ObservationSubject::Observer>();
    observer->onChange = [fired = false, onChange = std::move(onChange)]() mutable {
        if (fired) return;
        fired = true;
        onChange();
    };
    for (const auto& weak : scope.accessed) {
        if (auto state = weak.lock()) state->observers.push_back(observer);
    }
    return Registration(observer);
}

}  // namespace talvori
