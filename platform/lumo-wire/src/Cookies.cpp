#include <Lumo/Wire/Cookies.h>
#include <time.h>

#include <cctype>
#include <utility>

namespace Lumo {
namespace Wire {

namespace {

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::string_view();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool IsControl(char c) {
  auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

bool IsValidName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (IsControl(c) || c == ' ' || c == '"' || c == ',') return false;
  }
  return true;
}

bool IsValidValue(std::string_view value) {
  for (char c : value) {
    if (IsControl(c)) return false;
  }
  return true;
}

// Splits "name=value" (trimmed); false without '=' or with an invalid part.
bool SplitPair(std::string_view pair, std::string_view& name, std::string_view& value) {
  size_t equals = pair.find('=');
  if (equals == std::string_view::npos) return false;
  name = Trim(pair.substr(0, equals));
  value = Trim(pair.substr(equals + 1));
  return IsValidName(name) && IsValidValue(value);
}

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// An optional '-' and digits; longer numbers are clamped, as any of them
// lies far beyond a cookie's life.
std::optional<int64_t> ParseMaxAge(std::string_view text) {
  constexpr int64_t kClamp = int64_t{1} << 62;
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int64_t seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = seconds > kClamp / 10 ? kClamp : seconds * 10 + (c - '0');
  }
  if (seconds > kClamp) seconds = kClamp;
  return negative ? -seconds : seconds;
}

// "Sun, 06 Nov 1994 08:49:37 GMT" or "Sunday, 06-Nov-1994 08:49:37 GMT".
std::optional<std::time_t> ParseHttpDate(std::string_view text) {
  if (text.size() > 64) return std::nullopt;
  std::string copy(text);
  for (const char* format : {"%a, %d %b %Y %H:%M:%S GMT", "%a, %d-%b-%Y %H:%M:%S GMT"}) {
    std::tm fields{};
    const char* end = strptime(copy.c_str(), format, &fields);
    if (end != nullptr && *end == '\0') return timegm(&fields);
  }
  return std::nullopt;
}

}  // namespace

bool ParseCookieHeader(std::string_view header, std::vector<Cookie>& cookies) {
  cookies.clear();
  if (header.size() > kMaxCookieHeaderBytes) return false;
  size_t start = 0;
  while (start <= header.size()) {
    size_t end = header.find(';', start);
    if (end == std::string_view::npos) end = header.size();
    std::string_view name;
    std::string_view value;
    if (SplitPair(header.substr(start, end - start), name, value)) {
      if (cookies.size() == kMaxCookiesPerHeader) {
        cookies.clear();
        return false;
      }
      cookies.push_back(Cookie{std::string(name), std::string(value)});
    }
    start = end + 1;
  }
  return true;
}

std::string FindCookie(std::string_view header, std::string_view name) {
  // Pair by pair, keeping none: no number of other cookies can hide this one.
  size_t start = 0;
  while (start <= header.size()) {
    size_t end = header.find(';', start);
    if (end == std::string_view::npos) end = header.size();
    std::string_view pairName;
    std::string_view value;
    if (SplitPair(header.substr(start, end - start), pairName, value) && pairName == name) {
      return std::string(value);
    }
    start = end + 1;
  }
  return std::string();
}

void AppendCookie(std::string& header, std::string_view name, std::string_view value) {
  if (!header.empty()) header += "; ";
  header.append(name);
  header += '=';
  header.append(value);
}

bool SetCookie::Removes(std::time_t now) const {
  if (maxAge) return *maxAge <= 0;
  return expires && *expires <= now;
}

bool ParseSetCookie(std::string_view header, SetCookie& cookie) {
  cookie = SetCookie();
  if (header.size() > kMaxCookieHeaderBytes) return false;
  size_t end = header.find(';');
  std::string_view name;
  std::string_view value;
  if (!SplitPair(header.substr(0, end), name, value)) return false;
  cookie.name = std::string(name);
  cookie.value = std::string(value);
  while (end != std::string_view::npos) {
    size_t start = end + 1;
    end = header.find(';', start);
    std::string_view attribute = header.substr(start, end - start);
    size_t equals = attribute.find('=');
    std::string_view key = Trim(attribute.substr(0, equals));
    std::string_view text =
        equals == std::string_view::npos ? std::string_view() : Trim(attribute.substr(equals + 1));
    // An attribute whose value does not read is ignored; the last one that
    // does counts.
    if (SameLetters(key, "Max-Age")) {
      if (auto seconds = ParseMaxAge(text)) cookie.maxAge = seconds;
    } else if (SameLetters(key, "Expires")) {
      if (auto date = ParseHttpDate(text)) cookie.expires = date;
    } else if (SameLetters(key, "Path")) {
      cookie.path = std::string(text);
    } else if (SameLetters(key, "Domain")) {
      cookie.domain = std::string(text);
    } else if (SameLetters(key, "Secure")) {
      cookie.secure = true;
    } else if (SameLetters(key, "HttpOnly")) {
      cookie.httpOnly = true;
    }
  }
  return true;
}

}  // namespace Wire
}  // namespace Lumo
