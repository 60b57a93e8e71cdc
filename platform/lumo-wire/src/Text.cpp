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

char* Digits(char* out, int64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

bool ReadDigits(std::string_view& text, int count, int& value) {
  if (text.size() < static_cast<size_t>(count)) return false;
  value = 0;
  for (int i = 0; i < count; ++i) {
    char c = text[static_cast<size_t>(i)];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  text.remove_prefix(static_cast<size_t>(count));
  return true;
}

bool Expect(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

constexpr int64_t kMicrosPerDay = 86400LL * 1000000LL;

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
  int32_t zone = value.GetZoneOffset();
  int64_t local = value.GetUtcTime() + static_cast<int64_t>(zone) * 60 * 1000000;
  int64_t days = local / kMicrosPerDay;
  int64_t rest = local % kMicrosPerDay;
  if (rest < 0) {
    rest += kMicrosPerDay;
    --days;
  }
  int64_t year;
  unsigned month, day;
  Kestrum::System::CivilFromDays(days, year, month, day);
  if (year < 1 || year > 9999) return nullptr;  // outside what four digits show
  int64_t seconds = rest / 1000000;
  int64_t micros = rest % 1000000;
  out = Digits(out, year, 4);
  *out++ = '-';
  out = Digits(out, month, 2);
  *out++ = '-';
  out = Digits(out, day, 2);
  *out++ = 'T';
  out = Digits(out, seconds / 3600, 2);
  *out++ = ':';
  out = Digits(out, seconds / 60 % 60, 2);
  *out++ = ':';
  out = Digits(out, seconds % 60, 2);
  if (micros) {
    *out++ = '.';
    out = Digits(out, micros, 6);
  }
  if (zone == 0) {
    *out++ = 'Z';
  } else {
    int32_t a = zone < 0 ? -zone : zone;
    *out++ = zone < 0 ? '-' : '+';
    out = Digits(out, a / 60, 2);
    *out++ = ':';
    out = Digits(out, a % 60, 2);
  }
  return out;
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
  text = Trim(text);
  int year, month, day, hour, minute, second;
  if (!ReadDigits(text, 4, year) || !Expect(text, '-') || !ReadDigits(text, 2, month) ||
      !Expect(text, '-') || !ReadDigits(text, 2, day) || !Expect(text, 'T') ||
      !ReadDigits(text, 2, hour) || !Expect(text, ':') || !ReadDigits(text, 2, minute) ||
      !Expect(text, ':') || !ReadDigits(text, 2, second)) {
    return false;
  }
  int micros = 0;
  if (!text.empty() && text.front() == '.') {
    text.remove_prefix(1);
    int digits = 0;
    while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
      if (digits < 6) micros = micros * 10 + (text.front() - '0');
      ++digits;
      text.remove_prefix(1);
    }
    if (digits == 0) return false;
    for (int i = digits; i < 6; ++i) micros *= 10;
  }
  int zone = 0;
  if (!text.empty()) {
    char sign = text.front();
    if (sign == 'Z') {
      text.remove_prefix(1);
    } else if (sign == '+' || sign == '-') {
      text.remove_prefix(1);
      int zh, zm;
      if (!ReadDigits(text, 2, zh) || !Expect(text, ':') || !ReadDigits(text, 2, zm)) return false;
      if (zh > 14 || zm > 59) return false;
      zone = (zh * 60 + zm) * (sign == '-' ? -1 : 1);
    } else {
      return false;
    }
  }
  if (!text.empty()) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59 || day < 1) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int monthDays = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > monthDays) return false;
  int64_t days = Kestrum::System::DaysFromCivil(year, static_cast<unsigned>(month),
                                                static_cast<unsigned>(day));
  int64_t local = days * kMicrosPerDay +
                  (static_cast<int64_t>(hour) * 3600 + minute * 60 + second) * 1000000LL + micros;
  value = Kestrum::System::DateTime(local - static_cast<int64_t>(zone) * 60 * 1000000, zone);
  return true;
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
