#pragma once

#include <memory>
#include <optional>

#include "platform/core/Geometry.hpp"

namespace talvori {
class Panel;
}

namespace talvori::ui {

class Node;

// Tells a component where one of its views is drawn: keep one in the component's State, attach it
// with View::readFrame(reader), and ask it from handlers (a click's window location against the
// view's bounds, say). Copies share what they read.
class FrameReader {
  public:
    FrameReader() : node_(std::make_shared<std::weak_ptr<Node>>()) {}

    // In the window's content (top left, y down); none while the view is in no window.
    std::optional<Rect> frameInWindow() const;
    // In the global screen space (bottom left, y up); none while the view is in no window.
    std::optional<Rect> frameOnScreen() const;
    std::shared_ptr<Panel> window() const;

    void attach(Node& node) const;
    // Forgets `node`, unless another view was attached since.
    void detach(const Node& node) const;

    bool operator==(const FrameReader&) const = default;

  private:
    Node* node() const;
    std::shared_ptr<std::weak_ptr<Node>> node_;
};

}  // namespace talvori::ui
