// Small text helpers for HTTP header values, shared by the server and the
// client side.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace ZelHttp {
namespace Detail {

inline std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

inline std::string Trim(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// Whether a Content-Type names a SOAP message.
inline bool IsXml(std::string_view contentType) {
  std::string type = Lower(Trim(contentType.substr(0, contentType.find(';'))));
  return type == "text/xml" || type == "application/soap+xml";
}

// Whether a Content-Encoding value leaves the body as it is ("", "identity").
inline bool IsIdentityEncoding(std::string_view encoding) {
  std::string value = Lower(Trim(encoding));
  return value.empty() || value == "identity";
}

// The SOAP action without the quotes SOAP 1.1 puts around it.
inline std::string Unquote(std::string_view action) {
  std::string value = Trim(action);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace Detail
}  // namespace ZelHttp
