#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/core/LogRouter.hpp"

namespace talvori {

// One argument of a log line, kept by value so that a conversion never reads the wrong type.
using LogArgument = std::variant<std::int64_t, std::uint64_t, double, std::string, const void*>;

// Expands a printf-style format whose conversions may carry privacy markers ("%{public}s",
// "%{public}u", "%{private}d"); they print as the plain conversions. A conversion whose argument
// is missing or of another kind prints the argument as best it can and never reads past the list.
std::string formatLogMessage(std::string_view format, const std::vector<LogArgument>& arguments);

template <class T>
LogArgument toLogArgument(const T& value) {
    if constexpr (std::is_same_v<T, bool>) {
        return static_cast<std::int64_t>(value);
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        return static_cast<std::int64_t>(value);
    } else if constexpr (std::is_integral_v<T>) {
        return static_cast<std::uint64_t>(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        return static_cast<double>(value);
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return std::string(std::string_view(value));
    } else if constexpr (std::is_pointer_v<T>) {
        return static_cast<const void*>(value);
    } else {
        static_assert(std::is_integral_v<T>, "unsupported log argument");
    }
}

// A subsystem and category that write to a router.
class Logger {
  public:
    Logger() = default;
    Logger(std::shared_ptr<LogRouter> router, std::string subsystem, std::string category)
        : router_(std::move(router)),
          subsystem_(std::move(subsystem)),
          category_(std::move(category)) {}

    template <class... Arguments>
    void debug(std::string_view format, const Arguments&... arguments) const {
        write(LogLevel::debug, format, arguments...);
    }
    template <class... Arguments>
    void info(std::string_view format, const Arguments&... arguments) const {
        write(LogLevel::info, format, arguments...);
    }
    template <class... Arguments>
    void log(std::string_view format, const Arguments&... arguments) const {
        write(LogLevel::defaultLevel, format, arguments...);
    }
    template <class... Arguments>
    void error(std::string_view format, const Arguments&... arguments) const {
        write(LogLevel::error, format, arguments...);
    }
    template <class... Arguments>
    void fault(std::string_view format, const Arguments&... arguments) const {
        write(LogLevel::fault, format, arguments...);
    }

    template <class... Arguments>
    void write(LogLevel level, std::string_view format, const Arguments&... arguments) const {
        if (!router_ || !router_->keeps(level)) return;
        router_->write({level, subsystem_, category_,
                        formatLogMessage(format, {toLogArgument(arguments)...})});
    }

    const std::string& category() const { return category_; }

  private:
    std::shared_ptr<LogRouter> router_;
    std::string subsystem_;
    std::string category_;
};

}  // namespace talvori
