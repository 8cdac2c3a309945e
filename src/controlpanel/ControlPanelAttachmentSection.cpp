#include "controlpanel/ControlPanelAttachmentSection.hpp"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>

#include "controlpanel/ControlPanelSectionLabel.hpp"
#include "controls/InteractiveButton.hpp"
#include "covers/OverlayViewModel.hpp"
#include "covers/Palette.hpp"
#include "covers/PermissionManager.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Image.hpp"
#include "ui/PlatformImage.hpp"

namespace talvori::ui {

namespace {

constexpr double kListOpening = 0.15;
constexpr double kListMaximumHeight = 180;
constexpr double kDetachHitMargin = 11;
// Beyond this an application's name is cut short, leaving room for the window's title.
constexpr double kNameMaximumWidth = 150;

// Canonical composition in UTF-8, whose byte order is the order of the scalars it spells.
std::string composed(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return text;
    const icu::UnicodeString result = nfc->normalize(icu::UnicodeString::fromUTF8(text), status);
    if (U_FAILURE(status)) return text;
    std::string utf8;
    result.toUTF8String(utf8);
    return utf8;
}

void showList(ControlPanelAttachmentSection::State& state, std::optional<Animation> animation) {
    state.cachedApps.set(
        AttachmentTarget::windowsOf(ControlPanelAttachmentSection::attachableApps()));
    withAnimation(animation, [&state] { state.showingAppList.set(true); });
}

}  // namespace

std::vector<RunningApplication> ControlPanelAttachmentSection::attachableApps() {
    const auto& workspace = platform().workspace();
    const auto ownBundle = workspace.bundleIdentifier();
    std::vector<std::pair<std::string, RunningApplication>> keyed;
    for (auto& application : workspace.runningApplications()) {
        if (application.activationPolicy != ActivationPolicy::regular) continue;
        if (application.bundleIdentifier == ownBundle) continue;
        keyed.emplace_back(composed(application.localizedName.value_or("")), application);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<RunningApplication> applications;
    for (auto& entry : keyed) applications.push_back(std::move(entry.second));
    return applications;
}

View ControlPanelAttachmentSection::body(ViewContext<State>& ctx) const {
    auto& state = ctx.state;
    const auto& attachment = viewModel->attachmentInfo();
    View content;
    if (state.showingAppList()) {
        content = appList(state);
    } else if (attachment) {
        content = attachedRow();
    } else {
        content = attachButton(ctx);
    }
    return VStack(HorizontalAlignment::leading, 10,
                  {
                      ControlPanelSectionLabel{attachment ? "ATTACHED TO" : "ATTACHMENT"},
                      content,
                  })
        .padding(EdgeInsets{14, 16, 14, 16});
}

void ControlPanelAttachmentSection::openList(ViewContext<State>& ctx) const {
    const auto animation = ctx.animation(Animation::easeOut(kListOpening));
    const auto& permissions = PermissionManager::shared();
    if (permissions->accessibilityCheck() || permissions->accessibilityCheck()) {
        showList(ctx.state, animation);
        return;
    }
    permissions->accessibilityPrompt();
    // The grant may come long after the panel moved on: only a section still shown opens.
    permissions->pollForAccessibility(weakly(ctx.weakState(), [](State& state, bool granted) {
        if (!granted) return;
        const bool reduceMotion = platform().workspace().accessibilityDisplayShouldReduceMotion();
        showList(state,
                 reduceMotion ? std::nullopt : std::optional(Animation::easeOut(kListOpening)));
    }));
}

View ControlPanelAttachmentSection::attachButton(ViewContext<State>& ctx) const {
    return InteractiveButton{[this, &ctx] { openList(ctx); },
                             [](bool isHovering, bool isPressed) {
                                 const Color fill = isPressed    ? Palette::white10
                                                    : isHovering ? Palette::white7_1
                                                                 : Palette::white4;
                                 return HStack(8,
                                               {
                                                   Image("icon-window").resizable().frame(12, 12),
                                                   Text("Attach to window").font(Font::system(12)),
                                               })
                                     .foregroundColor(Palette::white27)
                                     .frame({.height = 36, .maxWidth = infinity})
                                     .background(RoundedRectangle(6).fill(fill));
                             }};
}

View ControlPanelAttachmentSection::appList(State& state) const {
    const auto& applications = state.cachedApps();
    return ScrollView(VStack(0,
                             {
                                 ForEach(applications, &ControlPanelAttachmentSection::rowKey,
                                         [this, &state](const AttachmentTarget& target) {
                                             return appRow(state, target);
                                         }),
                             })
                          .padding(4))
        .frame({.maxHeight = kListMaximumHeight})
        .background(RoundedRectangle(6).fill(Color(Palette::white4)));
}

std::int64_t ControlPanelAttachmentSection::rowKey(const AttachmentTarget& target) {
    if (target.windowNumber) return *target.windowNumber;
    return -static_cast<std::int64_t>(target.application.processIdentifier);
}

std::vector<View> ControlPanelAttachmentSection::rowLabel(const AttachmentTarget& target) {
    const auto& application = target.application;
    std::vector<View> label;
    if (application.icon)
        label.push_back(platformImage(*application.icon).resizable().frame(16, 16));
    label.push_back(Text(application.localizedName.value_or("Unknown"))
                        .font(Font::system(12))
                        .foregroundColor(Palette::white80)
                        .lineLimit(1)
                        .frame({.maxWidth = kNameMaximumWidth})
                        .fixedSize());
    // The title tells apart the windows of one application; it gives way first when space is
    // short.
    if (const auto title = target.distinctTitle()) {
        label.push_back(Text(*title)
                            .font(Font::system(12))
                            .foregroundColor(Color(Palette::white(0.45)))
                            .lineLimit(1));
    }
    label.push_back(Spacer());
    return label;
}

View ControlPanelAttachmentSection::appRow(State& state, const AttachmentTarget& target) const {
    const std::int64_t key = rowKey(target);
    const bool isHovered = state.hoveredRow() == key;
    return Button(
               [this, &state, target] {
                   if (onAttach) onAttach(target);
                   withoutAnimation([&state] { state.showingAppList.set(false); });
               },
               HStack(8, rowLabel(target))
                   .padding(EdgeInsets{8, 12, 8, 12})
                   .background(RoundedRectangle(4).fill(isHovered ? Color(Palette::white8_2)
                                                                  : Color::clear()))
                   .contentShape(Rectangle()))
        .onHover([&state, key](bool hovering) {
            state.hoveredRow.set(hovering ? std::optional(key) : std::nullopt);
        });
}

View ControlPanelAttachmentSection::attachedRow() const {
    const auto& attachment = viewModel->attachmentInfo();
    const std::string title =
        attachment && attachment->targetWindowTitle ? *attachment->targetWindowTitle : "Window";
    return HStack({
                      Text(title)
                          .font(Font::system(12, FontWeight::medium))
                          .foregroundColor(Palette::accent)
                          .lineLimit(1),
                      Spacer(),
                      Button(
                          [onDetach = onDetach] {
                              if (onDetach) onDetach();
                          },
                          Image("icon-x")
                              .resizable()
                              .frame(10, 10)
                              .foregroundColor(Palette::white27)
                              .padding(kDetachHitMargin)
                              .contentShape(Rectangle())
                              .padding(-kDetachHitMargin))
                          .accessibilityIdentifier("detach"),
                  })
        .padding(EdgeInsets{8, 12, 8, 12})
        .background(RoundedRectangle(6).fill(Color(Palette::accentTint15)))
        .overlay(RoundedRectangle(6).strokeBorder(Color(Palette::accentTint40), 1));
}

}  // namespace talvori::ui
