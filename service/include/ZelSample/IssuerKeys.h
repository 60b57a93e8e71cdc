// The keys of delegated-token issuers: Ed25519 through OpenSSL.
//
// An issuer signs tokens with its private key; a service trusts an issuer by
// holding its public key. Keys are read from PEM (PKCS#8 private keys,
// SubjectPublicKeyInfo public keys, as `openssl genpkey -algorithm ed25519`
// and `openssl pkey -pubout` write them). A key is named by its fingerprint:
// "SHA256:" and the hexadecimal SHA-256 of the 32 raw public-key bytes.
//
// A public key read from its fixed form touches OpenSSL only when it first
// checks a signature: setting up OpenSSL costs about 1.5 ms, which a server
// that trusts a key need not spend at start.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

struct evp_pkey_st;

namespace ZelSample {

// Larger key files are refused unread.
inline constexpr size_t kMaxKeyFileBytes = 16 * 1024;

class IssuerPublicKey {
 public:
  // Throw std::invalid_argument, saying why, for anything but an Ed25519
  // public key (a private key included).
  static IssuerPublicKey FromPem(const std::string& pem);
  static IssuerPublicKey FromFile(const std::string& path);

  const std::string& GetFingerprint() const { return _fingerprint; }
  // True when signature is this key's Ed25519 signature of message.
  bool Verify(const std::string& message, const std::string& signature) const;

 private:
  friend class IssuerPrivateKey;
  friend const IssuerPublicKey& DemoIssuerPublicKey();
  // The 32 raw bytes and, made on first need, OpenSSL's form of the key;
  // shared by the copies of a key.
  struct Material;
  explicit IssuerPublicKey(std::shared_ptr<Material> material);
  IssuerPublicKey(std::shared_ptr<Material> material, std::string fingerprint);
  std::shared_ptr<Material> _material;
  std::string _fingerprint;
};

class IssuerPrivateKey {
 public:
  // Throw std::invalid_argument, saying why, for anything but an Ed25519
  // private key.
  static IssuerPrivateKey FromPem(const std::string& pem);
  static IssuerPrivateKey FromFile(const std::string& path);

  // The 64-byte Ed25519 signature of message.
  std::string Sign(const std::string& message) const;
  const IssuerPublicKey& GetPublicKey() const { return _public; }

 private:
  IssuerPrivateKey(std::shared_ptr<evp_pkey_st> key, IssuerPublicKey publicKey);
  std::shared_ptr<evp_pkey_st> _key;
  IssuerPublicKey _public;
};

// The issuers a service trusts, by key fingerprint. Immutable once shared.
class TrustedIssuers {
 public:
  void Add(const IssuerPublicKey& key);
  // Null for a key not trusted.
  const IssuerPublicKey* Find(const std::string& fingerprint) const;
  std::vector<std::string> GetFingerprints() const;
  bool IsEmpty() const { return _keys.empty(); }

 private:
  std::map<std::string, IssuerPublicKey> _keys;
};

// THE DEMO ISSUER. Its key pair is checked into the source tree
// (service/demo-issuer/) so that zel-demo, the tests and
// stock clients can log in to a zel-server that trusts it by default. Its
// private key is public knowledge: a server that trusts it lets anyone in.
const IssuerPrivateKey& DemoIssuerPrivateKey();
const IssuerPublicKey& DemoIssuerPublicKey();
// A set that trusts the demo issuer only.
std::shared_ptr<const TrustedIssuers> DemoTrustedIssuers();

// Base64 (RFC 4648, with padding). Decoding refuses anything else.
std::string EncodeBase64(const std::string& bytes);
bool DecodeBase64(const std::string& text, std::string& bytes);

}  // namespace ZelSample
