#pragma once

#include <coroutine>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/core/Generation.hpp"
#include "platform/core/RunLoop.hpp"

namespace talvori {

class TaskState;

// The return type of a task body: a coroutine that the task starts on a later turn.
//
//     slot_.replace(Task::start(loop, [weak = weak_from_this()]() -> Async {
//         if (!co_await Task::sleep(0.2)) co_return;  // false: cancelled while asleep
//         if (auto self = weak.lock()) self->finish();
//     }));
//
// The body's closure is kept by the task for as long as the coroutine lives, so its captures stay
// valid across suspensions. Capture owners weakly.
class [[nodiscard]] Async {
  public:
    struct promise_type {
        Async get_return_object() {
            return Async(std::coroutine_handle<promise_type>::from_promise(*this));
        }
        std::suspend_always initial_suspend() noexcept { return {}; }
        std::suspend_always final_suspend() noexcept { return {}; }
        void return_void() noexcept {}
        [[noreturn]] void unhandled_exception() noexcept;
    };

    Async(Async&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Async& operator=(Async&&) = delete;
    ~Async();

    std::coroutine_handle<> release() { return std::exchange(handle_, {}); }

  private:
    explicit Async(std::coroutine_handle<promise_type> handle) : handle_(handle) {}
    std::coroutine_handle<promise_type> handle_;
};

// One-shot resumption of a task suspended in Task::withContinuation. The first resume wins; the
// task continues on a later turn. Holding a continuation keeps its task alive.
template <class T>
class Continuation {
  public:
    struct Slot {
        std::optional<T> value;
        bool resumed = false;
    };

    Continuation(std::shared_ptr<Slot> slot, std::shared_ptr<TaskState> task)
        : slot_(std::move(slot)), task_(std::move(task)) {}

    void resume(T value) const;

  private:
    std::shared_ptr<Slot> slot_;
    std::shared_ptr<TaskState> task_;
};

// A handle to a coroutine running on the run loop. Copies share one task. An empty handle is
// harmless to cancel. The task runs to its end whether or not anybody keeps a handle.
class Task {
  public:
    Task() = default;

    static Task start(RunLoop& loop, std::function<Async()> body);

    void cancel() const;
    bool isCancelled() const;
    bool isFinished() const;
    explicit operator bool() const { return state_ != nullptr; }

    // Inside a task body only.
    struct SleepAwaiter {
        Nanoseconds duration;
        bool completed = false;
        bool await_ready() const;
        void await_suspend(std::coroutine_handle<>);
        bool await_resume() const { return completed; }
    };
    struct YieldAwaiter {
        bool await_ready() const { return false; }
        void await_suspend(std::coroutine_handle<>);
        void await_resume() const {}
    };
    template <class T>
    struct ContinuationAwaiter {
        std::function<void(Continuation<T>)> begin;
        std::shared_ptr<typename Continuation<T>::Slot> slot =
            std::make_shared<typename Continuation<T>::Slot>();
        bool await_ready() const { return false; }
        void await_suspend(std::coroutine_handle<>) {
            begin(Continuation<T>(slot, Task::current("withContinuation")));
        }
        T await_resume() { return std::move(*slot->value); }
    };

    // Sleeps on the continuous clock. Resolves to true after the full time, or to false as soon as
    // the task is cancelled (at once if it already was).
    static SleepAwaiter sleep(double seconds) { return {nanosecondsFromSeconds(seconds)}; }
    // Continues on a later turn.
    static YieldAwaiter yield() { return {}; }
    // Suspends until `begin`'s continuation is resumed, and resolves to the value it was given.
    template <class T>
    static ContinuationAwaiter<T> withContinuation(std::function<void(Continuation<T>)> begin) {
        return {std::move(begin)};
    }
    // Whether the task whose body is running right now was cancelled.
    static bool isCurrentCancelled();
    // Runs `handler` when the current task is cancelled (at once if it already is); replaces any
    // earlier handler. Pass nullptr to remove it.
    static void setCancellationHandler(std::function<void()> handler);

    static std::shared_ptr<TaskState> current(const char* caller);

  private:
    explicit Task(std::shared_ptr<TaskState> state) : state_(std::move(state)) {}
    std::shared_ptr<TaskState> state_;
};

// Where an owner keeps its one pending task of a kind: a new request cancels the old one and takes
// its place. The slot stays non-empty after the task ends, until it is cleared.
class TaskSlot {
  public:
    TaskSlot() = default;
    TaskSlot(const TaskSlot&) = delete;
    TaskSlot& operator=(const TaskSlot&) = delete;
    ~TaskSlot() { task_.cancel(); }

    void replace(Task task) {
        task_.cancel();
        task_ = std::move(task);
    }
    void cancel() const { task_.cancel(); }
    // Cancels and forgets the task.
    void clear() { replace(Task{}); }
    bool isEmpty() const { return !task_; }
    const Task& task() const { return task_; }

  private:
    Task task_;
};

class TaskState : public std::enable_shared_from_this<TaskState> {
  public:
    TaskState(std::weak_ptr<RunLoop> loop, std::function<Async()> body)
        : loop_(std::move(loop)), body_(std::move(body)) {}
    ~TaskState();

    void begin();
    void cancel();
    bool isCancelled() const { return cancelled_; }
    bool isFinished() const { return finished_; }

    void sleep(Nanoseconds duration, bool* completed);
    void resumeLater();
    void setCancellationHandler(std::function<void()> handler);

  private:
    void resume();

    std::weak_ptr<RunLoop> loop_;
    std::function<Async()> body_;
    std::coroutine_handle<> handle_;
    bool cancelled_ = false;
    bool finished_ = false;
    std::optional<ScheduledWork> wake_;
    bool* sleepCompleted_ = nullptr;
    std::function<void()> cancellationHandler_;
};

template <class T>
void Continuation<T>::resume(T value) const {
    if (slot_->resumed) return;
    slot_->resumed = true;
    slot_->value = std::move(value);
    task_->resumeLater();
}

}  // namespace talvori
