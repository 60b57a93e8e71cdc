#include "PublicAddress.h"

#include <arpa/inet.h>

#include <cctype>
#include <string_view>
#include <vector>

namespace ZelServer {

namespace {

// The longest host name DNS allows.
constexpr size_t kMaxHostName = 253;

bool IsPort(const std::string& text) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  long port = std::stol(text);
  return port >= 1 && port <= 65535;
}

// Labels of letters, digits and '-' between dots (an IPv4 literal is one).
bool IsHostName(const std::string& text) {
  if (text.empty() || text.size() > kMaxHostName) return false;
  size_t label = 0;
  for (char c : text) {
    if (c == '.') {
      if (label == 0) return false;
      label = 0;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') {
      if (++label > 63) return false;
    } else {
      return false;
    }
  }
  return label > 0;
}

bool IsIpv6Literal(const std::string& text) {
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return false;
  std::string inside = text.substr(1, text.size() - 2);
  unsigned char address[16];
  return inet_pton(AF_INET6, inside.c_str(), address) == 1;
}

// Splits "HOST[:PORT]" after the brackets of an IPv6 literal.
bool SplitHostAndPort(const std::string& text, std::string& host, std::string& port) {
  size_t colon = std::string::npos;
  if (!text.empty() && text.front() == '[') {
    size_t close = text.find(']');
    if (close == std::string::npos) return false;
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return false;
      colon = close + 1;
    }
  } else {
    colon = text.find(':');
  }
  host = text.substr(0, colon);
  port = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  return colon == std::string::npos || IsPort(port);
}

// The one value of a header, or empty when it is missing or repeated; a
// proxy's comma-separated list counts by its first element.
std::string Single(const ZelHttp::PageRequest& request, const char* name, bool firstOfList) {
  std::vector<std::string> values = request.Values(name);
  if (values.size() != 1) return std::string();
  std::string value = values.front();
  if (firstOfList) value = value.substr(0, value.find(','));
  size_t first = value.find_first_not_of(" \t");
  size_t last = value.find_last_not_of(" \t");
  return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

bool IsHostAndPort(const std::string& text) {
  std::string host, port;
  if (text.size() > kMaxHostName + 8 || !SplitHostAndPort(text, host, port)) return false;
  return IsHostName(host) || IsIpv6Literal(host);
}

bool ParsePublicUrl(const std::string& text, const std::string& servicePath, std::string& url,
                    std::string& error) {
  size_t scheme = text.find("://");
  std::string name = scheme == std::string::npos ? std::string() : Lower(text.substr(0, scheme));
  if (name != "http" && name != "https") {
    error = "the public URL must start with http:// or https://";
    return false;
  }
  std::string rest = text.substr(scheme + 3);
  size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  std::string path = slash == std::string::npos ? std::string() : rest.substr(slash);
  if (!IsHostAndPort(authority)) {
    error = "the public URL needs a host name or IP literal, with an optional port";
    return false;
  }
  for (char c : path) {
    // Unreserved characters and escapes only: the URL goes into XML as it is.
    bool plain = std::isalnum(static_cast<unsigned char>(c)) ||
                 std::string_view("/-._~%").find(c) != std::string_view::npos;
    if (!plain) {
      error = "the public URL's path may hold letters, digits, \"/-._~\" and %-escapes only";
      return false;
    }
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty() || path == "/") path = servicePath;
  url = name + "://" + authority + path;
  return true;
}

PublicAddress::PublicAddress(AddressSettings settings) : _settings(std::move(settings)) {}

void PublicAddress::SetBoundUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(_mutex);
  _boundUrl = url;
}

std::string PublicAddress::For(const ZelHttp::PageRequest& request) const {
  if (!_settings.publicUrl.empty()) return _settings.publicUrl;
  std::string scheme = _settings.scheme;
  std::string host;
  if (_settings.trustForwarded) {
    std::string proto = Lower(Single(request, "X-Forwarded-Proto", true));
    if (proto == "http" || proto == "https") scheme = proto;
    host = Single(request, "X-Forwarded-Host", true);
    if (!IsHostAndPort(host)) host.clear();
  }
  if (host.empty()) host = Single(request, "Host", false);
  if (!IsHostAndPort(host)) {
    std::lock_guard<std::mutex> lock(_mutex);
    return _boundUrl;
  }
  return scheme + "://" + host + _settings.path;
}

}  // namespace ZelServer
