#include "ui/ForEach.hpp"

namespace talvori::ui {

namespace {

class GroupElement final : public Element {
  public:
    ElementChange changeFrom(const Element&) const override { return ElementChange::none(); }
    explicit GroupElement(std::vector<ChildEntry> children) : children_(std::move(children)) {}
    std::span<const ChildEntry> children() const override { return children_; }
    bool isTransparentContainer() const override { return true; }
    std::string debugName() const override { return "Group"; }

  private:
    std::vector<ChildEntry> children_;
};

}  // namespace

std::shared_ptr<const Element> makeGroupElement(std::vector<ChildEntry> children) {
    return std::make_shared<GroupElement>(std::move(children));
}

}  // namespace talvori::ui
