#pragma once

#include <map>
#include <memory>
#include <string>

namespace talvori::ui {

class Node;

// Ties views together for View::matchedGeometryEffect: within one namespace, a view that follows
// an id takes the frame of the view that is the source of that id. Copies share the namespace;
// keep one in a view's state so that it lives as long as the view.
class MatchedGeometryNamespace {
  public:
    MatchedGeometryNamespace() : sources_(std::make_shared<Sources>()) {}

    void registerSource(const std::string& id, Node& node) const;
    // Forgets `node` as the source of `id`, unless another view took that id since.
    void unregisterSource(const std::string& id, const Node& node) const;
    // The source of `id` while it is in the tree; none otherwise.
    Node* source(const std::string& id) const;

    bool operator==(const MatchedGeometryNamespace&) const = default;

  private:
    using Sources = std::map<std::string, std::weak_ptr<Node>>;
    std::shared_ptr<Sources> sources_;
};

}  // namespace talvori::ui
