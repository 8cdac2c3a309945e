#include "GlobalShortcuts/EventStreams.hpp"

#include <optional>

#include "GlobalShortcuts/Registry.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Task.hpp"
#include "platform/core/UUID.hpp"
#include "platform/core/weakly.hpp"

namespace GlobalShortcuts {

namespace {

using talvori::AsyncStream;
using talvori::StreamBuffering;

// Adds the stream's two actions under the name or shortcut, and removes them when it ends.
template <class Key>
void connect(const Key& key, Registry::StreamAction keyDown, Registry::StreamAction keyUp,
             const std::function<void(std::function<void()>)>& setOnTermination) {
    talvori::platform().runLoop().assertMainThread();
    const auto id = talvori::UUID::random();
    Registry::shared().addStream(key, id, std::move(keyDown), std::move(keyUp));
    setOnTermination([key, id] {
        if (auto* registry = Registry::existing()) registry->removeStream(key, id);
    });
}

template <class Key>
AsyncStream<EventType> openEvents(const Key& key, std::optional<EventType> only) {
    // No structured binding: lambdas capture the producer, which clang accepts only from 16 on.
    auto made = AsyncStream<EventType>::make(StreamBuffering::unbounded);
    const auto& producer = made.second;
    const auto yielder = [producer, only](EventType type) -> Registry::StreamAction {
        return [producer, only, type](const Shortcut&) {
            if (!only || *only == type) producer.yield(type);
        };
    };
    connect(key, yielder(EventType::keyDown), yielder(EventType::keyUp),
            [producer](std::function<void()> handler) {
                producer.setOnTermination(std::move(handler));
            });
    return std::move(made.first);
}

// A held key's ticks: one at the press, then after the repeat delay, then per repeat interval
// while `stillFires` holds. The repeat runs on the main loop, so a release handled in between is
// always seen before the next tick.
class KeyRepeater : public std::enable_shared_from_this<KeyRepeater> {
  public:
    using Check = std::function<bool(const KeyRepeater&)>;

    KeyRepeater(AsyncStream<KeyRepeatTick>::Producer producer, Check stillFires)
        : producer_(std::move(producer)),
          stillFires_(std::move(stillFires)),
          delay_(talvori::platform().input().keyRepeatDelay()),
          interval_(talvori::platform().input().keyRepeatInterval()) {}

    // The shortcut whose press started the current repeat.
    const std::optional<Shortcut>& heldShortcut() const { return heldShortcut_; }

    void pressed(const Shortcut& fired) {
        heldShortcut_ = fired;
        producer_.yield({});
        repeat_.replace(talvori::Task::start(
            talvori::platform().runLoop(), [weak = weak_from_this()]() -> talvori::Async {
                double pause = talvori::withOwner(weak, [](const KeyRepeater& self) {
                                   return self.delay_;
                               }).value_or(0);
                while (co_await talvori::Task::sleep(pause)) {
                    const auto next = talvori::withOwner(weak, &KeyRepeater::tick);
                    if (!next || !*next) co_return;
                    pause = **next;
                }
            }));
    }
    void released() { repeat_.clear(); }
    void stop() { repeat_.clear(); }

  private:
    // A tick of the held key, when it still fires: the pause until the next one.
    std::optional<double> tick() {
        if (!stillFires_(*this)) return std::nullopt;
        producer_.yield({});
        return interval_;
    }

    AsyncStream<KeyRepeatTick>::Producer producer_;
    Check stillFires_;
    double delay_;
    double interval_;
    std::optional<Shortcut> heldShortcut_;
    talvori::TaskSlot repeat_;
};

template <class Key>
AsyncStream<KeyRepeatTick> openRepeating(const Key& key, KeyRepeater::Check stillFires) {
    auto made = AsyncStream<KeyRepeatTick>::make(StreamBuffering::newest);
    const auto& producer = made.second;
    auto repeater = std::make_shared<KeyRepeater>(producer, std::move(stillFires));
    // The registry's actions own the repeater; the stream's end only reaches it weakly.
    connect(
        key, [repeater](const Shortcut& fired) { repeater->pressed(fired); },
        [repeater](const Shortcut&) { repeater->released(); },
        [producer, weak = std::weak_ptr<KeyRepeater>(repeater)](std::function<void()> remove) {
            producer.setOnTermination([weak, remove = std::move(remove)] {
                talvori::withOwner(weak, &KeyRepeater::stop);
                remove();
            });
        });
    return std::move(made.first);
}

}  // namespace

AsyncStream<EventType> events(const Name& name) {
    return openEvents(name, std::nullopt);
}

AsyncStream<EventType> events(const Shortcut& shortcut) {
    return openEvents(shortcut, std::nullopt);
}

AsyncStream<EventType> events(EventType type, const Name& name) {
    return openEvents(name, type);
}

AsyncStream<EventType> events(EventType type, const Shortcut& shortcut) {
    return openEvents(shortcut, type);
}

AsyncStream<KeyRepeatTick> repeatingKeyDownEvents(const Name& name) {
    return openRepeating(name, [name](const KeyRepeater& repeater) {
        auto* registry = Registry::existing();
        if (!registry || registry->isPaused() || !registry->isEnabled()) return false;
        if (!registry->isActive(name)) return false;
        const auto stored = registry->storedShortcut(name);
        return stored && registry->hasHotKey(*stored) && repeater.heldShortcut() == stored;
    });
}

AsyncStream<KeyRepeatTick> repeatingKeyDownEvents(const Shortcut& shortcut) {
    return openRepeating(shortcut, [shortcut](const KeyRepeater&) {
        auto* registry = Registry::existing();
        return registry && !registry->isPaused() && registry->isEnabled() &&
               registry->hasHotKey(shortcut);
    });
}

}  // namespace GlobalShortcuts
