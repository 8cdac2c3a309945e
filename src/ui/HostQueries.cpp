// Finding views by label, identifier or text, and the accessibility dump, for tests.
#include "ui/AccessibilityNode.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"

namespace talvori::ui {

namespace {

bool matches(const Node& node, const Query& query) {
    const Element& element = node.element();
    switch (query.kind) {
        case Query::Kind::label: {
            if (const auto label = accessibilityLabelOf(element)) return *label == query.value;
            return element.implicitLabel() == query.value;
        }
        case Query::Kind::identifier:
            return accessibilityIdentifierOf(element) == query.value;
        case Query::Kind::text:
            return element.text() == query.value;
    }
    return false;
}

}  // namespace

void Host::collect(Node& node, const Query& query, std::vector<NodeRef>& found, bool firstOnly) {
    if (firstOnly && !found.empty()) return;
    if (matches(node, query)) found.emplace_back(weak_from_this(), node.weak_from_this());
    for (const auto& child : node.children()) collect(*child, query, found, firstOnly);
}

NodeRef Host::find(const Query& query) {
    if (updatePosted_) runUpdate();
    pruneRemovals();
    std::vector<NodeRef> found;
    if (root_) collect(*root_, query, found, true);
    return found.empty() ? NodeRef() : found.front();
}

std::vector<NodeRef> Host::findAll(const Query& query) {
    if (updatePosted_) runUpdate();
    pruneRemovals();
    std::vector<NodeRef> found;
    if (root_) collect(*root_, query, found, false);
    return found;
}

NodeRef Host::root() {
    return NodeRef(weak_from_this(), root_);
}

std::string Host::accessibilityDump() {
    if (!root_) return {};
    std::string text;
    for (const auto& element : accessibilityElementsOf(*root_, now())) text += element.dump();
    return text;
}

}  // namespace talvori::ui
