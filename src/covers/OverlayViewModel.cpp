#include "covers/OverlayViewModel.hpp"

namespace talvori {

void OverlayViewModel::rename(std::string name) {
    OverlayModel renamed = model.peek();
    renamed.name = std::move(name);
    model.setAndNotify(std::move(renamed));
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
