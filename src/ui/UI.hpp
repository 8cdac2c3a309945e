#pragma once

// clang-format off
// Talvori's declarative views, drawn with Cairo, Pango and librsvg.
//
// A view is a value built by a body from state; modifiers wrap it. A component is a struct with
// the inputs it is given, a State of Observables for its own state, and a body:
//
//     struct CoverRow {
//         std::shared_ptr<CoverModel> cover;      // a model: what the body reads of it is tracked
//         bool operator==(const CoverRow&) const = default;  // equal inputs: the body is skipped
//
//         struct State {                          // kept while the row keeps its identity
//             Observable<bool> isEditing{false};
//             Observable<std::string> editingName;
//         };
//
//         View body(ViewContext<State>& ctx) const {
//             auto& state = ctx.state;
//             return HStack(0, {
//                        state.isEditing() ? View(TextField("Name", state.editingName)
//                                                     .onSubmit([&] { state.isEditing.set(false); }))
//                                          : View(Text(cover->name()).font(Font::system(12)).lineLimit(1)),
//                        Spacer(8),
//                        Button([&state] { state.isEditing.set(true); },
//                               Image("icon-pencil").resizable().frame(13.2, 13.2))
//                            .accessibilityLabel("Rename cover"),
//                    })
//                 .padding(Edges::horizontal, 10)
//                 .frame({.height = 36})
//                 .background(Color::white(0.031))
//                 .clipShape(RoundedRectangle(6))
//                 .onHover([&ctx, cover = cover](bool hovering) {
//                     withAnimation(ctx.animation(Animation::easeOut(0.15)),
//                                   [&] { cover->isHighlighted.set(hovering); });
//                 });
//         }
//     };
//
// Lists: ForEach(items, key, content) in a stack; `.transition(...)` on the item for how items
// come and go. Conditional children: `cond ? view : View()`. A colour as a view: View(Color::...).
//
// Identity and state: a view's identity is its position among its siblings, the key ForEach gave
// it, and any id(...) above it; its State lives as long as that identity does and goes when the
// view leaves (onDisappear runs, tasks are cancelled, hovers end, focus leaves). Handlers may
// capture `ctx`, `ctx.state` and `this` by reference: they run only while the view is in the
// tree. Tasks, timers and callbacks handed to models capture ctx.weakState() instead.
//
// Updates: a body runs inside observation tracking; a change to any Observable it read (its own
// state or a model's) rebuilds that component, and only it, on a later run-loop turn, never
// inside the change. Children whose inputs compare equal are not rebuilt.
//
// Animation: changes made inside withAnimation(...) animate what they change (opacity, offsets,
// scales, rotations, colours, frames) on the platform clock. View::animation(curve, value)
// animates a subtree's changes when `value` changed; withoutAnimation silences both. Views
// inserted or removed in an animated change play their transition (default: a fade).
// ctx.animation(curve) is no animation while Reduce Motion is on, read at that moment.
//
// Focus and keys: `.focused(state.flag)` ties a field's focus to a Boolean both ways; the focused
// view gets keys first, then keyboardShortcut buttons (while the window is key), then the window.
//
// Hosting: PanelHost shows views in a panel (see PanelHost.hpp); Host keeps a tree alive on its
// own, lays it out by size proposal, draws it, and renders PNGs. Tests find views with
// host->find(Query::byLabel("Close cover")) and act through the NodeRef (click, hover, drag;
// host->type, host->press), then read frames, opacity, colours and text, advancing virtual time
// to sample animations. Give the host a FixedTextMeasurer where layout must not depend on fonts.
//
// Windows of their own: popover(isPresented, content) hangs a popover below a view (an outside
// click closes it and writes false); help(text) shows a tooltip after Tooltip::kDelay. Views in a
// hidden window stop what nobody sees (ProgressSpinner); readFrame(FrameReader) tells a component
// where a view is in its window and on screen.
//
// Keyboard and accessibility: Tab and Shift-Tab move the focus through the views that take it, in
// reading order; accessibilityAction adds a screen reader's press or a named action (tests invoke
// them with NodeRef::performAccessibilityAction).
//
// Controls: Button, TextField, Toggle (a switch on a Binding<bool>), Slider (stateless, its owner
// keeps the hover and drag flags), Link, ProgressSpinner, TabView. Texts: underline, lineSpacing,
// textSelection; alignmentGuide lines views up in stacks by more than their edges.
//
// Hit testing: views are hit front to back; a view whose opacity is set to 0 takes no pointer
// input from the moment it is set (even while it fades out), and one set to fade in takes input at
// once. contentShape sets the area that takes input; allowsHitTesting(false) passes input through;
// disabled() keeps taking the pointer but ignores it.
// clang-format on

#include "ui/AccessibilityNode.hpp"
#include "ui/Animation.hpp"
#include "ui/Button.hpp"
#include "ui/Color.hpp"
#include "ui/FixedTextMeasurer.hpp"
#include "ui/ForEach.hpp"
#include "ui/FrameReader.hpp"
#include "ui/GeometryReader.hpp"
#include "ui/Host.hpp"
#include "ui/IconCatalog.hpp"
#include "ui/Image.hpp"
#include "ui/Link.hpp"
#include "ui/MatchedGeometryNamespace.hpp"
#include "ui/NodeRef.hpp"
#include "ui/PangoTextMeasurer.hpp"
#include "ui/Popover.hpp"
#include "ui/ProgressSpinner.hpp"
#include "ui/ScrollView.hpp"
#include "ui/Shape.hpp"
#include "ui/Slider.hpp"
#include "ui/Stack.hpp"
#include "ui/TabView.hpp"
#include "ui/Text.hpp"
#include "ui/TextField.hpp"
#include "ui/Toggle.hpp"
#include "ui/Tooltip.hpp"
#include "ui/Transaction.hpp"
#include "ui/Transition.hpp"
#include "ui/View.hpp"
#include "ui/ViewContext.hpp"
#include "ui/ViewDimensions.hpp"
