#include <Kestrum/DateTime.h>

#include <cstdio>
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

std::string DateTime::ToString() const {
  int64_t local = _utc + static_cast<int64_t>(_zone) * 60 * kMicrosPerSecond;
  int64_t days = FloorDiv(local, kMicrosPerDay);
  int64_t inDay = local - days * kMicrosPerDay;
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, year, month, day);
  int64_t seconds = inDay / kMicrosPerSecond;
  int64_t micros = inDay % kMicrosPerSecond;
  char buffer[64];
  int n = std::snprintf(
      buffer, sizeof buffer, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", static_cast<long long>(year),
      month, day, static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
      static_cast<long long>(seconds % 60));
  std::string text(buffer, static_cast<size_t>(n));
  if (micros != 0) {
    std::snprintf(buffer, sizeof buffer, ".%06lld", static_cast<long long>(micros));
    text += buffer;
  }
  if (_zone == 0) {
    text += "Z";
  } else {
    int32_t magnitude = std::abs(_zone);
    std::snprintf(buffer, sizeof buffer, "%c%02d:%02d", _zone < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    text += buffer;
  }
  return text;
}

}  // namespace System
}  // namespace Kestrum
