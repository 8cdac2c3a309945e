#pragma once

#include <functional>
#include <memory>

#include "platform/core/Observation.hpp"

namespace talvori::ui {

// Read and write access to a value that lives elsewhere: a view's state or a model's property.
// Made implicitly from an Observable, so a control can take `state.name` directly. A binding made
// from an Observable also lets its control learn about writes made by others.
template <class T>
class Binding {
  public:
    Binding(std::function<T()> get, std::function<void(T)> set,
            std::function<Registration(std::function<void()>)> observe = nullptr)
        : get_(std::move(get)), set_(std::move(set)), observe_(std::move(observe)) {}

    // The observable must outlive the views holding the binding; a view's own state does.
    Binding(Observable<T>& observable)  // NOLINT: implicit by design
        : get_([&observable] { return observable.peek(); }),
          set_([&observable](T value) { observable.set(std::move(value)); }),
          observe_([&observable](std::function<void()> onChange) {
              return observable.observe(std::move(onChange));
          }) {}

    // A binding to a fixed value that ignores writes (previews and tests).
    static Binding constant(T value) {
        return Binding([value] { return value; }, [](T) {});
    }

    T get() const { return get_(); }
    void set(T value) const { set_(std::move(value)); }
    // Watches the value for writes made elsewhere; an empty token when it cannot.
    Registration observe(std::function<void()> onChange) const {
        return observe_ ? observe_(std::move(onChange)) : Registration{};
    }

  private:
    std::function<T()> get_;
    std::function<void(T)> set_;
    std::function<Registration(std::function<void()>)> observe_;
};

}  // namespace talvori::ui
