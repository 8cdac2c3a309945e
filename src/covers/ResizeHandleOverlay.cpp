#include "covers/ResizeHandleOverlay.hpp"

#include <algorithm>
#include <array>

namespace talvori {

namespace {

using ui::View;

constexpr double kBracketInset = 2;
constexpr double kBracketArm = 14;
constexpr double kAnimationDuration = 0.15;

// What the overlay draws, read from the view model while the body runs (so that a change to any
// of it redraws the overlay) and used once the size is known.
struct HandleState {
    bool isLocked = false;
    bool isResizing = false;
    std::optional<ResizeHandle> hoveredHandle;
    std::optional<ResizeHandle> activeHandle;
    std::optional<Rect> originalFrame;
    std::set<SnapEdge> snappedEdges;

    bool involves(std::optional<ResizeHandle> handle, SnapEdge edge) const {
        const auto edges = ResizeHandle::edges(handle);
        return std::find(edges.begin(), edges.end(), edge) != edges.end();
    }
    bool isSnapped(SnapEdge edge) const { return snappedEdges.count(edge) > 0; }
};

// The outline of the size the resize started from, sharing the sides that do not move.
View startSizeOutline(const HandleState& state, Size size) {
    if (!state.isResizing || !state.originalFrame || !state.activeHandle) return View();
    const Size start = state.originalFrame->size;
    const double x = state.activeHandle->isLeftSide() ? size.width - start.width : 0;
    const double y = state.activeHandle->isTopSide() ? size.height - start.height : 0;
    return ui::Rectangle()
        .strokeBorder(ui::Color::white(0.09), 1)
        .frame(start.width, start.height)
        .position(x + start.width / 2, y + start.height / 2);
}

View edgeLine(const HandleState& state, SnapEdge edge, Size size, const ui::Color& color) {
    const bool snapped = state.isSnapped(edge);
    const double thickness = snapped ? 2 : 1;
    const double opacity = ResizeHandleOverlay::handleOpacity(
        state.isLocked, snapped, state.isResizing && state.involves(state.activeHandle, edge),
        state.involves(state.hoveredHandle, edge));
    const bool horizontal = edge == SnapEdge::top || edge == SnapEdge::bottom;
    const Size line = horizontal ? Size{size.width, thickness} : Size{thickness, size.height};
    Point center{size.width / 2, size.height / 2};
    if (edge == SnapEdge::top) center.y = thickness / 2;
    if (edge == SnapEdge::bottom) center.y = size.height - thickness / 2;
    if (edge == SnapEdge::left) center.x = thickness / 2;
    if (edge == SnapEdge::right) center.x = size.width - thickness / 2;
    return ui::Rectangle()
        .fill(color.opacity(opacity))
        .frame(line.width, line.height)
        .position(center.x, center.y);
}

// An open path of two arms around the corner, inset from the cover's edges.
std::array<Point, 3> bracketPoints(ResizeHandle corner, Size size) {
    const double near = kBracketInset;
    const double far = kBracketInset + kBracketArm;
    const double right = size.width - near;
    const double bottom = size.height - near;
    switch (corner) {
        case ResizeHandle::topLeft:
            return {{{near, far}, {near, near}, {far, near}}};
        case ResizeHandle::topRight:
            return {{{size.width - far, near}, {right, near}, {right, far}}};
        case ResizeHandle::bottomLeft:
            return {{{near, size.height - far}, {near, bottom}, {far, bottom}}};
        default:
            return {{{right, size.height - far}, {right, bottom}, {size.width - far, bottom}}};
    }
}

View bracket(const HandleState& state, ResizeHandle corner, Size size, const ui::Color& color,
             const std::optional<ui::Animation>& animation) {
    const bool hovered = state.hoveredHandle == corner;
    const bool active = state.activeHandle == corner;
    const auto edges = ResizeHandle::edges(corner);
    const bool snapped = std::any_of(edges.begin(), edges.end(),
                                     [&](SnapEdge edge) { return state.isSnapped(edge); });
    double width = 1.5;
    double opacity = 0.5;
    if (state.isLocked) {
        opacity = 0.15;
    } else {
        if (active) {
            width = 2.5;
        } else if (hovered || snapped) {
            width = 2.0;
        }
        if (hovered || active || snapped) opacity = 1.0;
    }
    const auto points = bracketPoints(corner, size);
    return ui::Shape([points](const Rect& rect) {
               ui::Path path;
               path.moveTo({rect.minX() + points[0].x, rect.minY() + points[0].y});
               path.lineTo({rect.minX() + points[1].x, rect.minY() + points[1].y});
               path.lineTo({rect.minX() + points[2].x, rect.minY() + points[2].y});
               return path;
           })
        .stroke(color, ui::StrokeStyle{.lineWidth = width,
                                       .lineCap = ui::LineCap::butt,
                                       .lineJoin = ui::LineJoin::miter,
                                       .miterLimit = 10})
        .opacity(opacity)
        .animation(animation, hovered)
        .animation(animation, active);
}

}  // namespace

double ResizeHandleOverlay::handleOpacity(bool isLocked, bool isSnapped, bool isResizingThisEdge,
                                          bool isHovered) {
    if (isLocked) return 0.15;
    if (isSnapped) return 1.0;
    if (isResizingThisEdge) return 0.8;
    if (isHovered) return 0.6;
    return 0.3;
}

ui::View ResizeHandleOverlay::body(ui::ViewContext<ui::NoState>& context) const {
    const HandleState state{viewModel->isLocked(),      viewModel->isResizing(),
                            viewModel->hoveredHandle(), viewModel->activeHandle(),
                            viewModel->originalFrame(), viewModel->snappedEdges()};
    const bool visible = viewModel->isHandlesVisible();
    const auto animation = context.animation(ui::Animation::easeOut(kAnimationDuration));
    const ui::Color color = handleColor;
    return ui::GeometryReader([state, color, animation](Size size) {
               ui::ViewList layers{startSizeOutline(state, size)};
               for (SnapEdge edge :
                    {SnapEdge::top, SnapEdge::bottom, SnapEdge::left, SnapEdge::right}) {
                   layers.push_back(edgeLine(state, edge, size, color));
               }
               for (ResizeHandle corner : {ResizeHandle::topLeft, ResizeHandle::topRight,
                                           ResizeHandle::bottomLeft, ResizeHandle::bottomRight}) {
                   layers.push_back(bracket(state, corner, size, color, animation));
               }
               return ui::ZStack(std::move(layers));
           })
        .opacity(visible ? 1 : 0)
        .animation(animation, visible);
}

}  // namespace talvori
