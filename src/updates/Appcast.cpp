#include "updates/Appcast.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <charconv>
#include <memory>

#include "updates/VersionComparator.hpp"

namespace talvori::updates {

namespace {

struct DocumentDeleter {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};

std::string_view nameOf(const xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

bool isElement(const xmlNode* node, std::string_view name) {
    return node->type == XML_ELEMENT_NODE && nameOf(node) == name;
}

bool inNamespace(const xmlNode* node, std::string_view uri) {
    return node->ns && node->ns->href && reinterpret_cast<const char*>(node->ns->href) == uri;
}

bool inUpdateNamespace(const xmlNode* node) {
    return inNamespace(node, Appcast::kNamespace);
}

// The text directly inside `node`, trimmed; text of child elements is not included.
std::string textOf(const xmlNode* node) {
    std::string text;
    for (const xmlNode* child = node->children; child; child = child->next) {
        if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) &&
            child->content) {
            text += reinterpret_cast<const char*>(child->content);
        }
    }
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::optional<std::string> attribute(const xmlNode* node, const char* name,
                                     const char* namespaceURI = nullptr) {
    xmlChar* value = namespaceURI ? xmlGetNsProp(node, BAD_CAST name, BAD_CAST namespaceURI)
                                  : xmlGetNoNsProp(node, BAD_CAST name);
    if (!value) return std::nullopt;
    std::string result(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return result;
}

std::optional<std::uint64_t> wholeNumber(const std::string& text) {
    std::uint64_t value = 0;
    const auto* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end || text.empty()) return std::nullopt;
    return value;
}

std::string qualifiedName(const xmlNode* node) {
    std::string name(nameOf(node));
    if (node->ns && node->ns->prefix) {
        name = std::string(reinterpret_cast<const char*>(node->ns->prefix)) + ":" + name;
    }
    return name;
}

// A custom element: its text, or its child elements' texts by name when it has any.
DefaultsValue propertyValue(const xmlNode* node) {
    DefaultsValue::Dictionary children;
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            children.insert_or_assign(qualifiedName(child), textOf(child));
    }
    if (children.empty()) return textOf(node);
    return children;
}

void readEnclosure(const xmlNode* node, AppcastItem& item) {
    AppcastItem::Enclosure enclosure;
    enclosure.url = attribute(node, "url").value_or("");
    if (const auto length = attribute(node, "length")) enclosure.length = wholeNumber(*length);
    enclosure.edSignature = attribute(node, "edSignature", Appcast::kNamespace).value_or("");
    // The build and version may also stand on the enclosure.
    if (item.version.empty())
        item.version = attribute(node, "version", Appcast::kNamespace).value_or("");
    if (item.shortVersion.empty()) {
        item.shortVersion = attribute(node, "shortVersionString", Appcast::kNamespace).value_or("");
    }
    item.enclosure = std::move(enclosure);
}

void readUpdateElement(const xmlNode* node, AppcastItem& item) {
    const auto name = nameOf(node);
    if (name == "version") {
        item.version = textOf(node);
    } else if (name == "shortVersionString") {
        item.shortVersion = textOf(node);
    } else if (name == "releaseNotesLink") {
        item.releaseNotesLink = textOf(node);
    } else if (name == "minimumSystemVersion") {
        item.minimumSystemVersion = textOf(node);
    }
}

std::optional<AppcastItem> readItem(const xmlNode* itemNode) {
    AppcastItem item;
    for (const xmlNode* node = itemNode->children; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) continue;
        if (inUpdateNamespace(node)) {
            readUpdateElement(node, item);
        } else if (node->ns && node->ns->prefix) {
            item.properties.insert_or_assign(qualifiedName(node), propertyValue(node));
        } else if (isElement(node, "title")) {
            item.title = textOf(node);
        } else if (isElement(node, "enclosure")) {
            readEnclosure(node, item);
        }
    }
    if (item.version.empty() || !item.enclosure || item.enclosure->url.empty()) return std::nullopt;
    return item;
}

}  // namespace

std::optional<Appcast> Appcast::parse(std::string_view text) {
    if (text.size() > kMaximumBytes) return std::nullopt;
    // No network, no entity expansion into the tree, no messages on standard error.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                        XML_PARSE_NOCDATA | XML_PARSE_NOBLANKS;
    std::unique_ptr<xmlDoc, DocumentDeleter> document(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, options));
    if (!document) return std::nullopt;
    const xmlNode* root = xmlDocGetRootElement(document.get());
    if (!root || !isElement(root, "rss")) return std::nullopt;

    Appcast appcast;
    for (const xmlNode* channel = root->children; channel; channel = channel->next) {
        if (!isElement(channel, "channel")) continue;
        for (const xmlNode* node = channel->children; node; node = node->next) {
            if (!isElement(node, "item")) continue;
            if (auto item = readItem(node)) appcast.items.push_back(std::move(*item));
        }
    }
    return appcast;
}

std::optional<AppcastItem> Appcast::bestItem(std::string_view currentBuild,
                                             std::string_view systemVersion,
                                             std::string_view skippedBuild) const {
    const AppcastItem* best = nullptr;
    for (const auto& item : items) {
        if (!skippedBuild.empty() && item.version == skippedBuild) continue;
        if (item.minimumSystemVersion && !systemVersion.empty() &&
            VersionComparator::compare(systemVersion, *item.minimumSystemVersion) < 0) {
            continue;
        }
        if (VersionComparator::compare(item.version, currentBuild) <= 0) continue;
        if (!best || VersionComparator::compare(item.version, best->version) > 0) best = &item;
    }
    if (!best) return std::nullopt;
    return *best;
}

}  // namespace talvori::updates
