#include "ui/GeometryReader.hpp"

#include <cstdint>
#include <optional>

#include "platform/core/Observation.hpp"
#include "ui/Node.hpp"

namespace talvori::ui {

namespace {

struct ContentStorage final : NodeStorage {
    Registration observation;
    // What the content was last built for: a layout pass that changes neither leaves it alone.
    std::optional<Size> size;
    std::uint64_t builtPass = 0;
};

class GeometryElement final : public Element {
  public:
    explicit GeometryElement(std::function<View(Size)> content) : content_(std::move(content)) {}

    // A new content function builds the content again at the next layout; the geometry reader
    // paints nothing itself, and what the new content draws differently its own views report.
    ElementChange changeFrom(const Element&) const override { return ElementChange::layoutOnly(); }

    // The content is built in place(), once the size is known.
    void reconcile(Node&, UpdateContext&) const override {}

    Size sizeThatFits(Node&, ProposedSize proposal, LayoutContext&) const override {
        return proposal.replacingUnspecified({10, 10});
    }

    void place(Node& node, Size size, LayoutContext& context) const override {
        auto& storage = node.ensureStorage<ContentStorage>();
        if (storage.size != size || storage.builtPass < node.builtPass()) {
            storage.size = size;
            storage.builtPass = node.builtPass();
            build(node, storage, size, context);
        }
        for (auto* kid : node.layoutChildren())
            kid->place(Rect({0, 0}, kid->sizeThatFits(ProposedSize::of(size), context)), context);
    }
    void willDisappear(Node& node) const override { node.clearStorage(); }
    std::string debugName() const override { return "GeometryReader"; }

  private:
    void build(Node& node, ContentStorage& storage, Size size, LayoutContext& context) const {
        // Like a body: what the content reads (a fraction to draw) lays it out again when it
        // changes.
        View content;
        storage.observation.reset();
        storage.observation = node.trackReads([&] { content = content_(size); });
        UpdateContext update{context.host, context.transaction, context.pass, context.now};
        const ChildEntry child{ChildKey{}, content.element()};
        node.reconcileChildren({&child, 1}, update);
    }

    std::function<View(Size)> content_;
};

}  // namespace

GeometryReader::GeometryReader(std::function<View(Size)> content)
    : View(std::make_shared<GeometryElement>(std::move(content))) {}

}  // namespace talvori::ui
