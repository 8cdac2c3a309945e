#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/core/Task.hpp"

namespace talvori {

enum class StreamBuffering {
    // Every element is kept until the consumer takes it.
    unbounded,
    // Only the newest element not yet taken is kept.
    newest,
};

// A sequence of values that a producer yields and a consumer takes, one at a time, inside a task:
//
//     auto [stream, producer] = AsyncStream<int>::make(StreamBuffering::unbounded);
//     producer.yield(1);
//     ... in a task body:  while (auto value = co_await stream.next()) use(*value);
//
// The stream ends when the producer finishes it (or every copy of the producer is gone), after
// the consumer has taken what is buffered; or when the consumer cancels it, drops it, or its task
// is cancelled while waiting. Either way the producer's termination handler runs, once. All on the
// main thread.
template <class T>
class AsyncStream {
    struct State {
        StreamBuffering buffering;
        std::deque<T> buffer;
        bool finished = false;
        bool terminated = false;
        std::function<void()> onTermination;
        std::optional<Continuation<std::optional<T>>> waiter;

        explicit State(StreamBuffering buffering) : buffering(buffering) {}

        void terminate() {
            if (terminated) return;
            terminated = true;
            if (auto handler = std::exchange(onTermination, nullptr)) handler();
        }
        void resumeWaiter(std::optional<T> value) {
            if (!waiter) return;
            auto continuation = std::move(*waiter);
            waiter.reset();
            continuation.resume(std::move(value));
        }
        void finish() {
            if (finished || terminated) return;
            finished = true;
            if (buffer.empty()) resumeWaiter(std::nullopt);
            terminate();
        }
        void cancel() {
            buffer.clear();
            terminate();
            resumeWaiter(std::nullopt);
        }
        std::optional<T> take() {
            if (buffer.empty()) return std::nullopt;
            T value = std::move(buffer.front());
            buffer.pop_front();
            return value;
        }
    };

    // Finishes the stream when the last copy of its producer goes.
    struct ProducerHandle {
        explicit ProducerHandle(std::shared_ptr<State> state) : state(std::move(state)) {}
        ProducerHandle(const ProducerHandle&) = delete;
        ProducerHandle& operator=(const ProducerHandle&) = delete;
        ~ProducerHandle() { state->finish(); }
        std::shared_ptr<State> state;
    };

  public:
    // The producing side; copies share one stream.
    class Producer {
      public:
        // Dropped once the stream has ended.
        void yield(T value) const {
            auto& state = *handle_->state;
            if (state.finished || state.terminated) return;
            if (state.waiter) {
                state.resumeWaiter(std::move(value));
                return;
            }
            if (state.buffering == StreamBuffering::newest) state.buffer.clear();
            state.buffer.push_back(std::move(value));
        }
        void finish() const { handle_->state->finish(); }
        // Runs once when the stream ends, whichever side ends it.
        void setOnTermination(std::function<void()> handler) const {
            auto& state = *handle_->state;
            if (state.terminated) {
                if (handler) handler();
                return;
            }
            state.onTermination = std::move(handler);
        }
        bool isTerminated() const { return handle_->state->terminated; }

      private:
        friend class AsyncStream;
        explicit Producer(std::shared_ptr<State> state)
            : handle_(std::make_shared<ProducerHandle>(std::move(state))) {}
        std::shared_ptr<ProducerHandle> handle_;
    };

    struct NextAwaiter {
        std::shared_ptr<State> state;
        std::shared_ptr<typename Continuation<std::optional<T>>::Slot> slot =
            std::make_shared<typename Continuation<std::optional<T>>::Slot>();

        bool await_ready() {
            if (Task::isCurrentCancelled()) state->cancel();
            return !state->buffer.empty() || state->finished || state->terminated;
        }
        void await_suspend(std::coroutine_handle<>) {
            state->waiter.emplace(slot, Task::current("AsyncStream.next"));
            Task::setCancellationHandler([weak = std::weak_ptr<State>(state)] {
                if (auto cancelled = weak.lock()) cancelled->cancel();
            });
        }
        std::optional<T> await_resume() {
            if (!slot->resumed) return state->take();
            Task::setCancellationHandler(nullptr);
            return std::move(*slot->value);
        }
    };

    static std::pair<AsyncStream, Producer> make(StreamBuffering buffering) {
        auto state = std::make_shared<State>(buffering);
        return {AsyncStream(state), Producer(state)};
    }

    AsyncStream(AsyncStream&& other) noexcept : state_(std::exchange(other.state_, nullptr)) {}
    AsyncStream& operator=(AsyncStream&& other) noexcept {
        if (this != &other) {
            cancel();
            state_ = std::exchange(other.state_, nullptr);
        }
        return *this;
    }
    AsyncStream(const AsyncStream&) = delete;
    AsyncStream& operator=(const AsyncStream&) = delete;
    ~AsyncStream() { cancel(); }

    // The next element; absent once the stream has ended. Inside a task body only.
    NextAwaiter next() { return NextAwaiter{state_}; }
    // Ends the stream from the consumer's side.
    void cancel() {
        if (state_) state_->cancel();
    }

  private:
    explicit AsyncStream(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

}  // namespace talvori
