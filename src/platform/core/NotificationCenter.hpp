#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/CallbackList.hpp"
#include "platform/core/Registration.hpp"

namespace talvori {

class RunLoop;

using UserInfo = std::map<std::string, std::any>;

struct Notification {
    std::string name;
    // Identity of the sender; compared, never dereferenced.
    const void* object = nullptr;
    UserInfo userInfo;

    // The user-info value under `key` when it is there and of type T.
    template <class T>
    std::optional<T> value(const std::string& key) const {
        const auto found = userInfo.find(key);
        if (found == userInfo.end()) return std::nullopt;
        if (const T* typed = std::any_cast<T>(&found->second)) return *typed;
        return std::nullopt;
    }
};

enum class NotificationDelivery {
    synchronous,  // inside post(), before it returns
    mainQueue,    // on a later turn of the run loop
};

class NotificationCenter {
  public:
    using Handler = std::function<void(const Notification&)>;

    explicit NotificationCenter(std::weak_ptr<RunLoop> loop);

    // Observes `name` from `object`, or from any sender when `object` is null, until the returned
    // registration ends. Ending it inside a callback, even the running one, is safe: it is not
    // called again.
    Registration addObserver(std::string name, const void* object, NotificationDelivery delivery,
                             Handler handler);
    void post(std::string name, const void* object = nullptr, UserInfo userInfo = {});

  private:
    struct Observer {
        std::string name;
        const void* object;
        NotificationDelivery delivery;
        Handler handler;
    };

    std::weak_ptr<RunLoop> loop_;
    CallbackList<Observer> observers_;
};

}  // namespace talvori
