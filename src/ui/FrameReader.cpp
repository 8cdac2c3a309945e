#include "ui/FrameReader.hpp"

#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

Node* FrameReader::node() const {
    auto node = node_->lock();
    return node && node->isAttached() ? node.get() : nullptr;
}

std::optional<Rect> FrameReader::frameInWindow() const {
    const Node* found = node();
    return found ? found->host().frameInWindow(*found) : std::nullopt;
}

std::optional<Rect> FrameReader::frameOnScreen() const {
    const Node* found = node();
    return found ? found->host().frameOnScreen(*found) : std::nullopt;
}

std::shared_ptr<Panel> FrameReader::window() const {
    const Node* found = node();
    return found ? found->host().window() : nullptr;
}

void FrameReader::attach(Node& node) const {
    *node_ = node.weak_from_this();
}

void FrameReader::detach(const Node& node) const {
    if (node_->lock().get() == &node) node_->reset();
}

namespace {

class FrameReaderElement final : public ModifierElement {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    FrameReaderElement(std::shared_ptr<const Element> content, FrameReader reader)
        : ModifierElement(std::move(content)), reader_(std::move(reader)) {}
    void didUpdate(Node& node, const Element*, UpdateContext&) const override {
        reader_.attach(node);
    }
    void willDisappear(Node& node) const override { reader_.detach(node); }
    std::string debugName() const override { return "readFrame"; }

  private:
    FrameReader reader_;
};

}  // namespace

View View::readFrame(const FrameReader& reader) const {
    return View(std::make_shared<FrameReaderElement>(element_, reader));
}

}  // namespace talvori::ui
