#pragma once

#include <cairo.h>

#include <optional>

#include "ui/Alignment.hpp"
#include "ui/Animation.hpp"
#include "ui/EdgeInsets.hpp"
#include "ui/ProposedSize.hpp"

namespace talvori::ui {

// How a view looks just before it is inserted or just after it is removed. The view moves between
// that look and its own along the animation of the change that inserts or removes it; without an
// animation it appears and disappears at once.
class Transition {
  public:
    struct Effect {
        bool fades = false;
        std::optional<Edge> moveEdge;
        Point offset;
        std::optional<double> scale;
        UnitPoint anchor = UnitPoint::center();
        // The timing of this side of the transition, instead of the change's own animation.
        std::optional<Animation> animation;
        bool operator==(const Effect&) const = default;
    };

    // The default transition: a fade.
    static Transition opacity();
    static Transition identity();
    // Slides in from (and out to) `edge` by the view's own size.
    static Transition move(Edge edge);
    static Transition offset(double x, double y);
    static Transition scale(double scale, UnitPoint anchor = UnitPoint::center());
    static Transition asymmetric(const Transition& insertion, const Transition& removal);
    // Both effects at once.
    Transition combined(const Transition& other) const;
    // The same transition, played with `animation` whenever an animated change inserts or removes
    // the view (a removal may fade faster than an insertion that waits for it).
    Transition animation(const Animation& animation) const;

    const Effect& insertion() const { return insertion_; }
    const Effect& removal() const { return removal_; }
    bool operator==(const Transition&) const = default;

    // The look at `progress` (0: the transition's own look, 1: the view's) of a view of `size`.
    static double opacityAt(const Effect& effect, double progress);
    static cairo_matrix_t transformAt(const Effect& effect, double progress, Size size);

  private:
    explicit Transition(Effect both) : insertion_(both), removal_(both) {}
    Transition(Effect insertion, Effect removal) : insertion_(insertion), removal_(removal) {}
    static Effect merge(Effect a, const Effect& b);

    Effect insertion_;
    Effect removal_;
};

}  // namespace talvori::ui
