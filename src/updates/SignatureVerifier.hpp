#pragma once

#include <cstdint>
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

    // Whether `signatureBase64` is a valid signature of the file's bytes. A missing file, one that
    // is no regular file or holds more than `maximumBytes`, a signature that does not decode to
    // 64 bytes and a wrong signature all give false. The file is mapped, never read into memory.
    bool verifyFile(const std::string& path, std::string_view signatureBase64,
                    std::uint64_t maximumBytes) const;
    bool verify(const std::vector<unsigned char>& message, std::string_view signatureBase64) const;

  private:
    bool verify(const unsigned char* message, std::size_t size,
                std::string_view signatureBase64) const;
    explicit SignatureVerifier(std::vector<unsigned char> key) : key_(std::move(key)) {}
    std::vector<unsigned char> key_;
};

}  // namespace talvori::updates
