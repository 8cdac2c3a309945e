#include "ui/SizeAnswers.hpp"

namespace talvori::ui {

namespace {

enum Flag : std::uint8_t {
    hasWidth = 1,
    hasHeight = 2,
    readsAxis = 4,
    stale = 8,
};

std::uint8_t axisCode(std::optional<Axis> axis) {
    if (!axis) return 0;
    return *axis == Axis::horizontal ? 1 : 2;
}

std::optional<Axis> axisOf(std::uint8_t code) {
    if (code == 0) return std::nullopt;
    return code == 1 ? Axis::horizontal : Axis::vertical;
}

}  // namespace

SizeAnswers::Entry SizeAnswers::makeEntry(const ProposedSize& proposal, std::optional<Axis> axis,
                                          bool axisRead, Size size) {
    const auto flags =
        static_cast<std::uint8_t>((proposal.width ? hasWidth : 0) |
                                  (proposal.height ? hasHeight : 0) | (axisRead ? readsAxis : 0));
    return {proposal.width.value_or(0), proposal.height.value_or(0), size, flags, axisCode(axis)};
}

bool SizeAnswers::Entry::matches(const ProposedSize& proposal, std::optional<Axis> asked) const {
    if ((flags & stale) || ((flags & hasWidth) != 0) != proposal.width.has_value() ||
        ((flags & hasHeight) != 0) != proposal.height.has_value())
        return false;
    if (proposal.width && *proposal.width != width) return false;
    if (proposal.height && *proposal.height != height) return false;
    return !(flags & readsAxis) || axis == axisCode(asked);
}

SizeAnswers::Question SizeAnswers::Entry::question() const {
    ProposedSize proposal;
    if (flags & hasWidth) proposal.width = width;
    if (flags & hasHeight) proposal.height = height;
    return {proposal, axisOf(axis), size};
}

std::optional<Size> SizeAnswers::find(const ProposedSize& proposal, std::optional<Axis> axis,
                                      bool& axisRead) const {
    for (std::size_t i = 0; i < count_; ++i) {
        if (entries_[i].matches(proposal, axis)) {
            axisRead = (entries_[i].flags & readsAxis) != 0;
            return entries_[i].size;
        }
    }
    return std::nullopt;
}

void SizeAnswers::store(const ProposedSize& proposal, std::optional<Axis> axis, bool axisRead,
                        Size size) {
    const Entry entry = makeEntry(proposal, axis, axisRead, size);
    if (count_ < kCapacity) {
        entries_[count_++] = entry;
        return;
    }
    dropped_ = true;
    // Room is made from a stale answer first, then from the oldest fresh ones in turn.
    for (std::size_t i = 0; i < count_; ++i) {
        if (entries_[i].flags & stale) {
            entries_[i] = entry;
            return;
        }
    }
    entries_[next_] = entry;
    next_ = static_cast<std::uint8_t>((next_ + 1) % kCapacity);
}

void SizeAnswers::markStale() {
    for (std::size_t i = 0; i < count_; ++i) entries_[i].flags |= stale;
}

SizeAnswers::Stale SizeAnswers::takeStale() {
    Stale taken;
    taken.complete = !dropped_;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count_; ++i) {
        if (entries_[i].flags & stale) {
            taken.answers[taken.count++] = entries_[i].question();
        } else {
            entries_[kept++] = entries_[i];
        }
    }
    count_ = static_cast<std::uint8_t>(kept);
    next_ = 0;
    dropped_ = false;
    return taken;
}

void SizeAnswers::clear() {
    count_ = 0;
    next_ = 0;
    dropped_ = false;
}

}  // namespace talvori::ui
