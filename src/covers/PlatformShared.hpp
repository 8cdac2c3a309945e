#pragma once

#include <functional>
#include <memory>

#include "platform/Platform.hpp"

namespace talvori {

// Keeps the one shared instance of a service for the installed platform. The program installs one
// platform and so has one instance for its whole life; each test installs a fresh platform and so
// gets a fresh instance, with nothing left over from the test before.
template <class T>
class PlatformShared {
  public:
    explicit PlatformShared(std::function<std::shared_ptr<T>()> make) : make_(std::move(make)) {}

    const std::shared_ptr<T>& get() {
        const auto& loop = platform().sharedRunLoop();
        if (!instance_ || loop_.lock() != loop) {
            instance_.reset();
            instance_ = make_();
            loop_ = loop;
        }
        return instance_;
    }

  private:
    std::function<std::shared_ptr<T>()> make_;
    std::shared_ptr<T> instance_;
    std::weak_ptr<RunLoop> loop_;
};

}  // namespace talvori
