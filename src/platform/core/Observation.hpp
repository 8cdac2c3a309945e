#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/core/Registration.hpp"

namespace talvori {

// The change notifications of one observable property. Observers are held weakly: an observation
// lives as long as its registration. Reads made while ObservationTracking::track runs a body are
// recorded, so a view learns which properties its body read.
class ObservationSubject {
  public:
    ObservationSubject() = default;
    // A copied object is a new subject; its observers stay with the original.
    ObservationSubject(const ObservationSubject&) {}
    ObservationSubject& operator=(const ObservationSubject&) { return *this; }

    void access() const;
    void notify() const;
    Registration observe(std::function<void()> onChange) const;

    struct Observer {
        std::function<void()> onChange;
    };
    struct State {
        std::vector<std::weak_ptr<Observer>> observers;
    };

  private:
    State& state() const;
    mutable std::shared_ptr<State> state_;
};

class ObservationTracking {
  public:
    // Runs `body` and calls `onChange` once, on the first later change of any observable property
    // that `body` read. Ending the registration cancels the call.
    static Registration track(const std::function<void()>& body, std::function<void()> onChange);

    // Called by ObservationSubject::access while a body runs.
    static void recordAccess(const std::shared_ptr<ObservationSubject::State>& state);
    static bool isTracking();
};

// A stored property that notifies its observers only when a new value differs from the old one.
template <class T>
class Observable {
  public:
    Observable() = default;
    explicit Observable(T value) : value_(std::move(value)) {}

    // Reads the value and records the read for a tracking view body.
    const T& get() const {
        subject_.access();
        return value_;
    }
    const T& operator()() const { return get(); }
    // Reads without recording.
    const T& peek() const { return value_; }

    // Stores `value`; returns whether it changed (and observers were told).
    bool set(T value) {
        if (value_ == value) return false;
        value_ = std::move(value);
        subject_.notify();
        return true;
    }
    // Stores `value` and notifies even when it is equal.
    void setAndNotify(T value) {
        value_ = std::move(value);
        subject_.notify();
    }
    // Changes the value in place and notifies when the result differs.
    template <class Mutation>
    bool modify(Mutation&& mutation) {
        T copy = value_;
        std::forward<Mutation>(mutation)(copy);
        return set(std::move(copy));
    }

    Registration observe(std::function<void()> onChange) const {
        return subject_.observe(std::move(onChange));
    }

  private:
    T value_{};
    ObservationSubject subject_;
};

}  // namespace talvori
