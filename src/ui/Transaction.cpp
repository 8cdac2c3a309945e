#include "ui/Transaction.hpp"

namespace talvori::ui {

namespace {
// The ambient transaction, like the core's observation scope: set only while a change runs.
thread_local Transaction currentTransaction;
}  // namespace

const Transaction& Transaction::current() {
    return currentTransaction;
}

void withTransaction(const Transaction& transaction, const std::function<void()>& body) {
    const Transaction outer = currentTransaction;
    currentTransaction = transaction;
    body();
    currentTransaction = outer;
}

void withAnimation(const std::optional<Animation>& animation, const std::function<void()>& body) {
    withTransaction(Transaction{animation, false}, body);
}

void withoutAnimation(const std::function<void()>& body) {
    withTransaction(Transaction{std::nullopt, true}, body);
}

}  // namespace talvori::ui
