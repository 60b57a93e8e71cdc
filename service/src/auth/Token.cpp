#include <Kestrum/DateTime.h>
#include <ZelSample/Token.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <pugixml.hpp>
#include <random>
#include <sstream>

namespace ZelSample {

namespace {

constexpr size_t kMaxSubjectBytes = 256;
constexpr size_t kMaxIssuerBytes = 256;
constexpr int64_t kSecondsPerDay = 86400;

bool IsKnownPrivilege(const std::string& name) {
  return name == kPrivilegeView || name == kPrivilegeUpdate;
}

// The text of an element that holds nothing but text.
bool TextOnly(const pugi::xml_node& node, std::string& text) {
  text.clear();
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata) return false;
    text += child.value();
  }
  return true;
}

std::string Trimmed(const std::string& text) {
  const char* space = " \t\r\n";
  size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(space);
  return text.substr(first, last - first + 1);
}

void Field(std::string& out, const char* name, const std::string& value) {
  out += name;
  out += '=';
  out += std::to_string(value.size());
  out += ':';
  out += value;
  out += '\n';
}

// What the token's elements say, before any check of trust or time.
struct ReadToken {
  DelegatedToken token;
  std::string signature;  // the raw 64 bytes
  std::string keyFingerprint;
};

// The root element of a token document; refuses documents that are not one.
bool FindRoot(const pugi::xml_document& document, pugi::xml_node& root, std::string& reason) {
  for (pugi::xml_node node : document.children()) {
    if (node.type() == pugi::node_doctype) {
      reason = "the token carries a document type declaration";
      return false;
    }
    if (node.type() == pugi::node_element) {
      if (root) {
        reason = "the token has more than one root element";
        return false;
      }
      root = node;
    }
  }
  if (!root || std::strcmp(root.name(), "DelegatedToken") != 0) {
    reason = "the token's root element is not DelegatedToken";
    return false;
  }
  if (std::strcmp(root.attribute("xmlns").value(), kTokenNamespace) != 0) {
    reason = std::string("the token is not in the namespace ") + kTokenNamespace;
    return false;
  }
  if (std::strcmp(root.attribute("version").value(), kTokenVersion) != 0) {
    reason = std::string("the token's version is not ") + kTokenVersion;
    return false;
  }
  return true;
}

bool ReadSignature(const pugi::xml_node& element, const std::string& text, ReadToken& read,
                   std::string& reason) {
  for (pugi::xml_attribute attribute : element.attributes()) {
    const char* name = attribute.name();
    if (std::strcmp(name, "algorithm") != 0 && std::strcmp(name, "key") != 0) {
      reason = std::string("the token's signature has the unknown attribute ") + name;
      return false;
    }
  }
  if (std::strcmp(element.attribute("algorithm").value(), "Ed25519") != 0) {
    reason = "the token's signature is not an Ed25519 signature";
    return false;
  }
  read.keyFingerprint = element.attribute("key").value();
  if (read.keyFingerprint.empty()) {
    reason = "the token's signature does not name its key";
    return false;
  }
  if (!DecodeBase64(text, read.signature) || read.signature.size() != 64) {
    reason = "the token's signature is not 64 bytes in base64";
    return false;
  }
  return true;
}

bool ReadFields(const pugi::xml_node& root, ReadToken& read, std::string& reason) {
  int issuers = 0, subjects = 0, issued = 0, expires = 0, signatures = 0;
  for (pugi::xml_node child : root.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_comment) {
      if (child.type() == pugi::node_pcdata && !Trimmed(child.value()).empty()) {
        reason = "the token has text outside its elements";
        return false;
      }
      continue;
    }
    if (child.type() != pugi::node_element) {
      reason = "the token holds something other than elements";
      return false;
    }
    std::string text;
    if (!TextOnly(child, text)) {
      reason = std::string("the token's element ") + child.name() + " holds elements";
      return false;
    }
    text = Trimmed(text);
    const char* name = child.name();
    if (std::strcmp(name, "Signature") == 0) {
      ++signatures;
      if (!ReadSignature(child, text, read, reason)) return false;
      continue;
    }
    if (child.first_attribute()) {
      reason = std::string("the token's element ") + name + " has attributes";
      return false;
    }
    if (std::strcmp(name, "Issuer") == 0) {
      ++issuers;
      read.token.issuer = text;
    } else if (std::strcmp(name, "Subject") == 0) {
      ++subjects;
      read.token.subject = text;
    } else if (std::strcmp(name, "Privilege") == 0) {
      if (!IsKnownPrivilege(text)) {
        reason = "the token grants the unknown privilege \"" + text + "\"";
        return false;
      }
      read.token.privileges.insert(text);
    } else if (std::strcmp(name, "IssuedAt") == 0 || std::strcmp(name, "Expires") == 0) {
      bool isIssued = name[0] == 'I';
      ++(isIssued ? issued : expires);
      if (!ParseTokenTime(text, isIssued ? read.token.issuedAt : read.token.expires)) {
        reason = std::string("the token's ") + name + " is not a UTC time such as " +
                 FormatTokenTime(0) + ": \"" + text.substr(0, 64) + "\"";
        return false;
      }
    } else {
      reason = std::string("the token has the unknown element ") + name;
      return false;
    }
  }
  if (issuers != 1 || read.token.issuer.empty() || read.token.issuer.size() > kMaxIssuerBytes) {
    reason = "the token must name exactly one issuer of at most " +
             std::to_string(kMaxIssuerBytes) + " bytes";
    return false;
  }
  if (subjects != 1 || read.token.subject.empty()) {
    reason = "the token must name exactly one non-empty subject";
    return false;
  }
  if (read.token.subject.size() > kMaxSubjectBytes) {
    reason = "the token's subject is longer than " + std::to_string(kMaxSubjectBytes) + " bytes";
    return false;
  }
  if (issued != 1 || expires != 1) {
    reason = "the token must carry exactly one IssuedAt and one Expires";
    return false;
  }
  if (signatures == 0) {
    reason = "the token is not signed";
    return false;
  }
  if (signatures > 1) {
    reason = "the token carries more than one signature";
    return false;
  }
  return true;
}

}  // namespace

std::string SigningText(const DelegatedToken& token) {
  std::string text = std::string(kTokenNamespace) + " version " + kTokenVersion + "\n";
  Field(text, "issuer", token.issuer);
  Field(text, "subject", token.subject);
  for (const std::string& privilege : token.privileges) Field(text, "privilege", privilege);
  Field(text, "issuedAt", std::to_string(token.issuedAt));
  Field(text, "expires", std::to_string(token.expires));
  return text;
}

bool VerifyDelegatedToken(const std::string& xml, const TrustedIssuers& trusted, int64_t now,
                          DelegatedToken& token, std::string& reason, int64_t maxLifetimeSeconds) {
  token = DelegatedToken();
  if (xml.size() > kMaxTokenBytes) {
    reason = "the token is larger than " + std::to_string(kMaxTokenBytes) + " bytes";
    return false;
  }
  pugi::xml_document document;
  // parse_doctype keeps a document type declaration in the tree, so that it
  // can be refused; entities are never expanded beyond the predefined ones.
  unsigned options = pugi::parse_default | pugi::parse_doctype;
  pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size(), options);
  if (!parsed) {
    reason = std::string("the token is not well-formed XML: ") + parsed.description() +
             " at offset " + std::to_string(parsed.offset);
    return false;
  }
  pugi::xml_node root;
  ReadToken read;
  if (!FindRoot(document, root, reason) || !ReadFields(root, read, reason)) return false;

  const IssuerPublicKey* key = trusted.Find(read.keyFingerprint);
  if (key == nullptr) {
    reason = "the token is signed with the key " + read.keyFingerprint.substr(0, 80) +
             ", which this service does not trust";
    return false;
  }
  if (!key->Verify(SigningText(read.token), read.signature)) {
    reason = "the token's signature does not match its content: it was altered or forged";
    return false;
  }
  if (read.token.expires <= read.token.issuedAt) {
    reason = "the token expires before it was issued";
    return false;
  }
  if (read.token.expires > read.token.issuedAt + maxLifetimeSeconds) {
    reason = "the token is valid from " + FormatTokenTime(read.token.issuedAt) + " to " +
             FormatTokenTime(read.token.expires) + ", longer than the " +
             std::to_string(maxLifetimeSeconds) + " seconds this service accepts";
    return false;
  }
  if (read.token.issuedAt > now + kMaxClockSkewSeconds) {
    reason = "the token was issued in the future (" + FormatTokenTime(read.token.issuedAt) + ")";
    return false;
  }
  if (now >= read.token.expires) {
    reason = "the token expired at " + FormatTokenTime(read.token.expires);
    return false;
  }
  token = std::move(read.token);
  token.signature = std::move(read.signature);
  if (token.privileges.empty()) token.privileges = {kPrivilegeView, kPrivilegeUpdate};
  return true;
}

std::string SignDelegatedToken(const DelegatedToken& token, const IssuerPrivateKey& key) {
  std::string signature = EncodeBase64(key.Sign(SigningText(token)));
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("DelegatedToken");
  root.append_attribute("xmlns") = kTokenNamespace;
  root.append_attribute("version") = kTokenVersion;
  root.append_child("Issuer").text() = token.issuer.c_str();
  root.append_child("Subject").text() = token.subject.c_str();
  for (const std::string& privilege : token.privileges) {
    root.append_child("Privilege").text() = privilege.c_str();
  }
  root.append_child("IssuedAt").text() = FormatTokenTime(token.issuedAt).c_str();
  root.append_child("Expires").text() = FormatTokenTime(token.expires).c_str();
  pugi::xml_node signed_ = root.append_child("Signature");
  signed_.append_attribute("algorithm") = "Ed25519";
  signed_.append_attribute("key") = key.GetPublicKey().GetFingerprint().c_str();
  signed_.text() = signature.c_str();
  std::ostringstream out;
  document.save(out, "  ", pugi::format_indent | pugi::format_no_declaration);
  return out.str();
}

std::string MakeDelegatedToken(const std::string& subject,
                               const std::vector<std::string>& privileges) {
  DelegatedToken token;
  token.subject = subject;
  token.privileges.insert(privileges.begin(), privileges.end());
  token.issuedAt = TokenClockNow();
  // The tokens minted in one second differ in their expiry, a second less
  // for each minted before in that second (from a random start, for other
  // processes): otherwise they would be one token, and a logout with one
  // would spend them all.
  constexpr int64_t kSpread = 1800;
  static std::mutex mutex;
  static const int64_t start = static_cast<int64_t>(std::random_device()() % kSpread);
  static int64_t second = 0;
  static int64_t before = 0;
  {
    std::lock_guard<std::mutex> lock(mutex);
    before = token.issuedAt == second ? before + 1 : 0;
    second = token.issuedAt;
    token.expires = token.issuedAt + kDefaultTokenLifetimeSeconds - (start + before) % kSpread;
  }
  return SignDelegatedToken(token, DemoIssuerPrivateKey());
}

std::string FormatTokenTime(int64_t seconds) {
  int64_t days = seconds / kSecondsPerDay;
  int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  int64_t year = 0;
  unsigned month = 0, day = 0;
  Kestrum::System::CivilFromDays(days, year, month, day);
  char text[40];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ", static_cast<long long>(year),
                month, day, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                static_cast<int>(rest % 60));
  return text;
}

bool ParseTokenTime(const std::string& text, int64_t& seconds) {
  // Exactly YYYY-MM-DDThh:mm:ssZ.
  static const char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != sizeof kShape - 1) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
  }
  auto number = [&](size_t at, size_t length) {
    int value = 0;
    for (size_t i = at; i < at + length; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  int year = number(0, 4), month = number(5, 2), day = number(8, 2);
  int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return false;
  int64_t days = Kestrum::System::DaysFromCivil(year, static_cast<unsigned>(month),
                                                static_cast<unsigned>(day));
  // A day past the month's end would come back as another date.
  int64_t checkYear = 0;
  unsigned checkMonth = 0, checkDay = 0;
  Kestrum::System::CivilFromDays(days, checkYear, checkMonth, checkDay);
  if (checkMonth != static_cast<unsigned>(month) || checkDay != static_cast<unsigned>(day)) {
    return false;
  }
  seconds = days * kSecondsPerDay + hour * 3600 + minute * 60 + second;
  return true;
}

int64_t TokenClockNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace ZelSample
