// The delegated tokens that the sample service accepts at loginByToken.
//
// A token is a small XML document of the sample token issuer:
//
//   <DelegatedToken xmlns="urn:zel-sample:token" version="1">
//     <Issuer>urn:zel-sample:token-issuer</Issuer>
//     <Subject>alice@sample.test</Subject>
//     <Privilege>StorageProfile.View</Privilege>      (zero or more)
//   </DelegatedToken>
//
// It is well formed when it is XML without a document type declaration, its
// root is DelegatedToken in the token namespace with version "1", it names
// the sample issuer and one non-empty subject, and every privilege it lists is
// one the service knows. A token that lists no privilege grants all of them.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace ZelSample {

inline constexpr char kTokenNamespace[] = "urn:zel-sample:token";
inline constexpr char kTokenIssuer[] = "urn:zel-sample:token-issuer";
inline constexpr char kPrivilegeAnonymous[] = "System.Anonymous";
inline constexpr char kPrivilegeView[] = "StorageProfile.View";
inline constexpr char kPrivilegeUpdate[] = "StorageProfile.Update";
// Tokens larger than this are refused unread.
inline constexpr size_t kMaxTokenBytes = 16 * 1024;

struct DelegatedToken {
  std::string subject;
  std::set<std::string> privileges;  // after defaulting: never empty
};

// Reads a token. On refusal returns false and says why in reason.
bool ParseDelegatedToken(const std::string& xml, DelegatedToken& token, std::string& reason);

// Writes a well-formed token for a subject (what a token issuer would hand a
// client). No privileges: the token grants all.
std::string MakeDelegatedToken(const std::string& subject,
                               const std::vector<std::string>& privileges = {});

}  // namespace ZelSample
