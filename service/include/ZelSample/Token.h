// The delegated tokens that the sample service accepts at loginByToken.
//
// A token is a small XML document, signed by its issuer:
//
//   <DelegatedToken xmlns="urn:zel-sample:token" version="2">
//     <Issuer>urn:zel-sample:token-issuer</Issuer>
//     <Subject>alice@sample.test</Subject>
//     <Privilege>StorageProfile.View</Privilege>      (zero or more)
//     <IssuedAt>2025-03-01T09:00:00Z</IssuedAt>
//     <Expires>2025-03-01T10:00:00Z</Expires>
//     <Signature algorithm="Ed25519" key="SHA256:4f0c...">BASE64</Signature>
//   </DelegatedToken>
//
// The elements may come in any order and are trimmed of surrounding white
// space; times are UTC to the second ("Z" only). The signature is the
// issuer's Ed25519 signature (base64 of 64 bytes) of the token's signing
// text (SigningText below), which holds every field but the signature itself
// in a fixed, unambiguous form; key names the issuer's public key by its
// fingerprint (ZelSample/IssuerKeys.h).
//
// A service accepts a token when it is XML without a document type
// declaration, its root is DelegatedToken in the token namespace with
// version "2", it names one non-empty issuer and subject, every privilege it
// lists is one the service knows, its signature verifies with a key the
// service trusts, and the time of the login lies between IssuedAt (up to
// kMaxClockSkewSeconds early) and Expires, and Expires lies at most the
// service's maximum token lifetime after IssuedAt. A token that lists no privilege
// grants all of them. Anything else is refused with the reason, which the
// service sends back in zel.fault.InvalidLogin.
#pragma once

#include <ZelSample/IssuerKeys.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace ZelSample {

inline constexpr char kTokenNamespace[] = "urn:zel-sample:token";
inline constexpr char kTokenVersion[] = "2";
inline constexpr char kTokenIssuer[] = "urn:zel-sample:token-issuer";
inline constexpr char kPrivilegeAnonymous[] = "System.Anonymous";
inline constexpr char kPrivilegeView[] = "StorageProfile.View";
inline constexpr char kPrivilegeUpdate[] = "StorageProfile.Update";
// Tokens larger than this are refused unread.
inline constexpr size_t kMaxTokenBytes = 16 * 1024;
// How far a token's IssuedAt may lie ahead of the service's clock.
inline constexpr int64_t kMaxClockSkewSeconds = 300;
// The lifetime MakeDelegatedToken gives.
inline constexpr int64_t kDefaultTokenLifetimeSeconds = 3600;
// The longest lifetime (Expires - IssuedAt) a service accepts unless told
// otherwise: a token that leaks is of use for a day at most.
inline constexpr int64_t kDefaultMaxTokenLifetimeSeconds = 24 * 3600;

struct DelegatedToken {
  std::string issuer = kTokenIssuer;
  std::string subject;
  // As listed; VerifyDelegatedToken gives every privilege for an empty list.
  std::set<std::string> privileges;
  // Seconds since the epoch, UTC.
  int64_t issuedAt = 0;
  int64_t expires = 0;
  // Set by VerifyDelegatedToken: the raw signature, which tells this token
  // from every other (what a logout remembers).
  std::string signature;
};

// Reads a token and checks it against the trusted issuers at the time now
// (seconds since the epoch), accepting lifetimes up to maxLifetimeSeconds.
// On refusal returns false and says why in reason.
bool VerifyDelegatedToken(const std::string& xml, const TrustedIssuers& trusted, int64_t now,
                          DelegatedToken& token, std::string& reason,
                          int64_t maxLifetimeSeconds = kDefaultMaxTokenLifetimeSeconds);

// The text an issuer signs: the version line, then one line per field in a
// fixed order (issuer, subject, each privilege in sorted order, issuedAt,
// expires), each "name=<byte length>:<value>".
std::string SigningText(const DelegatedToken& token);

// Writes a token signed with key.
std::string SignDelegatedToken(const DelegatedToken& token, const IssuerPrivateKey& key);

// A token for a subject, issued now and valid for kDefaultTokenLifetimeSeconds
// less up to half an hour (a second less for each token minted before it in
// the same second, so that every token minted is a token of its own), signed
// by the DEMO issuer (what zel-demo and the tests use). No privileges: the
// token grants all.
std::string MakeDelegatedToken(const std::string& subject,
                               const std::vector<std::string>& privileges = {});

// UTC times as tokens write them ("2025-03-01T09:00:00Z"). Parsing refuses
// any other form.
std::string FormatTokenTime(int64_t secondsSinceEpoch);
bool ParseTokenTime(const std::string& text, int64_t& secondsSinceEpoch);
// The current time in seconds since the epoch.
int64_t TokenClockNow();

}  // namespace ZelSample
