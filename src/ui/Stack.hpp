#pragma once

#include "ui/View.hpp"

namespace talvori::ui {

// The spacing between a stack's children when none is given.
inline constexpr double kDefaultStackSpacing = 8;
// The shortest a spacer gets when no minimum is given.
inline constexpr double kDefaultSpacerMinLength = 8;

// Children one below the other. Children share the height offered by how flexible they are, the
// least flexible first; spacers get what is left. Children are aligned horizontally by `alignment`.
class VStack : public View {
  public:
    VStack(ViewList children)
        : VStack(HorizontalAlignment::center, kDefaultStackSpacing, std::move(children)) {}
    VStack(double spacing, ViewList children)
        : VStack(HorizontalAlignment::center, spacing, std::move(children)) {}
    VStack(HorizontalAlignment alignment, ViewList children)
        : VStack(alignment, kDefaultStackSpacing, std::move(children)) {}
    VStack(HorizontalAlignment alignment, double spacing, ViewList children);
};

// Children side by side, leading to trailing; see VStack.
class HStack : public View {
  public:
    HStack(ViewList children)
        : HStack(VerticalAlignment::center, kDefaultStackSpacing, std::move(children)) {}
    HStack(double spacing, ViewList children)
        : HStack(VerticalAlignment::center, spacing, std::move(children)) {}
    HStack(VerticalAlignment alignment, ViewList children)
        : HStack(alignment, kDefaultStackSpacing, std::move(children)) {}
    HStack(VerticalAlignment alignment, double spacing, ViewList children);
};

// Children on top of each other, later ones in front, each offered the whole space and aligned.
class ZStack : public View {
  public:
    ZStack(ViewList children) : ZStack(Alignment::center(), std::move(children)) {}
    ZStack(Alignment alignment, ViewList children);
};

// Flexible space along the enclosing stack's axis, at least `minLength` long.
class Spacer : public View {
  public:
    Spacer() : Spacer(kDefaultSpacerMinLength) {}
    explicit Spacer(double minLength);
};

// Shared by stacks, groups and ForEach: the children with their keys.
std::vector<ChildEntry> childEntries(const ViewList& views);

}  // namespace talvori::ui
