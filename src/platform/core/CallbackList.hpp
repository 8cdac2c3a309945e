#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/core/Registration.hpp"

namespace talvori {

// Callbacks, or records holding them, in the order they were added, each kept until its
// registration ends. A run over the list may add and remove entries, the running one included:
// it goes over the entries present when it began and skips those removed meanwhile. Ending a
// registration after the list is gone is safe. Not synchronised: one thread at a time.
template <class T>
class CallbackList {
  public:
    struct Entry {
        T value;
        // Set when the registration ends: a run under way, or a call held for later, skips it.
        bool removed = false;
    };

    CallbackList() = default;
    CallbackList(const CallbackList&) = delete;
    CallbackList& operator=(const CallbackList&) = delete;

    // Adds `value` at the end. `onRemove` runs once the registration has ended it.
    Registration add(T value, std::function<void()> onRemove = {}) {
        auto entry = std::make_shared<Entry>(Entry{std::move(value)});
        entries_->push_back(entry);
        return Registration([weakEntries = std::weak_ptr<Entries>(entries_),
                             weakEntry = std::weak_ptr<Entry>(entry),
                             onRemove = std::move(onRemove)] {
            if (auto entry = weakEntry.lock()) {
                entry->removed = true;
                if (auto entries = weakEntries.lock()) std::erase(*entries, entry);
            }
            if (onRemove) onRemove();
        });
    }

    // Calls `visit` with each entry (as `const std::shared_ptr<Entry>&`), in order; a `visit`
    // returning bool stops the run at the first false.
    template <class Visit>
    void forEach(Visit&& visit) const {
        const Entries snapshot = *entries_;
        for (const auto& entry : snapshot) {
            if (entry->removed) continue;
            if constexpr (std::is_same_v<
                              std::invoke_result_t<Visit&, const std::shared_ptr<Entry>&>, bool>) {
                if (!visit(entry)) return;
            } else {
                visit(entry);
            }
        }
    }

    bool empty() const { return entries_->empty(); }

  private:
    using Entries = std::vector<std::shared_ptr<Entry>>;
    std::shared_ptr<Entries> entries_ = std::make_shared<Entries>();
};

}  // namespace talvori
