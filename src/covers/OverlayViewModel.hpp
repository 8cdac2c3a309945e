#pragma once

#include <optional>
#include <set>
#include <string>

#include "covers/OverlayModel.hpp"
#include "covers/ResizeHandle.hpp"
#include "covers/SnapEdge.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/core/Observation.hpp"

namespace talvori {

// The observable state of one open cover, shared by its window, its view, its row in the menu-bar
// panel and the control panel: the cover's record and its transient interface state. Every
// property tells its observers only of a real change (`rename` is the one write that always
// notifies); reading a property records the read for a tracking view.
class OverlayViewModel {
  public:
    explicit OverlayViewModel(OverlayModel model) : model(std::move(model)) {}
    OverlayViewModel(const OverlayViewModel&) = delete;
    OverlayViewModel& operator=(const OverlayViewModel&) = delete;

    UUID id() const { return model().id; }

    Observable<OverlayModel> model;
    // Interface state only: never part of the record, so never saved in a layout.
    Observable<bool> isLocked{false};
    Observable<bool> showBorderFlash{false};
    Observable<bool> isHighlighted{false};
    Observable<bool> isHandlesVisible{false};
    Observable<std::optional<ResizeHandle>> hoveredHandle;
    Observable<bool> isResizing{false};
    Observable<bool> isDragging{false};
    Observable<std::optional<ResizeHandle>> activeHandle;
    // The frame when the current drag or resize began.
    Observable<std::optional<Rect>> originalFrame;
    // The size shown while resizing.
    Observable<std::optional<Size>> liveDimensions;
    Observable<std::set<SnapEdge>> snappedEdges;

    // Fields of the record, read and written through `model`.
    const std::string& name() const { return model().name; }
    // Stores the name and tells the observers of `model` even when the name is unchanged, so that
    // an edit that ends on the same text still refreshes whoever shows it.
    void rename(std::string name);

    const CodableColor& color() const { return model().color; }
    void setColor(const CodableColor& color);
    double opacity() const { return model().opacity; }
    void setOpacity(double opacity);
    double blurRadius() const { return model().blurRadius; }
    void setBlurRadius(double blurRadius);
    EffectType effectType() const { return model().effectType; }
    void setEffectType(EffectType effectType);
    bool isClickThroughEnabled() const { return model().isClickThroughEnabled; }
    void setClickThroughEnabled(bool enabled);
    ZOrderMode zOrderMode() const { return model().zOrderMode; }
    void setZOrderMode(ZOrderMode mode);

  private:
    template <class Field, class Value>
    void setField(Field OverlayModel::*field, Value value) {
        model.modify([&](OverlayModel& record) { record.*field = std::move(value); });
    }
};

}  // namespace talvori
