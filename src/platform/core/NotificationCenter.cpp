#include "platform/core/NotificationCenter.hpp"

#include "platform/core/RunLoop.hpp"

namespace talvori {

NotificationCenter::NotificationCenter(std::weak_ptr<RunLoop> loop) : loop_(std::move(loop)) {}

Registration NotificationCenter::addObserver(std::string name, const void* object,
                                             NotificationDelivery delivery, Handler handler) {
    return observers_.add(Observer{std::move(name), object, delivery, std::move(handler)});
}

void NotificationCenter::post(std::string name, const void* object, UserInfo userInfo) {
    // Observers added by a handler hear later posts only.
    const auto notification = std::make_shared<const Notification>(
        Notification{std::move(name), object, std::move(userInfo)});
    observers_.forEach([&](const auto& entry) {
        const Observer& observer = entry->value;
        if (observer.name != notification->name) return;
        if (observer.object && observer.object != object) return;
        if (observer.delivery == NotificationDelivery::synchronous) {
            observer.handler(*notification);
            return;
        }
        auto loop = loop_.lock();
        if (!loop) return;
        auto deliver = [weak = std::weak_ptr(entry), notification] {
            auto strong = weak.lock();
            if (strong && !strong->removed) strong->value.handler(*notification);
        };
        // A notice from another thread (the desktop's menu tracking) still reaches the main
        // queue.
        if (loop->isMainThread()) {
            loop->post(std::move(deliver));
        } else {
            loop->postFromAnyThread(std::move(deliver));
        }
    });
}

}  // namespace talvori
