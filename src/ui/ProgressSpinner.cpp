#include "ui/ProgressSpinner.hpp"

#include <cmath>
#include <numbers>

#include "platform/Platform.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/core/weakly.hpp"
#include "ui/AccessibilityNode.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/Paint.hpp"

namespace talvori::ui {

namespace {

constexpr double kSpokeWidth = 2;
constexpr double kInnerRadius = 0.45;
// The trailing spokes fade from the brightest down to this.
constexpr double kDimmestOpacity = 0.2;

struct SpinnerStorage final : NodeStorage {
    void stop() { timer.clear(); }
    TimerSlot timer;
};

class SpinnerElement final : public Element {
  public:
    // The colour is animatable data; the step is drawn from the clock.
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    AnimatedValue::Values animatableData(const Node& node) const override {
        return foregroundData(node);
    }
    Size sizeThatFits(Node&, ProposedSize, LayoutContext&) const override {
        return {ProgressSpinner::kDiameter, ProgressSpinner::kDiameter};
    }
    void didAppear(Node& node) const override { run(node, node.host().isOnScreen()); }
    void screenPresenceChanged(Node& node, bool isOnScreen) const override {
        run(node, isOnScreen);
    }
    void willDisappear(Node& node) const override { node.clearStorage(); }

    void draw(const Node& node, DrawContext& context) const override {
        const Size size = node.presentedFrame(context.now).size;
        const double radius = std::min(size.width, size.height) / 2;
        const auto lit =
            static_cast<long>(std::floor(context.now / ProgressSpinner::kStepInterval));
        const Color color = node.presentedColor(0, context.now);
        cairo_t* cr = context.cr;
        cairo_save(cr);
        cairo_translate(cr, size.width / 2, size.height / 2);
        cairo_set_line_width(cr, kSpokeWidth);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        for (int spoke = 0; spoke < ProgressSpinner::kSpokes; ++spoke) {
            // How many steps ago the light passed this spoke.
            const long age = ((lit - spoke) % ProgressSpinner::kSpokes + ProgressSpinner::kSpokes) %
                             ProgressSpinner::kSpokes;
            const double fade = 1 - (1 - kDimmestOpacity) * static_cast<double>(age) /
                                        (ProgressSpinner::kSpokes - 1);
            const double angle = 2 * std::numbers::pi * spoke / ProgressSpinner::kSpokes;
            const double dx = std::sin(angle), dy = -std::cos(angle);
            const double outer = radius - kSpokeWidth / 2;
            setSourceColor(cr, color.opacity(color.alpha * fade * context.opacity));
            cairo_move_to(cr, dx * radius * kInnerRadius, dy * radius * kInnerRadius);
            cairo_line_to(cr, dx * outer, dy * outer);
            cairo_stroke(cr);
        }
        cairo_restore(cr);
    }
    OpacityHandling opacityHandling(const Node&) const override { return OpacityHandling::applies; }
    Node* hitTest(Node&, Point, cairo_t*) const override { return nullptr; }
    std::vector<AccessibilityNode> accessibility(const Node& node, double now) const override {
        AccessibilityNode element;
        element.label = "In progress";
        element.frame = node.frameInHost(now);
        return {element};
    }
    std::optional<Color> presentedColor(const Node& node, ColorRole role,
                                        double now) const override {
        return foregroundAt(node, role, now);
    }
    std::string debugName() const override { return "ProgressSpinner"; }

  private:
    // Steps while seen; a spinner nobody sees sets no timer.
    static void run(Node& node, bool isOnScreen) {
        auto& storage = node.ensureStorage<SpinnerStorage>();
        if (!isOnScreen) {
            storage.stop();
            return;
        }
        if (!storage.timer.isEmpty()) return;
        // A node that is gone takes its storage, and so the timer, with it.
        auto step = [](Node& node, Timer& timer) {
            if (!node.isAttached()) {
                timer.invalidate();
                return;
            }
            node.setNeedsDisplay();
        };
        storage.timer.replace(
            Timer::scheduledTimer(platform().runLoop(), ProgressSpinner::kStepInterval, true,
                                  weakly(node.weak_from_this(), step), RunLoopMode::common));
    }
};

}  // namespace

ProgressSpinner::ProgressSpinner() : View(std::make_shared<SpinnerElement>()) {}

}  // namespace talvori::ui
