#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "ui/Element.hpp"

namespace talvori::ui {

// The sizes a node answered its parent with, kept until something it measures with changes. The
// answers of before such a change are kept, stale, beside the new ones until layout has asked
// again and compared: when none differs, the parent need not lay out again.
class SizeAnswers {
  public:
    // A child of a stack is asked for its least, most and fair share along the stack, at the
    // stack's proposal and again at its size, and once more at its own size when placed.
    static constexpr std::size_t kCapacity = 8;

    struct Question {
        ProposedSize proposal;
        std::optional<Axis> axis;
        Size size;
    };
    // The stale answers taken out, and whether they are all the parent relied on.
    struct Stale {
        std::array<Question, kCapacity> answers{};
        std::size_t count = 0;
        bool complete = true;
    };

    // The answer to the question, if known; `readsAxis` tells whether it depends on the axis.
    std::optional<Size> find(const ProposedSize& proposal, std::optional<Axis> axis,
                             bool& readsAxis) const;
    // `readsAxis`: the answer holds for the given axis only (for any other, it is not known).
    void store(const ProposedSize& proposal, std::optional<Axis> axis, bool readsAxis, Size size);
    // Every answer given so far may be wrong now.
    void markStale();
    Stale takeStale();
    void clear();

  private:
    // Kept small, one per question: an unspecified length is a flag, not an optional.
    struct Entry {
        double width;
        double height;
        Size size;
        std::uint8_t flags;
        std::uint8_t axis;

        bool matches(const ProposedSize& proposal, std::optional<Axis> asked) const;
        Question question() const;
    };
    static Entry makeEntry(const ProposedSize& proposal, std::optional<Axis> axis, bool readsAxis,
                           Size size);

    std::array<Entry, kCapacity> entries_{};
    std::uint8_t count_ = 0;
    std::uint8_t next_ = 0;
    // An answer was dropped for room: the kept ones may not be all the parent relied on.
    bool dropped_ = false;
};

}  // namespace talvori::ui
