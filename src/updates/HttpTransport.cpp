#include "updates/HttpTransport.hpp"

#include <cctype>

namespace talvori::updates {

namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

bool HttpTransport::isWebAddress(std::string_view url) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (startsWithIgnoringCase(url, scheme) && url.size() > scheme.size()) return true;
    }
    return false;
}

}  // namespace talvori::updates
