#include "covers/OverlayViewModel.hpp"

namespace talvori {

OverlayViewModel::OverlayViewModel(OverlayModel record)
    : model(std::move(record)),
      lastFields_(model.peek()),
      modelWatch_(model.observe([this] { tellFieldChanges(); })) {}

void OverlayViewModel::tellFieldChanges() {
    OverlayModel current = model.peek();
    current.frame = lastFields_.frame;
    if (current == lastFields_) return;
    lastFields_ = std::move(current);
    fieldsSubject_.notify();
}

void OverlayViewModel::rename(std::string name) {
    OverlayModel renamed = model.peek();
    renamed.name = std::move(name);
    model.setAndNotify(std::move(renamed));
    fieldsSubject_.notify();
}

void OverlayViewModel::setColor(const CodableColor& color) {
    setField(&OverlayModel::color, color);
}
void OverlayViewModel::setOpacity(double opacity) {
    setField(&OverlayModel::opacity, opacity);
}
void OverlayViewModel::setBlurRadius(double blurRadius) {
    setField(&OverlayModel::blurRadius, blurRadius);
}
void OverlayViewModel::setEffectType(EffectType effectType) {
    setField(&OverlayModel::effectType, effectType);
}
void OverlayViewModel::setClickThroughEnabled(bool enabled) {
    setField(&OverlayModel::isClickThroughEnabled, enabled);
}
void OverlayViewModel::setZOrderMode(ZOrderMode mode) {
    setField(&OverlayModel::zOrderMode, mode);
}

}  // namespace talvori
