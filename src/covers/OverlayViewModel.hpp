#pragma once

#include <optional>
#include <set>
#include <string>

#include "covers/OverlayModel.hpp"
#include "covers/ResizeHandle.hpp"
#include "covers/SnapEdge.hpp"
#include "platform/core/Geometry.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Registration.hpp"

namespace talvori {

// The observable state of one open cover, shared by its window, its view, its row in the menu-bar
// panel and the control panel: the cover's record and its transient interface state. Every
// property tells its observers only of a real change (`rename` is the one write that always
// notifies); reading a property records the read for a tracking view.
class OverlayViewModel {
  public:
    explicit OverlayViewModel(OverlayModel model);
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

    // Fields of the record, written through `model`. A read records the record's fields but its
    // frame: a view showing them is not built again at every step of a move.
    const std::string& name() const { return fields().name; }
    // Stores the name and tells the observers of `model` even when the name is unchanged, so that
    // an edit that ends on the same text still refreshes whoever shows it.
    void rename(std::string name);

    const CodableColor& color() const { return fields().color; }
    void setColor(const CodableColor& color);
    double opacity() const { return fields().opacity; }
    void setOpacity(double opacity);
    double blurRadius() const { return fields().blurRadius; }
    void setBlurRadius(double blurRadius);
    EffectType effectType() const { return fields().effectType; }
    void setEffectType(EffectType effectType);
    bool isClickThroughEnabled() const { return fields().isClickThroughEnabled; }
    void setClickThroughEnabled(bool enabled);
    ZOrderMode zOrderMode() const { return fields().zOrderMode; }
    void setZOrderMode(ZOrderMode mode);
    const std::optional<AttachmentInfo>& attachmentInfo() const { return fields().attachmentInfo; }

  private:
    const OverlayModel& fields() const {
        fieldsSubject_.access();
        return model.peek();
    }
    void tellFieldChanges();

    // Told when a field other than the frame changes.
    ObservationSubject fieldsSubject_;
    OverlayModel lastFields_;
    Registration modelWatch_;

    template <class Field, class Value>
    void setField(Field OverlayModel::*field, Value value) {
        model.modify([&](OverlayModel& record) { record.*field = std::move(value); });
    }
};

}  // namespace talvori
