#include "store/DataUri.h"

namespace ZelSample {

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

bool IsPostgresUri(const std::string& data) {
  return StartsWith(data, "postgresql://") || StartsWith(data, "postgres://");
}

std::string RedactUri(const std::string& uri) {
  std::string out = uri;
  const size_t scheme = out.find("://");
  if (scheme != std::string::npos) {
    const size_t start = scheme + 3;
    const size_t end = out.find_first_of("/?", start);
    const size_t at = out.rfind('@', end == std::string::npos ? out.size() : end);
    if (at != std::string::npos && at >= start) {
      const size_t colon = out.find(':', start);
      if (colon != std::string::npos && colon < at) out.replace(colon + 1, at - colon - 1, "***");
    }
  }
  // Query parameters: password=VALUE up to the next '&'.
  const size_t query = out.find('?');
  for (size_t at = query; at != std::string::npos && at < out.size();) {
    const size_t name = at + 1;
    const size_t next = out.find('&', name);
    if (out.compare(name, 9, "password=") == 0) {
      const size_t value = name + 9;
      const size_t stop = next == std::string::npos ? out.size() : next;
      out.replace(value, stop - value, "***");
      at = out.find('&', value);
    } else {
      at = next;
    }
  }
  return out;
}

}  // namespace ZelSample
