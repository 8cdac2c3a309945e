#include "platform/core/Task.hpp"

#include <cstdio>
#include <cstdlib>

namespace talvori {

namespace {
// The task whose body is executing on this thread right now, for the static helpers.
thread_local TaskState* runningTask = nullptr;

[[noreturn]] void stop(const char* message, const char* caller) {
    std::fprintf(stderr, "Talvori: %s %s\n", caller, message);
    std::abort();
}
}  // namespace

void Async::promise_type::unhandled_exception() noexcept {
    stop("threw out of a task body", "Task");
}

Async::~Async() {
    if (handle_) handle_.destroy();
}

Task Task::start(RunLoop& loop, std::function<Async()> body) {
    auto state = std::make_shared<TaskState>(loop.weak_from_this(), std::move(body));
    loop.post([state] { state->begin(); });
    return Task(state);
}

void Task::cancel() const {
    if (state_) state_->cancel();
}

bool Task::isCancelled() const {
    return state_ && state_->isCancelled();
}

bool Task::isFinished() const {
    return state_ && state_->isFinished();
}

std::shared_ptr<TaskState> Task::current(const char* caller) {
    if (!runningTask) stop("used outside a task body", caller);
    return runningTask->shared_from_this();
}

bool Task::isCurrentCancelled() {
    return current("Task::isCurrentCancelled")->isCancelled();
}

void Task::setCancellationHandler(std::function<void()> handler) {
    current("Task::setCancellationHandler")->setCancellationHandler(std::move(handler));
}

bool Task::SleepAwaiter::await_ready() const {
    return current("Task::sleep")->isCancelled();
}

void Task::SleepAwaiter::await_suspend(std::coroutine_handle<>) {
    current("Task::sleep")->sleep(duration, &completed);
}

void Task::YieldAwaiter::await_suspend(std::coroutine_handle<>) {
    current("Task::yield")->resumeLater();
}

TaskState::~TaskState() {
    if (handle_) handle_.destroy();
}

void TaskState::begin() {
    Async body = body_();
    handle_ = body.release();
    resume();
}

void TaskState::resume() {
    if (!handle_ || handle_.done()) return;
    auto keepAlive = shared_from_this();
    TaskState* previous = std::exchange(runningTask, this);
    handle_.resume();
    runningTask = previous;
    if (handle_.done()) {
        finished_ = true;
        handle_.destroy();
        handle_ = {};
        body_ = nullptr;
        cancellationHandler_ = nullptr;
    }
}

void TaskState::resumeLater() {
    if (auto loop = loop_.lock()) loop->post([self = shared_from_this()] { self->resume(); });
}

void TaskState::sleep(Nanoseconds duration, bool* completed) {
    auto loop = loop_.lock();
    if (!loop) return;
    sleepCompleted_ = completed;
    wake_ = loop->schedule(addSaturating(loop->now(), duration), RunLoopMode::common,
                           [self = shared_from_this()] {
                               self->wake_.reset();
                               *std::exchange(self->sleepCompleted_, nullptr) = true;
                               self->resume();
                           });
}

void TaskState::cancel() {
    if (cancelled_ || finished_) return;
    cancelled_ = true;
    if (wake_) {
        if (auto loop = loop_.lock()) loop->cancel(*wake_);
        wake_.reset();
        *std::exchange(sleepCompleted_, nullptr) = false;
        resumeLater();
    }
    if (auto handler = std::exchange(cancellationHandler_, nullptr)) handler();
}

void TaskState::setCancellationHandler(std::function<void()> handler) {
    if (cancelled_ && handler) {
        handler();
        return;
    }
    cancellationHandler_ = std::move(handler);
}

}  // namespace talvori
