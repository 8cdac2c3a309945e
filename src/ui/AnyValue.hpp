#pragma once

#include <memory>
#include <string>
#include <type_traits>

namespace talvori::ui {

// A value of any equality-comparable type, compared by value: what onChange, animation(value) and
// id() remember between builds.
class AnyValue {
  public:
    AnyValue() = default;
    template <class T>
    explicit AnyValue(T value)
        : value_(std::make_shared<const T>(std::move(value))),
          equal_([](const void* a, const void* b) {
              return *static_cast<const T*>(a) == *static_cast<const T*>(b);
          }),
          type_(&typeid(T)) {}

    bool hasValue() const { return value_ != nullptr; }
    template <class T>
    const T& as() const {
        return *static_cast<const T*>(value_.get());
    }
    bool operator==(const AnyValue& other) const {
        if (!value_ || !other.value_) return value_ == other.value_;
        return *type_ == *other.type_ && equal_(value_.get(), other.value_.get());
    }

  private:
    std::shared_ptr<const void> value_;
    bool (*equal_)(const void*, const void*) = nullptr;
    const std::type_info* type_ = nullptr;
};

}  // namespace talvori::ui
