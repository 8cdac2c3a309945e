// The Focus settings half of SpotlightController: the six stored values, their setters and the
// keyboard steps.

#include <cmath>
#include <cstdint>
#include <string>

#include "covers/announceForAccessibility.hpp"
#include "focus/SpotlightController.hpp"
#include "focus/SpotlightModel.hpp"
#include "focus/StepRule.hpp"
#include "platform/core/SaturatingCast.hpp"

namespace talvori {

namespace {

// Spoken numbers are rounded, halves away from zero; stored values can be anything finite.
std::string spokenInteger(double value) {
    return std::to_string(saturatingCast<std::int64_t>(std::round(value)));
}

}  // namespace

double SpotlightController::effectiveGlassOpacity() const {
    return glassOpacityLinked() ? dimOpacity() : glassOpacity();
}

double SpotlightController::currentOpacity() const {
    return effect() == SpotlightEffect::glass ? effectiveGlassOpacity() : dimOpacity();
}

void SpotlightController::loadSettings() {
    const auto bytes = defaults_->data(SpotlightModel::kDefaultsKey);
    if (!bytes) return;
    const auto model = SpotlightModel::decoded(*bytes);
    if (!model) return;
    dimOpacity_.set(model->dimOpacity);
    glassOpacity_.set(model->glassOpacity);
    glassOpacityLinked_.set(model->glassOpacityLinked);
    effect_.set(model->effect);
    blurRadius_.set(model->blurRadius);
    fadeDuration_.set(SpotlightModel::clampedFadeDuration(model->fadeDuration));
    panelManager_->setFadeDuration(fadeDuration());
}

void SpotlightController::saveSettings() {
    const SpotlightModel model{dimOpacity(), glassOpacity(), glassOpacityLinked(),
                               effect(),     blurRadius(),   fadeDuration()};
    if (auto bytes = model.encoded()) defaults_->set(SpotlightModel::kDefaultsKey, *bytes);
}

void SpotlightController::changeSetting(const std::function<void()>& change) {
    change();
    refreshPanel();
    saveSettings();
}

void SpotlightController::refreshPanel() {
    if (!panelManager_->overlayPanel()) return;
    panelManager_->animateAppearance(effect(), currentOpacity(), blurRadius(), false);
}

void SpotlightController::setDimOpacity(double opacity) {
    changeSetting([&] { dimOpacity_.set(opacity); });
}

void SpotlightController::setGlassOpacity(double opacity) {
    // Written so that NaN lands on 0 rather than passing both bounds.
    const double clamped = opacity > 0 ? std::min(opacity, 1.0) : 0.0;
    changeSetting([&] {
        glassOpacity_.set(clamped);
        glassOpacityLinked_.set(false);
    });
}

void SpotlightController::setEffect(SpotlightEffect effect) {
    changeSetting([&] { effect_.set(effect); });
}

void SpotlightController::setBlurRadius(double radius) {
    changeSetting([&] { blurRadius_.set(radius); });
}

void SpotlightController::setFadeDuration(double seconds) {
    fadeDuration_.set(SpotlightModel::clampedFadeDuration(seconds));
    panelManager_->setFadeDuration(fadeDuration());
    saveSettings();
}

void SpotlightController::adjustFocus(bool stronger) {
    if (!isActive()) return;
    const double opacity = StepRule::opacity.stepped(currentOpacity(), stronger);
    std::string text = "Focus " + spokenInteger(opacity * 100) + " percent";
    if (effect() == SpotlightEffect::glass) {
        glassOpacity_.set(opacity);
        glassOpacityLinked_.set(false);
        blurRadius_.set(StepRule::blur.stepped(blurRadius(), stronger));
        text += ", blur " + spokenInteger(blurRadius());
    } else {
        dimOpacity_.set(opacity);
    }
    animateCurrentAppearance();
    saveSettings();
    announceForAccessibility(text);
}

void SpotlightController::adjustBlur(bool more) {
    if (!isActive()) return;
    if (effect() != SpotlightEffect::glass) {
        announceForAccessibility("Blur is available in Glass");
        return;
    }
    blurRadius_.set(StepRule::blur.stepped(blurRadius(), more));
    animateCurrentAppearance();
    saveSettings();
    announceForAccessibility("Blur " + spokenInteger(blurRadius()));
}

void SpotlightController::animateCurrentAppearance() {
    panelManager_->animateAppearance(effect(), currentOpacity(), blurRadius(), true);
}

}  // namespace talvori
