// Date-time values: an instant plus the zone it was expressed in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Kestrum {
namespace System {

class DateTime {
 public:
  // The epoch, 1970-01-01T00:00:00Z.
  DateTime() = default;
  // An instant given as UTC microseconds since the epoch, shown in a zone that
  // lies zoneOffsetMinutes east of UTC.
  explicit DateTime(int64_t utcMicroseconds, int32_t zoneOffsetMinutes = 0)
      : _utc(utcMicroseconds), _zone(zoneOffsetMinutes) {}

  // From a local calendar time in the given zone (proleptic Gregorian).
  static DateTime FromLocal(int year, int month, int day, int hour, int minute, int second,
                            int microsecond = 0, int32_t zoneOffsetMinutes = 0);

  // UTC microseconds since the epoch.
  int64_t GetUtcTime() const { return _utc; }
  int32_t GetZoneOffset() const { return _zone; }

  // ISO 8601 in the value's own zone: "2024-02-29T13:05:00.000250+01:00", or
  // with "Z" for UTC; the fraction only when there is one. A year outside 1
  // to 9999 is written with as many digits as it takes and its sign.
  std::string ToString() const;

  // The most characters WriteText writes.
  static constexpr size_t kMaxText = 40;
  // The same form written at out, as XML Schema's dateTime and JSON carry it,
  // and the end of what was written; null for a year outside 1 to 9999,
  // which four digits cannot show.
  char* WriteText(char* out) const;
  // Reads that form (no surrounding blanks); a missing zone is UTC. False,
  // and value untouched, when the text is not one: a year below 1, a day the
  // month has not, a zone beyond 14 hours.
  static bool ParseText(std::string_view text, DateTime& value);

  // Two date-times are equal when they denote the same instant, whatever zone.
  friend bool operator==(const DateTime& a, const DateTime& b) { return a._utc == b._utc; }

 private:
  int64_t _utc = 0;
  int32_t _zone = 0;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and the date of such a
// day count (years may be negative; months 1 to 12, days 1 to 31).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day);

}  // namespace System
}  // namespace Kestrum
