#pragma once

#include <sodium.h>

#include <string>
#include <vector>

#include "platform/core/Base64.hpp"

namespace talvori::testing {

// An Ed25519 key pair made for one test, and the signatures it gives.
struct SigningKey {
    std::vector<unsigned char> publicKey = std::vector<unsigned char>(crypto_sign_PUBLICKEYBYTES);
    std::vector<unsigned char> secretKey = std::vector<unsigned char>(crypto_sign_SECRETKEYBYTES);

    SigningKey() {
        if (sodium_init() < 0) std::abort();
        crypto_sign_keypair(publicKey.data(), secretKey.data());
    }
    std::string publicKeyBase64() const {
        return Base64::encode({publicKey.begin(), publicKey.end()});
    }
    std::string sign(const std::string& message) const {
        std::vector<std::uint8_t> signature(crypto_sign_BYTES);
        crypto_sign_detached(signature.data(), nullptr,
                             reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                             secretKey.data());
        return Base64::encode(signature);
    }
};

struct FeedItem {
    std::string build;
    std::string version;
    std::string enclosureURL;
    std::string signature;
    std::size_t length = 0;
    std::string extra;  // more elements inside the item
};

inline std::string appcastXML(const std::vector<FeedItem>& items) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<rss version=\"2.0\" xmlns:u=\"urn:talvori:updates:appcast\" "
        "xmlns:talvori=\"https://talvori.org/appcast\">\n<channel><title>Talvori</title>\n";
    for (const auto& item : items) {
        xml += "<item><title>Version " + item.version + "</title>";
        xml += "<u:version>" + item.build + "</u:version>";
        xml += "<u:shortVersionString>" + item.version + "</u:shortVersionString>";
        xml += item.extra;
        xml += "<enclosure url=\"" + item.enclosureURL + "\" length=\"" +
               std::to_string(item.length) +
               "\" type=\"application/octet-stream\" u:edSignature=\"" + item.signature +
               "\"/></item>\n";
    }
    return xml + "</channel></rss>\n";
}

}  // namespace talvori::testing
