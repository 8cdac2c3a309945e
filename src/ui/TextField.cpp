#include "ui/TextField.hpp"

#include <glib.h>

#include <utility>
#include <vector>

#include "platform/core/weakly.hpp"
#include "ui/AccessibilityNode.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/Paint.hpp"
#include "ui/TextMeasurer.hpp"

namespace talvori::ui {

struct TextField::Options {
    std::string placeholder;
    Binding<std::string> text;
    std::function<void()> onSubmit;
    std::function<void()> onExitCommand;
    std::function<void(bool)> onEditingChanged;
    std::size_t maxLength = kDefaultMaxLength;
};

namespace {

constexpr double kPlaceholderOpacity = 0.4;
constexpr double kSelectionOpacity = 0.3;

// A state of the field that undo goes back to.
struct FieldSnapshot {
    std::string text;
    std::size_t caret = 0;
    std::size_t anchor = 0;
};

struct FieldStorage final : NodeStorage {
    std::string text;
    std::size_t caret = 0;
    std::size_t anchor = 0;
    double scroll = 0;
    bool isFocused = false;
    Registration observation;
    std::shared_ptr<const TextLayout> layout;
    std::vector<FieldSnapshot> undoStack;
    std::vector<FieldSnapshot> redoStack;
    // The last key typed characters: more typing joins its undo step.
    bool isTyping = false;
    // What was last handed to the desktop's selection; each new selection is handed once.
    std::string publishedSelection;

    std::size_t selectionStart() const { return std::min(caret, anchor); }
    std::size_t selectionEnd() const { return std::max(caret, anchor); }
    bool hasSelection() const { return caret != anchor; }
    std::string selectedText() const {
        return text.substr(selectionStart(), selectionEnd() - selectionStart());
    }
};

// Enough to take back a good while of editing in a one-line field.
constexpr std::size_t kUndoLimit = 100;

std::size_t previousBoundary(const std::string& text, std::size_t index) {
    if (index == 0) return 0;
    const char* previous = g_utf8_find_prev_char(text.c_str(), text.c_str() + index);
    return previous ? static_cast<std::size_t>(previous - text.c_str()) : 0;
}

std::size_t nextBoundary(const std::string& text, std::size_t index) {
    if (index >= text.size()) return text.size();
    return static_cast<std::size_t>(g_utf8_next_char(text.c_str() + index) - text.c_str());
}

bool isWordCharacter(const std::string& text, std::size_t index) {
    const gunichar character =
        g_utf8_get_char_validated(text.c_str() + index, static_cast<gssize>(text.size() - index));
    return character < 0x110000 && g_unichar_isalnum(character);
}

// The start of the word before `index` (or of the one it is in), as Control-Left goes.
std::size_t previousWordStart(const std::string& text, std::size_t index) {
    while (index > 0 && !isWordCharacter(text, previousBoundary(text, index)))
        index = previousBoundary(text, index);
    while (index > 0 && isWordCharacter(text, previousBoundary(text, index)))
        index = previousBoundary(text, index);
    return index;
}

// The end of the word after `index` (or of the one it is in), as Control-Right goes.
std::size_t nextWordEnd(const std::string& text, std::size_t index) {
    while (index < text.size() && !isWordCharacter(text, index)) index = nextBoundary(text, index);
    while (index < text.size() && isWordCharacter(text, index)) index = nextBoundary(text, index);
    return index;
}

std::size_t characterCount(const std::string& text) {
    return static_cast<std::size_t>(g_utf8_strlen(text.c_str(), static_cast<gssize>(text.size())));
}

// The first `characters` characters of `text`.
std::string leading(std::string text, std::size_t characters) {
    std::size_t end = 0;
    for (; characters > 0 && end < text.size(); --characters) end = nextBoundary(text, end);
    text.resize(std::min(end, text.size()));
    return text;
}

// One line only, valid text only: line breaks become spaces; anything else pastes nothing.
std::string pastable(std::string text) {
    for (auto& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    if (!g_utf8_validate(text.c_str(), static_cast<gssize>(text.size()), nullptr)) return {};
    return text;
}

// The letter of an editing chord, whatever Shift or Caps Lock did to it.
char chordLetter(const KeyPress& press) {
    if (press.characters.size() != 1) return 0;
    return static_cast<char>(g_ascii_tolower(press.characters[0]));
}

TextStyle fieldStyle(const Environment& environment) {
    return {environment.font, environment.tracking, 1, TextAlignment::leading};
}

class TextFieldElement final : public Element {
  public:
    explicit TextFieldElement(std::shared_ptr<const TextField::Options> options)
        : options_(std::move(options)) {}

    bool isTextInput() const override { return true; }
    std::optional<std::string> text() const override { return options_->text.get(); }
    std::optional<std::string> implicitLabel() const override { return options_->placeholder; }

    void didUpdate(Node& node, const Element*, UpdateContext&) const override {
        auto& field = storage(node);
        // A text written elsewhere is measured and drawn again.
        field.observation = options_->text.observe(
            weakly(node.weak_from_this(), [](Node& changed) { changed.setNeedsLayout(); }));
        sync(field);
    }

    AnimatedValue::Values animatableData(const Node& node) const override {
        return foregroundData(node);
    }

    Size sizeThatFits(Node& node, ProposedSize proposal, LayoutContext& context) const override {
        const auto style = fieldStyle(node.environment());
        const auto shown = context.text.layout(displayText(storage(node)), style, std::nullopt);
        const double lineHeight = context.text.layout("Xg", style, std::nullopt)->size.height;
        const double width =
            proposal.width && std::isfinite(*proposal.width) ? *proposal.width : shown->size.width;
        return {width, lineHeight};
    }

    void place(Node& node, Size size, LayoutContext& context) const override {
        auto& field = storage(node);
        sync(field);
        field.layout =
            context.text.layout(field.text, fieldStyle(node.environment()), std::nullopt);
        // Keep the caret in view.
        const double caretX = field.layout->offsetForIndex(field.caret);
        if (caretX - field.scroll > size.width - 1) field.scroll = caretX - size.width + 1;
        if (caretX - field.scroll < 0) field.scroll = caretX;
        field.scroll = std::max(
            0.0, std::min(field.scroll, std::max(0.0, field.layout->size.width - size.width + 1)));
    }

    std::optional<double> firstBaseline(Node& node, Size, LayoutContext& context) const override {
        return context.text.layout("Xg", fieldStyle(node.environment()), std::nullopt)
            ->firstBaseline;
    }

    void draw(const Node& node, DrawContext& context) const override {
        const auto* field = node.storage<FieldStorage>();
        if (!field || !field->layout) return;
        const Size size = node.presentedFrame(context.now).size;
        const Color foreground = node.presentedColor(0, context.now);
        cairo_t* cr = context.cr;
        cairo_save(cr);
        cairo_rectangle(cr, 0, 0, size.width, size.height);
        cairo_clip(cr);
        if (field->text.empty()) {
            setSourceColor(cr, foreground.opacity(kPlaceholderOpacity));
            context.text
                .layout(options_->placeholder, fieldStyle(node.environment()), std::nullopt)
                ->draw(cr, context.textRendering());
        } else {
            cairo_translate(cr, -field->scroll, 0);
            if (field->isFocused && field->hasSelection()) {
                const double start = field->layout->offsetForIndex(field->selectionStart());
                const double end = field->layout->offsetForIndex(field->selectionEnd());
                setSourceColor(cr, node.environment().tint.opacity(kSelectionOpacity));
                cairo_rectangle(cr, start, 0, end - start, size.height);
                cairo_fill(cr);
            }
            setSourceColor(cr, foreground);
            field->layout->draw(cr, context.textRendering());
            cairo_translate(cr, field->scroll, 0);
        }
        if (field->isFocused && !field->hasSelection() && node.host().isKeyWindow()) {
            const double x =
                std::round(field->layout->offsetForIndex(field->caret) - field->scroll);
            setSourceColor(cr, node.environment().tint);
            cairo_rectangle(cr, std::max(0.0, x), 0, 1, size.height);
            cairo_fill(cr);
        }
        cairo_restore(cr);
    }

    Node* hitTest(Node& node, Point point, cairo_t*) const override {
        return hitInBounds(node, point);
    }

    bool handlesPointer() const override { return true; }
    void pointerEvent(Node& node, const PointerEvent& event) const override {
        if (!node.environment().isEnabled) return;
        auto& field = storage(node);
        if (event.phase == PointerPhase::began) node.host().requestFocus(node);
        field.isTyping = false;
        // A drag's selection goes to the desktop once, when the button is let go.
        if (event.phase == PointerPhase::ended) publishSelection(node, field);
        if (!field.layout ||
            (event.phase != PointerPhase::began && event.phase != PointerPhase::moved))
            return;
        field.caret = field.layout->indexForOffset(event.location.x + field.scroll);
        if (event.phase == PointerPhase::began) field.anchor = field.caret;
        node.setNeedsLayout();
    }

    bool pasteSelection(Node& node, Point location) const override {
        if (!node.environment().isEnabled) return false;
        auto& field = storage(node);
        node.host().requestFocus(node);
        sync(field);
        field.isTyping = false;
        field.caret =
            std::min(field.text.size(),
                     field.layout ? field.layout->indexForOffset(location.x + field.scroll)
                                  : field.text.size());
        field.anchor = field.caret;
        requestPaste(node, &Host::readSelection);
        node.setNeedsLayout();
        return true;
    }

    bool isFocusable(const Node& node) const override { return node.environment().isEnabled; }
    void focusChanged(Node& node, bool isFocused) const override {
        auto& field = storage(node);
        field.isFocused = isFocused;
        if (isFocused) field.anchor = field.caret;
        if (options_->onEditingChanged) options_->onEditingChanged(isFocused);
        node.setNeedsLayout();
    }

    bool keyDown(Node& node, const KeyPress& press) const override {
        auto& field = storage(node);
        sync(field);
        const bool handled = edit(node, field, press);
        if (handled) {
            publishSelection(node, field);
            node.setNeedsLayout();
        }
        return handled;
    }

    std::vector<AccessibilityNode> accessibility(const Node& node, double now) const override {
        AccessibilityNode element;
        element.label = options_->placeholder;
        element.value = options_->text.get();
        element.frame = node.frameInHost(now);
        element.text = accessibleText(node);
        return {element};
    }
    std::optional<Color> presentedColor(const Node& node, ColorRole role,
                                        double now) const override {
        return foregroundAt(node, role, now);
    }
    std::string debugName() const override { return "TextField \"" + options_->text.get() + "\""; }

  private:
    static FieldStorage& storage(Node& node) { return node.ensureStorage<FieldStorage>(); }

    // The text as typed so far; a screen reader's edits go through the binding as typing does.
    AccessibilityText accessibleText(const Node& node) const {
        AccessibilityText text;
        text.contents = options_->text.get();
        text.caret = text.selectionStart = text.selectionEnd = text.contents.size();
        if (const auto* field = node.storage<FieldStorage>();
            field && field->text == text.contents) {
            text.caret = field->caret;
            text.selectionStart = field->selectionStart();
            text.selectionEnd = field->selectionEnd();
            if (field->layout) text.characterEdges = characterEdges(*field);
        }
        text.maxLength = options_->maxLength;
        text.replace = [binding = options_->text, limit = options_->maxLength](
                           const std::string& contents) { binding.set(leading(contents, limit)); };
        text.select =
            weakly(node.weak_from_this(),
                   [options = options_](const Node& shown, std::size_t start, std::size_t end) {
                       if (!shown.isAttached()) return;
                       auto& node = const_cast<Node&>(shown);
                       auto& field = storage(node);
                       sync(*options, field);
                       field.anchor = std::min(start, field.text.size());
                       field.caret = std::min(end, field.text.size());
                       node.setNeedsLayout();
                   });
        return text;
    }

    static std::vector<double> characterEdges(const FieldStorage& field) {
        std::vector<double> edges;
        const char* begin = field.text.c_str();
        const char* end = begin + field.text.size();
        for (const char* c = begin;; c = g_utf8_next_char(c)) {
            edges.push_back(field.layout->offsetForIndex(static_cast<std::size_t>(c - begin)) -
                            field.scroll);
            if (c >= end) break;
        }
        return edges;
    }

    std::string displayText(const FieldStorage& field) const {
        return field.text.empty() ? options_->placeholder : field.text;
    }

    // Takes in a text written elsewhere, with the caret at its end; what was typed before can no
    // longer be taken back.
    void sync(FieldStorage& field) const { sync(*options_, field); }
    static void sync(const TextField::Options& options, FieldStorage& field) {
        const auto current = options.text.get();
        if (current == field.text) return;
        field.text = current;
        field.caret = field.anchor = field.text.size();
        field.undoStack.clear();
        field.redoStack.clear();
    }

    // Selected text becomes the desktop's selection, as in every field of this desktop.
    static void publishSelection(Node& node, FieldStorage& field) {
        if (!field.hasSelection()) {
            field.publishedSelection.clear();
            return;
        }
        auto selected = field.selectedText();
        if (selected == field.publishedSelection) return;
        node.host().writeSelection(selected);
        field.publishedSelection = std::move(selected);
    }

    // Typing right after typing joins the same undo step; every other edit is a step of its own.
    void replaceSelection(FieldStorage& field, const std::string& inserted,
                          bool typing = false) const {
        if (!(typing && field.isTyping)) {
            field.undoStack.push_back({field.text, field.caret, field.anchor});
            if (field.undoStack.size() > kUndoLimit) field.undoStack.erase(field.undoStack.begin());
        }
        field.redoStack.clear();
        field.isTyping = typing;
        const auto start = field.selectionStart();
        field.text.replace(start, field.selectionEnd() - start, inserted);
        field.caret = field.anchor = start + inserted.size();
        options_->text.set(field.text);
    }

    // Undo and redo: the state on top of `from` comes back, the current one goes onto `to`.
    void restore(FieldStorage& field, std::vector<FieldSnapshot>& from,
                 std::vector<FieldSnapshot>& to) const {
        if (from.empty()) return;
        to.push_back({field.text, field.caret, field.anchor});
        field.text = std::move(from.back().text);
        field.caret = std::min(from.back().caret, field.text.size());
        field.anchor = std::min(from.back().anchor, field.text.size());
        from.pop_back();
        options_->text.set(field.text);
    }

    void moveCaret(FieldStorage& field, std::size_t to, bool extend) const {
        field.caret = to;
        if (!extend) field.anchor = to;
    }

    // Removes the selection, or when there is none, what lies between the caret and `to`.
    void deleteTo(FieldStorage& field, std::size_t to) const {
        if (!field.hasSelection()) field.anchor = to;
        replaceSelection(field, "");
    }

    // How many characters can go in place of the selection.
    std::size_t room(const FieldStorage& field) const {
        const std::size_t kept = characterCount(field.text) - characterCount(field.selectedText());
        return options_->maxLength - std::min(options_->maxLength, kept);
    }

    // The pasteboard's text (or the selection's) goes in place of the selection once it comes,
    // as much of it as there is room for: only that much is read at all. A field gone by then
    // takes nothing.
    using Reader = void (Host::*)(std::size_t, Host::TextReceiver) const;
    void requestPaste(Node& node, Reader read) const {
        // Every character takes four bytes at most.
        const std::size_t limit = room(storage(node)) * 4;
        (node.host().*read)(
            limit, weakly(node.weak_from_this(), [](Node& field, std::optional<std::string> text) {
                auto* element = dynamic_cast<const TextFieldElement*>(&field.element());
                if (element && field.isAttached()) element->paste(field, text);
            }));
    }

    void paste(Node& node, const std::optional<std::string>& text) const {
        auto& field = storage(node);
        sync(field);
        if (const auto pasted = leading(pastable(text.value_or("")), room(field));
            !pasted.empty()) {
            replaceSelection(field, pasted);
            node.setNeedsLayout();
        }
    }

    // Command is the editing modifier of the keys the views were made for, Control that of this
    // desktop; either does the same, except with the arrows and Delete, where Command goes to an
    // end and Control goes by words.
    bool edit(Node& node, FieldStorage& field, const KeyPress& press) const {
        const bool command = press.hasCommand();
        const bool control = !command && contains(press.modifiers, Modifiers::control);
        const bool shift = press.hasShift();
        const bool wasTyping = std::exchange(field.isTyping, false);
        switch (press.key) {
            case Key::returnKey:
                if (options_->onSubmit) options_->onSubmit();
                return true;
            case Key::escape:
                if (!options_->onExitCommand) return false;
                options_->onExitCommand();
                return true;
            case Key::deleteBackward:
                deleteTo(field, command   ? 0
                                : control ? previousWordStart(field.text, field.caret)
                                          : previousBoundary(field.text, field.caret));
                return true;
            case Key::deleteForward:
                deleteTo(field, control ? nextWordEnd(field.text, field.caret)
                                        : nextBoundary(field.text, field.caret));
                return true;
            case Key::leftArrow: {
                std::size_t to = command   ? 0
                                 : control ? previousWordStart(field.text, field.caret)
                                           : previousBoundary(field.text, field.caret);
                if (field.hasSelection() && !shift && !command && !control)
                    to = field.selectionStart();
                moveCaret(field, to, shift);
                return true;
            }
            case Key::rightArrow: {
                std::size_t to = command   ? field.text.size()
                                 : control ? nextWordEnd(field.text, field.caret)
                                           : nextBoundary(field.text, field.caret);
                if (field.hasSelection() && !shift && !command && !control)
                    to = field.selectionEnd();
                moveCaret(field, to, shift);
                return true;
            }
            case Key::home:
            case Key::upArrow:
                moveCaret(field, 0, shift);
                return true;
            case Key::end:
            case Key::downArrow:
                moveCaret(field, field.text.size(), shift);
                return true;
            case Key::insert: {
                const bool pastes = shift && !command && !control;
                if (pastes) requestPaste(node, &Host::readPasteboard);
                return pastes;
            }
            case Key::tab:
            case Key::pageUp:
            case Key::pageDown:
                return false;
            case Key::space:
            case Key::character:
                if (command || control) return editingChord(node, field, press);
                return type(field, press, wasTyping);
        }
        return false;
    }

    bool editingChord(Node& node, FieldStorage& field, const KeyPress& press) const {
        switch (chordLetter(press)) {
            case 'a':
                field.anchor = 0;
                field.caret = field.text.size();
                return true;
            case 'c':
            case 'x':
                if (!field.hasSelection()) return false;
                node.host().writePasteboard(field.selectedText());
                if (chordLetter(press) == 'x') replaceSelection(field, "");
                return true;
            case 'v':
                requestPaste(node, &Host::readPasteboard);
                return true;
            case 'z':
                if (press.hasShift()) {
                    restore(field, field.redoStack, field.undoStack);
                } else {
                    restore(field, field.undoStack, field.redoStack);
                }
                return true;
            default:
                return false;
        }
    }

    bool type(FieldStorage& field, const KeyPress& press, bool wasTyping) const {
        if (press.characters.empty()) return false;
        if (!g_utf8_validate(press.characters.c_str(), static_cast<gssize>(press.characters.size()),
                             nullptr))
            return true;
        field.isTyping = wasTyping;
        if (const auto typed = leading(press.characters, room(field)); !typed.empty())
            replaceSelection(field, typed, true);
        return true;
    }

    std::shared_ptr<const TextField::Options> options_;
};

}  // namespace

TextField::TextField(std::shared_ptr<const Options> options)
    : View(std::make_shared<TextFieldElement>(options)), options_(std::move(options)) {}

TextField::TextField(std::string placeholder, Binding<std::string> text)
    : TextField(std::make_shared<const Options>(
          Options{std::move(placeholder), std::move(text), {}, {}, {}, kDefaultMaxLength})) {}

TextField TextField::onSubmit(std::function<void()> action) const {
    auto options = std::make_shared<Options>(*options_);
    options->onSubmit = std::move(action);
    return TextField(std::shared_ptr<const Options>(options));
}

TextField TextField::onExitCommand(std::function<void()> action) const {
    auto options = std::make_shared<Options>(*options_);
    options->onExitCommand = std::move(action);
    return TextField(std::shared_ptr<const Options>(options));
}

TextField TextField::onEditingChanged(std::function<void(bool)> action) const {
    auto options = std::make_shared<Options>(*options_);
    options->onEditingChanged = std::move(action);
    return TextField(std::shared_ptr<const Options>(options));
}

TextField TextField::maxLength(std::size_t characters) const {
    auto options = std::make_shared<Options>(*options_);
    options->maxLength = characters;
    return TextField(std::shared_ptr<const Options>(options));
}

}  // namespace talvori::ui
