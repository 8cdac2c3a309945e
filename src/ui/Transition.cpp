#include "ui/Transition.hpp"

namespace talvori::ui {

Transition Transition::opacity() {
    Effect effect;
    effect.fades = true;
    return Transition(effect);
}

Transition Transition::identity() {
    return Transition(Effect{});
}

Transition Transition::move(Edge edge) {
    Effect effect;
    effect.moveEdge = edge;
    return Transition(effect);
}

Transition Transition::offset(double x, double y) {
    Effect effect;
    effect.offset = {x, y};
    return Transition(effect);
}

Transition Transition::scale(double scale, UnitPoint anchor) {
    Effect effect;
    effect.scale = scale;
    effect.anchor = anchor;
    return Transition(effect);
}

Transition Transition::asymmetric(const Transition& insertion, const Transition& removal) {
    return Transition(insertion.insertion_, removal.removal_);
}

Transition::Effect Transition::merge(Effect a, const Effect& b) {
    a.fades = a.fades || b.fades;
    if (!a.moveEdge) a.moveEdge = b.moveEdge;
    a.offset = offsetBy(a.offset, b.offset.x, b.offset.y);
    if (!a.scale) {
        a.scale = b.scale;
        a.anchor = b.anchor;
    }
    if (!a.animation) a.animation = b.animation;
    return a;
}

Transition Transition::animation(const Animation& animation) const {
    Transition timed = *this;
    timed.insertion_.animation = animation;
    timed.removal_.animation = animation;
    return timed;
}

Transition Transition::combined(const Transition& other) const {
    return Transition(merge(insertion_, other.insertion_), merge(removal_, other.removal_));
}

double Transition::opacityAt(const Effect& effect, double progress) {
    return effect.fades ? progress : 1.0;
}

cairo_matrix_t Transition::transformAt(const Effect& effect, double progress, Size size) {
    const double away = 1 - progress;
    double dx = effect.offset.x * away, dy = effect.offset.y * away;
    if (effect.moveEdge) {
        switch (*effect.moveEdge) {
            case Edge::leading:
                dx -= size.width * away;
                break;
            case Edge::trailing:
                dx += size.width * away;
                break;
            case Edge::top:
                dy -= size.height * away;
                break;
            case Edge::bottom:
                dy += size.height * away;
                break;
        }
    }
    cairo_matrix_t matrix;
    cairo_matrix_init_translate(&matrix, dx, dy);
    if (effect.scale) {
        const double factor = *effect.scale + (1 - *effect.scale) * progress;
        const double ax = effect.anchor.x * size.width, ay = effect.anchor.y * size.height;
        cairo_matrix_translate(&matrix, ax, ay);
        cairo_matrix_scale(&matrix, factor, factor);
        cairo_matrix_translate(&matrix, -ax, -ay);
    }
    return matrix;
}

}  // namespace talvori::ui
