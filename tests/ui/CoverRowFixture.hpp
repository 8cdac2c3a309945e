#pragma once

// A cover row and the card that lists the rows, written the way the menu-bar panel writes them: a
// swatch, the name or a rename field, rename and close buttons, a hover highlight, and a
// slide-and-fade removal. Tests and the benchmark use it.

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/core/Observation.hpp"
#include "platform/core/UUID.hpp"
#include "ui/UI.hpp"

namespace talvori::ui::fixture {

struct CoverModel {
    UUID id = UUID::random();
    Observable<std::string> name;
    Observable<Color> color{Color::rgb255(255, 127, 80)};
    Observable<bool> isGlass{false};
    Observable<bool> isHighlighted{false};

    explicit CoverModel(std::string initialName) : name(std::move(initialName)) {}
};

struct CoverManager {
    Observable<std::vector<std::shared_ptr<CoverModel>>> covers;
    Observable<std::set<std::string>> closingIds;
    Observable<bool> isClosingAll{false};

    void closeCover(const UUID& id) {
        covers.modify([&](auto& list) {
            std::erase_if(list, [&](const auto& cover) { return cover->id == id; });
        });
    }
};

inline std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

struct CoverRow {
    std::shared_ptr<CoverModel> cover;
    std::shared_ptr<CoverManager> manager;
    bool operator==(const CoverRow&) const = default;

    struct State {
        Observable<bool> isEditing{false};
        Observable<std::string> editingName;
        Observable<bool> isHoveringPencil{false};
        Observable<bool> isHoveringClose{false};
        Observable<bool> nameFieldFocused{false};
    };

    View body(ViewContext<State>& ctx) const {
        auto& state = ctx.state;
        const bool closing = manager->closingIds().contains(cover->id.uuidString());
        return HStack(VerticalAlignment::center, 0,
                      {
                          swatch().frame({.width = 26, .alignment = Alignment::leading()}),
                          state.isEditing() ? renameField(ctx) : nameText(),
                          Spacer(8),
                          iconButton("icon-pencil", "Rename cover", state.isHoveringPencil,
                                     [this, &ctx] { beginRename(ctx); }),
                          iconButton("icon-x", "Close cover", state.isHoveringClose,
                                     [this, &ctx] { closeCover(ctx); }),
                      })
            .padding(Edges::horizontal, 10)
            .frame({.height = 36})
            .background(Color::white(0.031))
            .clipShape(RoundedRectangle(6))
            .opacity(closing ? 0 : 1)
            .offset(closing ? -360 : 0, 0)
            .onHover([cover = cover](bool hovering) { cover->isHighlighted.set(hovering); });
    }

  private:
    View swatch() const {
        const Color color = cover->isGlass() ? Color::white(0.25) : cover->color();
        return RoundedRectangle(2).fill(color).frame(20, 9).accessibilityHidden();
    }

    View nameText() const {
        return Text(cover->name())
            .font(Font::system(12))
            .foregroundColor(Color::white(0.8))
            .lineLimit(1);
    }

    View renameField(ViewContext<State>& ctx) const {
        auto& state = ctx.state;
        return TextField("Name", state.editingName)
            .onSubmit([this, &ctx] { commitRename(ctx); })
            .onExitCommand([&state] { state.isEditing.set(false); })
            .font(Font::system(12))
            .foregroundColor(Color::black())
            .focused(state.nameFieldFocused)
            .padding(EdgeInsets{2, 4, 2, 4})
            .background(RoundedRectangle(4).fill(Color::white(0.85)))
            .onAppear([&state] { state.nameFieldFocused.set(true); });
    }

    static View iconButton(const std::string& asset, const std::string& label,
                           Observable<bool>& isHovering, std::function<void()> action) {
        return Button(std::move(action),
                      Image(asset)
                          .resizable()
                          .frame(13.2, 13.2)
                          .foregroundColor(Color::white(isHovering() ? 0.7 : 0.35))
                          .padding(6)
                          .contentShape(Rectangle()))
            .accessibilityLabel(label)
            .onHover([&isHovering](bool hovering) { isHovering.set(hovering); });
    }

    void beginRename(ViewContext<State>& ctx) const {
        ctx.state.editingName.set(cover->name());
        ctx.state.isEditing.set(true);
    }

    void commitRename(ViewContext<State>& ctx) const {
        const auto name = trimmed(ctx.state.editingName.peek());
        if (!name.empty()) cover->name.set(name);
        ctx.state.isEditing.set(false);
    }

    void closeCover(ViewContext<State>& ctx) const {
        withAnimation(ctx.animation(Animation::easeOut(0.15)),
                      [&] { manager->closeCover(cover->id); });
    }
};

struct CoversCard {
    std::shared_ptr<CoverManager> manager;
    bool operator==(const CoversCard&) const = default;

    View body(ViewContext<NoState>&) const {
        return VStack(HorizontalAlignment::leading, 8,
                      {
                          ForEach(
                              manager->covers(), [](const auto& cover) { return cover->id; },
                              [this](const auto& cover) {
                                  return View(CoverRow{cover, manager})
                                      .transition(Transition::move(Edge::leading)
                                                      .combined(Transition::opacity()));
                              }),
                      })
            .allowsHitTesting(!manager->isClosingAll())
            .frame({.width = 355});
    }
};

inline std::shared_ptr<CoverManager> managerWithCovers(int count) {
    auto manager = std::make_shared<CoverManager>();
    std::vector<std::shared_ptr<CoverModel>> covers;
    for (int i = 1; i <= count; ++i)
        covers.push_back(std::make_shared<CoverModel>("Overlay " + std::to_string(i)));
    manager->covers.set(std::move(covers));
    return manager;
}

}  // namespace talvori::ui::fixture
