// Cookies as transports carry them beside a call: the Cookie request header (a
// list of name=value pairs) and the Set-Cookie response header (one pair and
// its attributes). Clients that keep cookies and endpoints that keep sessions
// by cookie read and write them here, so that both sides agree on the syntax.
//
// Reading is lenient where browsers are (spaces around names and values, a
// stray pair without '=' in a Cookie list) and refuses what no well-behaved
// peer sends: headers over the limits below (except when looking for one
// cookie), names that are empty or hold spaces or control characters, values
// with control characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Lumo {
namespace Wire {

// Longer Cookie or Set-Cookie header values are refused whole.
inline constexpr size_t kMaxCookieHeaderBytes = 8192;
// A Cookie header with more pairs is refused whole.
inline constexpr size_t kMaxCookiesPerHeader = 64;

struct Cookie {
  std::string name;
  std::string value;
};

// The pairs of a Cookie header ("a=1; b=2"), in order, names and values
// trimmed of spaces and tabs. Pairs that are not NAME=VALUE with a valid
// name and value are skipped. False (and no pairs) for a header over the
// limits.
bool ParseCookieHeader(std::string_view header, std::vector<Cookie>& cookies);

// The value of the first valid cookie of that name in a Cookie header, or
// empty. Neither the count of other cookies nor the header's length hides it
// (the transport bounds the length of headers).
std::string FindCookie(std::string_view header, std::string_view name);

// Appends "name=value" to a Cookie header, after "; " when it holds pairs.
void AppendCookie(std::string& header, std::string_view name, std::string_view value);

// One Set-Cookie header value: "zel_session=abc; Path=/; HttpOnly".
struct SetCookie {
  std::string name;
  std::string value;
  // Max-Age in seconds, when given as an integer (clamped to +-2^62).
  std::optional<int64_t> maxAge;
  // Expires, when it is a date in the form HTTP dates take
  // ("Sun, 06 Nov 1994 08:49:37 GMT", or with dashes between day, month and
  // year); an Expires that does not read is ignored.
  std::optional<std::time_t> expires;
  std::string path;
  std::string domain;
  bool secure = false;
  bool httpOnly = false;

  // Whether the cookie is to be dropped rather than kept at time now: a
  // Max-Age of zero or less or, without Max-Age (which takes precedence),
  // an Expires not after now.
  bool Removes(std::time_t now) const;
};

// Reads a Set-Cookie header value: the NAME=VALUE pair up to the first ';',
// then the attributes (names case-insensitive; unknown ones ignored). False
// for a header over the limit, a first pair without '=', an empty or invalid
// name, or a value with control characters.
bool ParseSetCookie(std::string_view header, SetCookie& cookie);

}  // namespace Wire
}  // namespace Lumo
