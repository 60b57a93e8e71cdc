#include <Kestrum/File.h>
#include <ZelSample/IssuerKeys.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string_view>

#include "DemoIssuerKeys.h"
#include "KeyFingerprint.h"

namespace ZelSample {

namespace {

std::shared_ptr<evp_pkey_st> Own(EVP_PKEY* key) {
  return std::shared_ptr<evp_pkey_st>(key, EVP_PKEY_free);
}

std::string OpenSslError() {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "not a PEM key";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

// An Ed25519 public key's DER form is these 12 bytes, then the 32 of the key.
constexpr unsigned char kEd25519PublicKeyDerPrefix[] = {0x30, 0x2a, 0x30, 0x05, 0x06, 0x03,
                                                        0x2b, 0x65, 0x70, 0x03, 0x21, 0x00};

// A text that is one PEM public key block holding an Ed25519 key: its 32 raw
// bytes into raw, read without OpenSSL's decoders, which try every format
// they know (about a millisecond, most of zel-server's start after the
// dynamic loader). Any other text gives false, and is left to the decoders.
bool ReadEd25519PublicKeyPem(const std::string& pem, unsigned char (&raw)[32]) {
  static const std::string kBegin = "-----BEGIN PUBLIC KEY-----\n";
  static const std::string kEnd = "\n-----END PUBLIC KEY-----";
  std::string_view text(pem);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  if (!text.starts_with(kBegin) || !text.ends_with(kEnd)) return false;
  std::string_view body = text.substr(kBegin.size(), text.size() - kBegin.size() - kEnd.size());
  // 44 bytes of DER are 60 characters of base64 on one line, the last one '='.
  if (body.size() != 60 || body.back() != '=' || body.find('\n') != std::string_view::npos) {
    return false;
  }
  unsigned char der[45];
  if (EVP_DecodeBlock(der, reinterpret_cast<const unsigned char*>(body.data()), 60) != 45) {
    return false;
  }
  if (std::memcmp(der, kEd25519PublicKeyDerPrefix, sizeof kEd25519PublicKeyDerPrefix) != 0) {
    return false;
  }
  std::memcpy(raw, der + sizeof kEd25519PublicKeyDerPrefix, sizeof raw);
  return true;
}

void CheckKeySize(const std::string& pem) {
  if (pem.size() > kMaxKeyFileBytes) {
    throw std::invalid_argument("the key is larger than " + std::to_string(kMaxKeyFileBytes) +
                                " bytes");
  }
}

// The raw bytes of an Ed25519 key that OpenSSL holds.
void ReadRawPublicKey(EVP_PKEY* key, unsigned char (&raw)[32], const char* what) {
  size_t length = sizeof raw;
  if (EVP_PKEY_get_raw_public_key(key, raw, &length) != 1 || length != sizeof raw) {
    throw std::invalid_argument(std::string(what) + " cannot be read: " + OpenSslError());
  }
}

// A key through OpenSSL's decoders: an Ed25519 key or an exception.
EVP_PKEY* ReadPem(const std::string& pem, bool privateKey) {
  CheckKeySize(pem);
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
  if (!bio) throw std::runtime_error("out of memory reading a key");
  // No password callback: an encrypted private key is refused, not prompted for.
  static pem_password_cb* const kNoPassword = [](char*, int, int, void*) { return -1; };
  EVP_PKEY* key = privateKey ? PEM_read_bio_PrivateKey(bio.get(), nullptr, kNoPassword, nullptr)
                             : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr);
  if (key == nullptr) {
    throw std::invalid_argument(
        std::string(privateKey ? "not a PEM private key: " : "not a PEM public key: ") +
        OpenSslError());
  }
  if (EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
    EVP_PKEY_free(key);
    throw std::invalid_argument("the key is not an Ed25519 key");
  }
  return key;
}

std::string ReadKeyFile(const std::string& path) {
  try {
    return Kestrum::ReadFileBounded(path, kMaxKeyFileBytes);
  } catch (const Kestrum::FileReadException& e) {
    if (e.GetReason() != Kestrum::FileReadException::Reason::kTooLarge) {
      throw std::invalid_argument("cannot read the key file " + path);
    }
    throw std::invalid_argument("the key file " + path + " is larger than " +
                                std::to_string(kMaxKeyFileBytes) + " bytes");
  }
}

template <class Key>
Key FromFileOf(const std::string& path) {
  try {
    return Key::FromPem(ReadKeyFile(path));
  } catch (const std::invalid_argument& e) {
    std::string message = e.what();
    if (message.find(path) != std::string::npos) throw;
    throw std::invalid_argument(path + ": " + message);
  }
}

}  // namespace

// ---- IssuerPublicKey ---------------------------------------------------------------------

struct IssuerPublicKey::Material {
  unsigned char raw[32] = {};
  // The PEM text raw is still to be read from, on first need: the demo key,
  // named by its compiled-in fingerprint, so that naming it at start loads
  // no OpenSSL (whose base64 decoder reads the text).
  const char* unreadPem = nullptr;
  std::once_flag made;
  // Null until first needed, unless the key was read by OpenSSL's decoders.
  std::shared_ptr<evp_pkey_st> key;

  // OpenSSL's form of the key; null when it cannot be made.
  EVP_PKEY* Key() {
    std::call_once(made, [this] {
      if (unreadPem != nullptr && !ReadEd25519PublicKeyPem(unreadPem, raw)) return;
      if (!key) key = Own(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, raw, sizeof raw));
    });
    return key.get();
  }
};

IssuerPublicKey::IssuerPublicKey(std::shared_ptr<Material> material)
    : _material(std::move(material)),
      _fingerprint(Detail::KeyFingerprint(_material->raw, sizeof _material->raw)) {}

IssuerPublicKey::IssuerPublicKey(std::shared_ptr<Material> material, std::string fingerprint)
    : _material(std::move(material)), _fingerprint(std::move(fingerprint)) {}

IssuerPublicKey IssuerPublicKey::FromPem(const std::string& pem) {
  CheckKeySize(pem);
  auto material = std::make_shared<Material>();
  if (ReadEd25519PublicKeyPem(pem, material->raw)) return IssuerPublicKey(std::move(material));
  material->key = Own(ReadPem(pem, false));
  ReadRawPublicKey(material->key.get(), material->raw, "the Ed25519 public key");
  return IssuerPublicKey(std::move(material));
}

IssuerPublicKey IssuerPublicKey::FromFile(const std::string& path) {
  return FromFileOf<IssuerPublicKey>(path);
}

bool IssuerPublicKey::Verify(const std::string& message, const std::string& signature) const {
  if (signature.size() != 64) return false;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  EVP_MD_CTX_free);
  EVP_PKEY* key = _material->Key();
  if (!key || !context ||
      EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key) != 1) {
    ERR_clear_error();
    return false;
  }
  int verified = EVP_DigestVerify(
      context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
      reinterpret_cast<const unsigned char*>(message.data()), message.size());
  ERR_clear_error();
  return verified == 1;
}

// ---- IssuerPrivateKey --------------------------------------------------------------------

IssuerPrivateKey::IssuerPrivateKey(std::shared_ptr<evp_pkey_st> key, IssuerPublicKey publicKey)
    : _key(std::move(key)), _public(std::move(publicKey)) {}

IssuerPrivateKey IssuerPrivateKey::FromPem(const std::string& pem) {
  std::shared_ptr<evp_pkey_st> key = Own(ReadPem(pem, true));
  // The public half, as a key of its own.
  auto material = std::make_shared<IssuerPublicKey::Material>();
  ReadRawPublicKey(key.get(), material->raw, "the Ed25519 key");
  return IssuerPrivateKey(std::move(key), IssuerPublicKey(std::move(material)));
}

IssuerPrivateKey IssuerPrivateKey::FromFile(const std::string& path) {
  return FromFileOf<IssuerPrivateKey>(path);
}

std::string IssuerPrivateKey::Sign(const std::string& message) const {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  EVP_MD_CTX_free);
  std::string signature(64, '\0');
  size_t length = signature.size();
  if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, _key.get()) != 1 ||
      EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1 ||
      length != 64) {
    throw std::runtime_error("signing failed: " + OpenSslError());
  }
  return signature;
}

// ---- TrustedIssuers -----------------------------------------------------------------------

void TrustedIssuers::Add(const IssuerPublicKey& key) { _keys.emplace(key.GetFingerprint(), key); }

const IssuerPublicKey* TrustedIssuers::Find(const std::string& fingerprint) const {
  auto it = _keys.find(fingerprint);
  return it == _keys.end() ? nullptr : &it->second;
}

std::vector<std::string> TrustedIssuers::GetFingerprints() const {
  std::vector<std::string> fingerprints;
  for (const auto& [fingerprint, key] : _keys) fingerprints.push_back(fingerprint);
  return fingerprints;
}

// ---- the demo issuer -------------------------------------------------------------------------

const IssuerPrivateKey& DemoIssuerPrivateKey() {
  static const IssuerPrivateKey key = IssuerPrivateKey::FromPem(Detail::kDemoIssuerPrivateKeyPem);
  return key;
}

const IssuerPublicKey& DemoIssuerPublicKey() {
  // A server that trusts the demo issuer names its key at start: by the
  // compiled-in fingerprint, the key itself read at its first signature check
  // (reading and digesting it would load libcrypto at every start).
  static const IssuerPublicKey key = [] {
    auto material = std::make_shared<IssuerPublicKey::Material>();
    material->unreadPem = Detail::kDemoIssuerPublicKeyPem;
    return IssuerPublicKey(std::move(material), Detail::kDemoIssuerFingerprint);
  }();
  return key;
}

std::shared_ptr<const TrustedIssuers> DemoTrustedIssuers() {
  static const std::shared_ptr<const TrustedIssuers> trusted = [] {
    auto issuers = std::make_shared<TrustedIssuers>();
    issuers->Add(DemoIssuerPublicKey());
    return issuers;
  }();
  return trusted;
}

// ---- Base64 -------------------------------------------------------------------------------------

std::string EncodeBase64(const std::string& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                               reinterpret_cast<const unsigned char*>(bytes.data()),
                               static_cast<int>(bytes.size()));
  text.resize(static_cast<size_t>(length));
  return text;
}

bool DecodeBase64(const std::string& text, std::string& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0 || text.size() > (1u << 20)) return false;
  size_t padding = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '+' || c == '/';
    if (c == '=') {
      if (i + 2 < text.size()) return false;
      ++padding;
    } else if (!alphabet || padding > 0) {
      return false;
    }
  }
  if (text.empty()) return true;
  bytes.resize(text.size() / 4 * 3);
  int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                               reinterpret_cast<const unsigned char*>(text.data()),
                               static_cast<int>(text.size()));
  if (length < 0 || static_cast<size_t>(length) < padding) return false;
  bytes.resize(static_cast<size_t>(length) - padding);
  return true;
}

}  // namespace ZelSample
