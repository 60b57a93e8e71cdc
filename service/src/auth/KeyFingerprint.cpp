// The digest is computed by OpenSSL's low-level SHA-256 functions rather than
// through EVP or the one-shot SHA256(): both of those set up OpenSSL's
// providers the first time (about 6 million instructions, 1.5 ms), and a
// server reads its trusted keys at start, long before it checks a token.
// The low-level functions are deprecated in OpenSSL 3 but kept; this file
// alone uses them.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "KeyFingerprint.h"

#include <openssl/sha.h>

namespace ZelSample {
namespace Detail {

std::string KeyFingerprint(const unsigned char* raw, size_t length) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256_CTX context;
  SHA256_Init(&context);
  SHA256_Update(&context, raw, length);
  SHA256_Final(digest, &context);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string fingerprint = "SHA256:";
  for (unsigned char byte : digest) {
    fingerprint += kHex[byte >> 4];
    fingerprint += kHex[byte & 0xf];
  }
  return fingerprint;
}

}  // namespace Detail
}  // namespace ZelSample
