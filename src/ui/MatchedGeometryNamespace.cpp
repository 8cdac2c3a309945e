// View::matchedGeometryEffect: a source view publishes its laid-out frame under an id; a follower
// takes that frame, moving along the animation of the change that moved the source.
#include "ui/MatchedGeometryNamespace.hpp"

#include "ui/Node.hpp"
#include "ui/View.hpp"

namespace talvori::ui {

void MatchedGeometryNamespace::registerSource(const std::string& id, Node& node) const {
    (*sources_)[id] = node.weak_from_this();
}

void MatchedGeometryNamespace::unregisterSource(const std::string& id, const Node& node) const {
    const auto found = sources_->find(id);
    if (found != sources_->end() && found->second.lock().get() == &node) sources_->erase(found);
}

Node* MatchedGeometryNamespace::source(const std::string& id) const {
    const auto found = sources_->find(id);
    if (found == sources_->end()) return nullptr;
    Node* node = found->second.lock().get();
    return node && node->isAttached() ? node : nullptr;
}

namespace {

// Where layout put the node's origin, in host coordinates (offsets and scales left out).
Point layoutOriginInHost(const Node& node) {
    Point origin;
    for (const Node* level = &node; level; level = level->parent()) {
        origin.x += level->frame().minX();
        origin.y += level->frame().minY();
    }
    return origin;
}

class MatchedSourceElement final : public ModifierElement {
  public:
    MatchedSourceElement(std::shared_ptr<const Element> content, std::string id,
                         MatchedGeometryNamespace space)
        : ModifierElement(std::move(content)), id_(std::move(id)), space_(std::move(space)) {}
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    void didUpdate(Node& node, const Element*, UpdateContext&) const override {
        space_.registerSource(id_, node);
    }
    void willDisappear(Node& node) const override { space_.unregisterSource(id_, node); }
    std::string debugName() const override { return "matchedGeometryEffect(source " + id_ + ")"; }

  private:
    std::string id_;
    MatchedGeometryNamespace space_;
};

class MatchedFollowerElement final : public ModifierElement {
  public:
    MatchedFollowerElement(std::shared_ptr<const Element> content, std::string id,
                           MatchedGeometryNamespace space)
        : ModifierElement(std::move(content)), id_(std::move(id)), space_(std::move(space)) {}
    // The source may move in any pass, without this view changing.
    bool placesFromOtherViews() const override { return true; }

    void place(Node& node, Size size, LayoutContext& context) const override {
        const Node* source = space_.source(id_);
        if (!source) {
            Element::place(node, size, context);
            return;
        }
        const Point sourceOrigin = layoutOriginInHost(*source);
        const Point ownOrigin = layoutOriginInHost(node);
        const Rect frame({sourceOrigin.x - ownOrigin.x, sourceOrigin.y - ownOrigin.y},
                         source->frame().size);
        for (auto* child : node.layoutChildren()) child->place(frame, context);
    }
    std::string debugName() const override { return "matchedGeometryEffect(" + id_ + ")"; }

  private:
    std::string id_;
    MatchedGeometryNamespace space_;
};

}  // namespace

View View::matchedGeometryEffect(std::string id, const MatchedGeometryNamespace& space,
                                 bool isSource) const {
    if (isSource)
        return View(std::make_shared<MatchedSourceElement>(element_, std::move(id), space));
    return View(std::make_shared<MatchedFollowerElement>(element_, std::move(id), space));
}

}  // namespace talvori::ui
