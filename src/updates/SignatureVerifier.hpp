#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvori::updates {

// Checks a downloaded file against the Ed25519 public key that the program was built with.
class SignatureVerifier {
  public:
    // Absent when `publicKeyBase64` is no Base64 text of a 32-byte key.
    static std::optional<SignatureVerifier> make(std::string_view publicKeyBase64);

    // Whether `signatureBase64` is a valid signature of the file's bytes. A missing file, a
    // signature that does not decode to 64 bytes and a wrong signature all give false.
    bool verifyFile(const std::string& path, std::string_view signatureBase64) const;
    bool verify(const std::vector<unsigned char>& message, std::string_view signatureBase64) const;

  private:
    explicit SignatureVerifier(std::vector<unsigned char> key) : key_(std::move(key)) {}
    std::vector<unsigned char> key_;
};

}  // namespace talvori::updates
