#include "TextForms.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace Lumo {
namespace Json {
namespace Detail {

namespace {

constexpr int64_t kMicrosPerDay = 86400LL * 1000000LL;

void AppendDigits(std::string& out, int64_t value, int width) {
  char buffer[24];
  for (int i = width - 1; i >= 0; --i) {
    buffer[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out.append(buffer, static_cast<size_t>(width));
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

}  // namespace

void AppendQuoted(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  out.push_back('"');
  size_t run = 0;  // start of the characters not yet copied
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.data() + run, i - run);
    run = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += "\\u00";
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 0xF]);
        break;
    }
  }
  out.append(text.data() + run, text.size() - run);
  out.push_back('"');
}

void AppendDouble(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "\"NaN\"";
  } else if (std::isinf(value)) {
    out += value < 0 ? "\"-INF\"" : "\"INF\"";
  } else {
    char buffer[32];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  }
}

bool NonFiniteDouble(std::string_view text, double& value) {
  if (text == "NaN") {
    value = std::numeric_limits<double>::quiet_NaN();
  } else if (text == "INF") {
    value = std::numeric_limits<double>::infinity();
  } else if (text == "-INF") {
    value = -std::numeric_limits<double>::infinity();
  } else {
    return false;
  }
  return true;
}

bool FormatDateTime(const Kestrum::System::DateTime& value, std::string& out) {
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
  if (year < 1 || year > 9999) return false;  // outside what four digits show
  int64_t seconds = rest / 1000000;
  int64_t micros = rest % 1000000;
  out.push_back('"');
  AppendDigits(out, year, 4);
  out.push_back('-');
  AppendDigits(out, month, 2);
  out.push_back('-');
  AppendDigits(out, day, 2);
  out.push_back('T');
  AppendDigits(out, seconds / 3600, 2);
  out.push_back(':');
  AppendDigits(out, seconds / 60 % 60, 2);
  out.push_back(':');
  AppendDigits(out, seconds % 60, 2);
  if (micros) {
    out.push_back('.');
    AppendDigits(out, micros, 6);
  }
  if (zone == 0) {
    out.push_back('Z');
  } else {
    int32_t a = zone < 0 ? -zone : zone;
    out.push_back(zone < 0 ? '-' : '+');
    AppendDigits(out, a / 60, 2);
    out.push_back(':');
    AppendDigits(out, a % 60, 2);
  }
  out.push_back('"');
  return true;
}

bool ParseDateTime(std::string_view text, Kestrum::System::DateTime& value) {
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
    text.remove_prefix(1);
    if (sign == '+' || sign == '-') {
      int zh, zm;
      if (!ReadDigits(text, 2, zh) || !Expect(text, ':') || !ReadDigits(text, 2, zm)) return false;
      if (zh > 14 || zm > 59) return false;
      zone = (zh * 60 + zm) * (sign == '-' ? -1 : 1);
    } else if (sign != 'Z') {
      return false;
    }
  }
  if (!text.empty()) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59 || day < 1) {
    return false;
  }
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
  int64_t days = Kestrum::System::DaysFromCivil(year, static_cast<unsigned>(month),
                                                static_cast<unsigned>(day));
  int64_t local = days * kMicrosPerDay +
                  (static_cast<int64_t>(hour) * 3600 + minute * 60 + second) * 1000000LL + micros;
  value = Kestrum::System::DateTime(local - static_cast<int64_t>(zone) * 60 * 1000000, zone);
  return true;
}

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
