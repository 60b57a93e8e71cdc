// The fingerprint that names an issuer key: "SHA256:" and the hexadecimal
// SHA-256 of its 32 raw public-key bytes.
#pragma once

#include <cstddef>
#include <string>

namespace ZelSample {
namespace Detail {

std::string KeyFingerprint(const unsigned char* raw, size_t length);

}  // namespace Detail
}  // namespace ZelSample
