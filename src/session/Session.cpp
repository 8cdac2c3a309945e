#include "session/Session.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string_view>

#include "covers/OverlayViewModel.hpp"
#include "covers/PresetManager.hpp"
#include "covers/announceForAccessibility.hpp"
#include "platform/Platform.hpp"

namespace talvori {

namespace {

constexpr std::string_view kDefaultNamePrefix = "Overlay ";

// The number of a default name: "Overlay " and a signed decimal that fits in 64 bits, nothing more.
std::optional<std::int64_t> defaultNameNumber(std::string_view name) {
    if (!name.starts_with(kDefaultNamePrefix)) return std::nullopt;
    std::string_view digits = name.substr(kDefaultNamePrefix.size());
    // from_chars takes a minus but no plus.
    if (digits.starts_with('+')) {
        digits.remove_prefix(1);
        if (digits.starts_with('-')) return std::nullopt;
    }
    std::int64_t number = 0;
    const char* const last = digits.data() + digits.size();
    const auto [end, error] = std::from_chars(digits.data(), last, number);
    if (error != std::errc() || end != last) return std::nullopt;
    return number;
}

std::vector<OverlayModel> recordsOf(
    const std::vector<std::shared_ptr<OverlayViewModel>>& overlays) {
    std::vector<OverlayModel> records;
    records.reserve(overlays.size());
    for (const auto& overlay : overlays) records.push_back(overlay->model());
    return records;
}

}  // namespace

Session::Session(std::shared_ptr<PresetManager> presetManager,
                 std::shared_ptr<SpotlightController> spotlightController)
    : presetManager_(std::move(presetManager)),
      spotlightController_(std::move(spotlightController)) {
    platform().runLoop().assertMainThread();
    presets.set(presetManager_->load());
    storedPresets_ = presetManager_->observe([this] { presets.set(presetManager_->load()); });
}

Session::~Session() = default;

std::shared_ptr<OverlayViewModel> Session::viewModel(const UUID& id) const {
    for (const auto& overlay : overlays.peek()) {
        if (overlay->id() == id) return overlay;
    }
    return nullptr;
}

// ---- Default names

std::string Session::defaultName(std::int64_t number) {
    return std::string(kDefaultNamePrefix) + std::to_string(number);
}

std::int64_t Session::takeOverlayNumber() {
    const std::int64_t number = nextOverlayNumber.peek();
    // At the largest number the counter stays put: names repeat rather than wrap.
    if (number < std::numeric_limits<std::int64_t>::max()) nextOverlayNumber.set(number + 1);
    return number;
}

void Session::raiseOverlayNumber(const std::vector<OverlayModel>& records) {
    constexpr auto kLargest = std::numeric_limits<std::int64_t>::max();
    for (const auto& record : records) {
        const auto number = defaultNameNumber(record.name);
        if (!number) continue;
        // At the largest number the counter stays there, as it does when names are given out.
        const std::int64_t next = *number == kLargest ? kLargest : *number + 1;
        if (nextOverlayNumber.peek() < next) nextOverlayNumber.set(next);
    }
}

// ---- The active layout

const PresetModel* Session::activePreset() const {
    const auto& id = activePresetId();
    if (!id) return nullptr;
    for (const auto& preset : presets()) {
        if (preset.id == *id) return &preset;
    }
    return nullptr;
}

bool Session::activePresetHasChanges() const {
    const auto* preset = activePreset();
    return preset && recordsOf(overlays()) != preset->overlays;
}

std::vector<PresetChange> Session::activePresetChanges() const {
    const auto* preset = activePreset();
    if (!preset) return {};
    return OverlayModel::presetChanges(recordsOf(overlays()), preset->overlays);
}

PresetChangeSummary Session::activePresetChangeSummary() const {
    auto lines = activePresetChanges();
    const std::size_t count = lines.size();
    if (count <= kMaxChangeLines) return {std::move(lines), 0};
    std::vector<PresetChange> firstPerCover;
    std::set<std::string> named;
    for (auto& line : lines) {
        if (named.insert(line.overlayName).second) firstPerCover.push_back(std::move(line));
    }
    if (firstPerCover.size() > kMaxChangeLines) firstPerCover.resize(kMaxChangeLines);
    const std::size_t shown = firstPerCover.size();
    return {std::move(firstPerCover), count - shown};
}

void Session::togglePreset(const PresetModel& preset) {
    if (activePresetId.peek() == preset.id) {
        closeActiveLayout();
    } else {
        applyPreset(preset.id);
    }
}

// ---- Stored layouts

void Session::storePresets() {
    presetManager_->save(presets.peek());
}

void Session::updateActivePreset() {
    platform().runLoop().assertMainThread();
    const auto& id = activePresetId.peek();
    if (!id) return;
    auto list = presets.peek();
    const auto found = std::find_if(list.begin(), list.end(),
                                    [&](const auto& preset) { return preset.id == *id; });
    if (found == list.end()) return;
    recordFollowedFrames();
    found->overlays = recordsOf(overlays.peek());
    presets.set(std::move(list));
    storePresets();
}

void Session::saveCurrentAsPreset(const std::string& name) {
    platform().runLoop().assertMainThread();
    recordFollowedFrames();
    PresetModel preset;
    preset.name = name;
    preset.overlays = recordsOf(overlays.peek());
    presets.modify([&](auto& list) { list.push_back(std::move(preset)); });
    storePresets();
    announceForAccessibility("Layout " + name + " saved");
}

void Session::renamePreset(const UUID& id, const std::string& name) {
    platform().runLoop().assertMainThread();
    auto list = presets.peek();
    const auto found =
        std::find_if(list.begin(), list.end(), [&](const auto& preset) { return preset.id == id; });
    if (found == list.end()) return;
    found->name = name;
    presets.set(std::move(list));
    storePresets();
    announceForAccessibility("Layout renamed to " + name);
}

void Session::deletePreset(const UUID& id) {
    platform().runLoop().assertMainThread();
    std::optional<std::string> deleted;
    presets.modify([&](auto& list) {
        std::erase_if(list, [&](const auto& preset) {
            if (preset.id != id) return false;
            deleted = preset.name;
            return true;
        });
    });
    storePresets();
    if (deleted) announceForAccessibility("Layout " + *deleted + " deleted");
}

}  // namespace talvori
