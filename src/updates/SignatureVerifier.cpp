#include "updates/SignatureVerifier.hpp"

#include <sodium.h>

#include <fstream>
#include <iterator>

#include "platform/core/Base64.hpp"

namespace talvori::updates {

std::optional<SignatureVerifier> SignatureVerifier::make(std::string_view publicKeyBase64) {
    if (sodium_init() < 0) return std::nullopt;
    auto key = Base64::decode(publicKeyBase64);
    if (!key || key->size() != crypto_sign_PUBLICKEYBYTES) return std::nullopt;
    return SignatureVerifier(std::vector<unsigned char>(key->begin(), key->end()));
}

bool SignatureVerifier::verifyFile(const std::string& path,
                                   std::string_view signatureBase64) const {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::vector<unsigned char> contents((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
    if (file.bad()) return false;
    return verify(contents, signatureBase64);
}

bool SignatureVerifier::verify(const std::vector<unsigned char>& message,
                               std::string_view signatureBase64) const {
    const auto signature = Base64::decode(signatureBase64);
    if (!signature || signature->size() != crypto_sign_BYTES) return false;
    return crypto_sign_verify_detached(signature->data(), message.data(), message.size(),
                                       key_.data()) == 0;
}

}  // namespace talvori::updates
