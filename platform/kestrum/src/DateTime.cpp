#include <Kestrum/DateTime.h>

#include <cstdlib>

namespace Kestrum {
namespace System {

namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kMicrosPerDay = 86400 * kMicrosPerSecond;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

DateTime DateTime::FromLocal(int year, int month, int day, int hour, int minute, int second,
                             int microsecond, int32_t zoneOffsetMinutes) {
  int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  int64_t local = days * kMicrosPerDay +
                  (static_cast<int64_t>(hour) * 3600 + minute * 60 + second) * kMicrosPerSecond +
                  microsecond;
  return DateTime(local - static_cast<int64_t>(zoneOffsetMinutes) * 60 * kMicrosPerSecond,
                  zoneOffsetMinutes);
}

namespace {

// At least width digits of value, more when it needs them.
char* Digits(char* out, uint64_t value, int width) {
  char reversed[24];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = n; i < width; ++i) *out++ = '0';
  while (n > 0) *out++ = reversed[--n];
  return out;
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

// The text form; with anyYear false, null for a year outside 1 to 9999.
char* Write(char* out, int64_t utc, int32_t zone, bool anyYear) {
  int64_t local = utc + static_cast<int64_t>(zone) * 60 * kMicrosPerSecond;
  int64_t days = FloorDiv(local, kMicrosPerDay);
  int64_t inDay = local - days * kMicrosPerDay;
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, year, month, day);
  if (!anyYear && (year < 1 || year > 9999)) return nullptr;
  if (year < 0) *out++ = '-';
  out = Digits(out, static_cast<uint64_t>(year < 0 ? -year : year), 4);
  int64_t seconds = inDay / kMicrosPerSecond;
  int64_t micros = inDay % kMicrosPerSecond;
  *out++ = '-';
  out = Digits(out, month, 2);
  *out++ = '-';
  out = Digits(out, day, 2);
  *out++ = 'T';
  out = Digits(out, static_cast<uint64_t>(seconds / 3600), 2);
  *out++ = ':';
  out = Digits(out, static_cast<uint64_t>(seconds / 60 % 60), 2);
  *out++ = ':';
  out = Digits(out, static_cast<uint64_t>(seconds % 60), 2);
  if (micros != 0) {
    *out++ = '.';
    out = Digits(out, static_cast<uint64_t>(micros), 6);
  }
  if (zone == 0) {
    *out++ = 'Z';
  } else {
    uint32_t magnitude = static_cast<uint32_t>(std::abs(zone));
    *out++ = zone < 0 ? '-' : '+';
    out = Digits(out, magnitude / 60, 2);
    *out++ = ':';
    out = Digits(out, magnitude % 60, 2);
  }
  return out;
}

}  // namespace

std::string DateTime::ToString() const {
  char buffer[kMaxText + 24];  // room for any year an int64_t of microseconds reaches
  return std::string(buffer, Write(buffer, _utc, _zone, true));
}

char* DateTime::WriteText(char* out) const { return Write(out, _utc, _zone, false); }

bool DateTime::ParseText(std::string_view text, DateTime& value) {
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
      if (digits < 6) micros = micros * 10 + (text.front() - '0');  // finer digits dropped
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
  value = FromLocal(year, month, day, hour, minute, second, micros, zone);
  return true;
}

}  // namespace System
}  // namespace Kestrum
