#include "platform/core/NotificationCenter.hpp"

#include <algorithm>

#include "platform/core/RunLoop.hpp"

namespace talvori {

NotificationCenter::NotificationCenter(std::weak_ptr<RunLoop> loop) : loop_(std::move(loop)) {}

Registration NotificationCenter::addObserver(std::string name, const void* object,
                                             NotificationDelivery delivery, Handler handler) {
    auto observer =
        std::make_shared<Observer>(Observer{std::move(name), object, delivery, std::move(handler)});
    registry_->observers.push_back(observer);
    std::weak_ptr<Registry> registry = registry_;
    std::weak_ptr<Observer> weakObserver = observer;
    return Registration([registry, weakObserver] {
        auto strongObserver = weakObserver.lock();
        if (!strongObserver) return;
        strongObserver->removed = true;
        if (auto strongRegistry = registry.lock()) {
            std::erase(strongRegistry->observers, strongObserver);
        }
    });
}

void NotificationCenter::post(std::string name, const void* object, UserInfo userInfo) {
    // Observers added or removed by a handler take effect for later posts; a removed observer that
    // has not been reached yet is skipped.
    const auto observers = registry_->observers;
    const auto notification = std::make_shared<const Notification>(
        Notification{std::move(name), object, std::move(userInfo)});
    for (const auto& observer : observers) {
        if (observer->removed || observer->name != notification->name) continue;
        if (observer->object && observer->object != object) continue;
        if (observer->delivery == NotificationDelivery::synchronous) {
            observer->handler(*notification);
            continue;
        }
        if (auto loop = loop_.lock()) {
            auto deliver = [weak = std::weak_ptr<Observer>(observer), notification] {
                auto strong = weak.lock();
                if (strong && !strong->removed) strong->handler(*notification);
            };
            // A notice from another thread (the desktop's menu tracking) still reaches the main
            // queue.
            if (loop->isMainThread()) {
                loop->post(std::move(deliver));
            } else {
                loop->postFromAnyThread(std::move(deliver));
            }
        }
    }
}

}  // namespace talvori
