#include "Text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

std::string_view Trim(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

char* FormatInt(char* out, int64_t value) {
  return std::to_chars(out, out + kMaxNumberText, value).ptr;
}

char* FormatDouble(char* out, double value) {
  if (std::isnan(value)) {
    std::memcpy(out, "NaN", 3);
    return out + 3;
  }
  if (std::isinf(value)) {
    if (value < 0) {
      std::memcpy(out, "-INF", 4);
      return out + 4;
    }
    std::memcpy(out, "INF", 3);
    return out + 3;
  }
  return std::to_chars(out, out + kMaxNumberText, value).ptr;
}

char* FormatDateTime(char* out, const Kestrum::System::DateTime& value) {
  return value.WriteText(out);
}

bool ParseBool(std::string_view text, bool& value) {
  text = Trim(text);
  if (text == "true" || text == "1") {
    value = true;
  } else if (text == "false" || text == "0") {
    value = false;
  } else {
    return false;
  }
  return true;
}

template <class T>
bool ParseInteger(std::string_view text, T& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool ParseInt32(std::string_view text, int32_t& value) { return ParseInteger(text, value); }
bool ParseInt64(std::string_view text, int64_t& value) { return ParseInteger(text, value); }

bool ParseDouble(std::string_view text, double& value) {
  text = Trim(text);
  if (text == "INF" || text == "+INF") {
    value = std::numeric_limits<double>::infinity();
    return true;
  }
  if (text == "-INF") {
    value = -std::numeric_limits<double>::infinity();
    return true;
  }
  if (text == "NaN") {
    value = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  // Only XML Schema's forms: digits, one point, an exponent.
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+')) {
      return false;
    }
  }
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool ParseDateTime(std::string_view text, Kestrum::System::DateTime& value) {
  return Kestrum::System::DateTime::ParseText(Trim(text), value);
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
