#include "updates/SignatureVerifier.hpp"

#include <fcntl.h>
#include <sodium.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/Base64.hpp"

namespace talvori::updates {

std::optional<SignatureVerifier> SignatureVerifier::make(std::string_view publicKeyBase64) {
    if (sodium_init() < 0) return std::nullopt;
    auto key = Base64::decode(publicKeyBase64);
    if (!key || key->size() != crypto_sign_PUBLICKEYBYTES) return std::nullopt;
    return SignatureVerifier(std::vector<unsigned char>(key->begin(), key->end()));
}

bool SignatureVerifier::verifyFile(const std::string& path, std::string_view signatureBase64,
                                   std::uint64_t maximumBytes) const {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    const bool usable = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                        static_cast<std::uint64_t>(status.st_size) <= maximumBytes;
    const auto size = usable ? static_cast<std::size_t>(status.st_size) : 0;
    void* mapped =
        usable && size > 0 ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    ::close(fd);
    if (!usable || (size > 0 && mapped == MAP_FAILED)) return false;
    static constexpr unsigned char kNothing = 0;
    const auto* bytes = size > 0 ? static_cast<const unsigned char*>(mapped) : &kNothing;
    const bool valid = verify(bytes, size, signatureBase64);
    if (size > 0) ::munmap(mapped, size);
    return valid;
}

bool SignatureVerifier::verify(const std::vector<unsigned char>& message,
                               std::string_view signatureBase64) const {
    return verify(message.data(), message.size(), signatureBase64);
}

bool SignatureVerifier::verify(const unsigned char* message, std::size_t size,
                               std::string_view signatureBase64) const {
    const auto signature = Base64::decode(signatureBase64);
    if (!signature || signature->size() != crypto_sign_BYTES) return false;
    return crypto_sign_verify_detached(signature->data(), message, size, key_.data()) == 0;
}

}  // namespace talvori::updates
