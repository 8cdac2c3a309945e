#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "covers/PresetModel.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Registration.hpp"
#include "platform/core/UUID.hpp"
#include "session/PresetChangeSummary.hpp"

namespace talvori {

class OverlayViewModel;
class PresetManager;
class SpotlightController;

// The running session as the panels see it: the open covers, the layouts and the active one, the
// covers card while covers close all at once and the undo offer after it, and the commands the
// panels call. The layouts' own edits and what is asked about the active layout are answered
// here; what opens, closes or previews windows is done by the one who owns them (the window
// manager). Main thread only. The observable fields notify the views that read them, and only on
// a real change (lists of view models compare by identity).
class Session {
  public:
    static constexpr double kCardFadeDuration = 0.35;
    // Restored covers: the card stays invisible a moment, then fades in for this long.
    static constexpr double kCardAppearDuration = 0.2;
    // More difference lines than this are grouped by cover.
    static constexpr std::size_t kMaxChangeLines = 8;

    virtual ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // ---- Covers and layouts
    // The open covers, oldest first: the order of the panel's list and of every snapshot.
    Observable<std::vector<std::shared_ptr<OverlayViewModel>>> overlays;
    Observable<std::vector<PresetModel>> presets;
    // The layout whose covers are open.
    Observable<std::optional<UUID>> activePresetId;
    // The number the next default cover name carries; it only grows within a run.
    Observable<std::int64_t> nextOverlayNumber{1};

    // ---- The covers card while covers close all at once, and the undo offer after it
    Observable<bool> isClosingAll{false};
    Observable<bool> isCardFading{false};
    Observable<bool> isCardAppearing{false};
    Observable<std::set<UUID>> closingOverlayIds;
    Observable<std::optional<std::vector<OverlayModel>>> undoableModels;
    Observable<std::optional<UUID>> undoablePresetId;

    // ---- Collaborators, fixed at construction
    SpotlightController& spotlightController() const { return *spotlightController_; }
    const std::shared_ptr<SpotlightController>& sharedSpotlightController() const {
        return spotlightController_;
    }
    PresetManager& presetManager() const { return *presetManager_; }

    // The open cover `id`, if any.
    std::shared_ptr<OverlayViewModel> viewModel(const UUID& id) const;

    // ---- Covers
    // A new cover with the default look and the next "Overlay N" name, centred on the main screen.
    virtual std::shared_ptr<OverlayViewModel> createCover() = 0;
    // Closes the cover's window and forgets the cover; no undo, the active layout stays.
    virtual void closeCover(const UUID& id) = 0;
    // Opens the cover's control panel from the keyboard, its first control focused; once Escape
    // closes it, `afterEscape` takes the focus back. Nothing where no panel can show.
    virtual void openCoverSettings(const UUID& /*id*/, std::function<void()> /*afterEscape*/) {}
    // Closes every open cover and leaves no layout active.
    virtual void closeActiveLayout() = 0;
    // Closes every cover at once and offers to undo it once the card is empty. Nothing is stored.
    virtual void closeAll() = 0;
    // Brings back every cover of the last close-all and the layout that was active.
    virtual void undoCloseAll() = 0;

    // ---- Layouts. The queries read observably, so a view that asks them follows the answer.
    // The layout whose covers are open, while it still exists.
    const PresetModel* activePreset() const;
    // The open covers differ from the active layout, field by field and in order.
    bool activePresetHasChanges() const;
    std::vector<PresetChange> activePresetChanges() const;
    // The difference lines to show: all of a few, else the first line per cover, and how many
    // lines that leaves out.
    PresetChangeSummary activePresetChangeSummary() const;
    // Stores the open covers into the active layout.
    void updateActivePreset();
    // Stores the open covers as a new layout; the active layout stays active.
    void saveCurrentAsPreset(const std::string& name);
    // Closes every open cover and opens the layout's covers, re-attached to their applications.
    virtual void applyPreset(const UUID& id) = 0;
    // The active layout closes; any other opens.
    void togglePreset(const PresetModel& preset);
    void renamePreset(const UUID& id, const std::string& name);
    void deletePreset(const UUID& id);
    // Outlines at the saved frames of the layout's covers; earlier previews fade out.
    virtual void showGhostPanels(const UUID& presetId) = 0;
    // Fades the shown previews out.
    virtual void hideGhostPanels() = 0;

  protected:
    // Loads the layouts.
    Session(std::shared_ptr<PresetManager> presetManager,
            std::shared_ptr<SpotlightController> spotlightController);

    // "Overlay " and the number.
    static std::string defaultName(std::int64_t number);
    // The current default-name number, and the counter moved past it without ever overflowing.
    std::int64_t takeOverlayNumber();
    // Raises the default-name counter past every "Overlay N" name among `records`.
    void raiseOverlayNumber(const std::vector<OverlayModel>& records);
    // Following a window leaves an attached cover's record at the frame it was given; before the
    // records are saved or snapshotted, each takes the frame its cover has on screen.
    virtual void recordFollowedFrames() {}

  private:
    void storePresets();

    std::shared_ptr<PresetManager> presetManager_;
    std::shared_ptr<SpotlightController> spotlightController_;
    // The layouts read again when the stored list changes (another writer of the settings file).
    Registration storedPresets_;
};

}  // namespace talvori
