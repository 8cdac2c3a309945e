#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/core/Geometry.hpp"
#include "platform/desktop/AccessibilityNode.hpp"
#include "platform/desktop/Event.hpp"

namespace talvori {

class Panel;

// A view tree hosted as the content of one of our panels (the view layer implements it). Locations
// are in content coordinates: origin at the top left of the panel's content, y down. The panel
// offers each mouse and key event to its content first; what the content leaves unhandled goes to
// the panel's event handler.
class HostedContent {
  public:
    virtual ~HostedContent() = default;

    // Draws the content into `context`, whose origin is the content's top left, at `size`.
    virtual void draw(cairo_t* context, Size size) = 0;
    // The size the content wants, given its own fixed widths.
    virtual Size fittingSize() = 0;

    // Every button alike; the event's type tells which. Return whether handled.
    virtual bool mouseDown(const Event&, Point) { return false; }
    virtual bool mouseDragged(const Event&, Point) { return false; }
    virtual bool mouseUp(const Event&, Point) { return false; }
    virtual void mouseMoved(const Event&, Point) {}
    virtual bool scrollWheel(const Event&, Point) { return false; }
    // The pointer entered or left the content (hover), including leaving because the panel was
    // ordered out, moved or turned mouse-transparent under it.
    virtual void mouseEntered(Point) {}
    virtual void mouseExited() {}
    virtual bool keyDown(const Event&) { return false; }
    virtual bool keyUp(const Event&) { return false; }

    // The content was put into `panel`, or taken out of its panel (null).
    virtual void didMoveToPanel(Panel* /*panel*/) {}
    // The panel showing the content reached the screen or left it.
    virtual void visibilityDidChange(bool /*isVisible*/) {}

    // What a screen reader reads of the content: its accessibility elements, with frames in
    // content coordinates. Built when asked.
    virtual std::vector<AccessibilityNode> accessibilityElements() { return {}; }
    // `observer` is called whenever the elements may have changed; none stops the calls.
    virtual void setAccessibilityObserver(std::function<void()> /*observer*/) {}

    // Asks the panel showing this content to draw it again.
    void setNeedsDisplay() const;
    // Asks the panel to draw again where the content changed only (content coordinates).
    void setNeedsDisplay(const std::vector<Rect>& damaged) const;
    // The panel showing this content, if any.
    std::shared_ptr<Panel> panel() const { return panel_.lock(); }

    // Called by the panel when it takes or gives up the content.
    void attach(std::weak_ptr<Panel> panel, std::function<void()> needsDisplay);
    void detach();

  private:
    std::weak_ptr<Panel> panel_;
    std::function<void()> needsDisplay_;
};

}  // namespace talvori
