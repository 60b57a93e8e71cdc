// Kestrum::System::DateTime.
#include <Kestrum/DateTime.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using Kestrum::System::DateTime;

TEST(DateTime, DefaultIsTheEpochInUtc) {
  DateTime d;
  EXPECT_EQ(d.GetUtcTime(), 0);
  EXPECT_EQ(d.ToString(), "1970-01-01T00:00:00Z");
}

TEST(DateTime, SameInstantInDifferentZonesIsEqual) {
  DateTime paris = DateTime::FromLocal(2024, 2, 29, 13, 5, 0, 0, 60);
  DateTime utc = DateTime::FromLocal(2024, 2, 29, 12, 5, 0, 0, 0);
  DateTime newYork = DateTime::FromLocal(2024, 2, 29, 7, 5, 0, 0, -300);
  EXPECT_TRUE(paris == utc);
  EXPECT_TRUE(newYork == paris);
  EXPECT_EQ(paris.GetUtcTime(), utc.GetUtcTime());
  EXPECT_NE(paris.GetZoneOffset(), utc.GetZoneOffset());
}

TEST(DateTime, SameLocalTimeInDifferentZonesDiffers) {
  DateTime a = DateTime::FromLocal(2024, 2, 29, 13, 5, 0, 0, 60);
  DateTime b = DateTime::FromLocal(2024, 2, 29, 13, 5, 0, 0, 0);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);
}

TEST(DateTime, RendersInItsOwnZone) {
  EXPECT_EQ(DateTime::FromLocal(2024, 2, 29, 13, 5, 0, 250, 60).ToString(),
            "2024-02-29T13:05:00.000250+01:00");
  EXPECT_EQ(DateTime::FromLocal(1969, 12, 31, 23, 59, 59, 0, -90).ToString(),
            "1969-12-31T23:59:59-01:30");
  EXPECT_EQ(DateTime(86400LL * 1000000).ToString(), "1970-01-02T00:00:00Z");
}

TEST(DateTime, KnownInstant) {
  // 2000-01-01T00:00:00Z is 946684800 seconds after the epoch.
  EXPECT_EQ(DateTime::FromLocal(2000, 1, 1, 0, 0, 0).GetUtcTime(), 946684800LL * 1000000);
}

TEST(DateTime, TextFormReadsBackToTheSameInstantAndZone) {
  for (DateTime d : {DateTime::FromLocal(2024, 2, 29, 13, 5, 0, 250, 60),
                     DateTime::FromLocal(1, 1, 1, 0, 0, 0, 0, -840),
                     DateTime::FromLocal(9999, 12, 31, 23, 59, 59, 999999, 0)}) {
    char buffer[DateTime::kMaxText];
    char* end = d.WriteText(buffer);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(std::string(buffer, end), d.ToString());
    DateTime back;
    ASSERT_TRUE(DateTime::ParseText(std::string(buffer, end), back));
    EXPECT_EQ(back.GetUtcTime(), d.GetUtcTime());
    EXPECT_EQ(back.GetZoneOffset(), d.GetZoneOffset());
  }
}

TEST(DateTime, TextFormOnlyForFourDigitYears) {
  char buffer[DateTime::kMaxText];
  DateTime early = DateTime::FromLocal(0, 12, 31, 0, 0, 0);
  EXPECT_EQ(early.WriteText(buffer), nullptr);
  EXPECT_EQ(early.ToString(), "0000-12-31T00:00:00Z");
  EXPECT_EQ(DateTime::FromLocal(-44, 3, 15, 0, 0, 0).ToString(), "-0044-03-15T00:00:00Z");
  EXPECT_EQ(DateTime::FromLocal(10000, 1, 1, 0, 0, 0).WriteText(buffer), nullptr);
}

TEST(DateTime, ParsesWhatTheFormAllowsAndNothingElse) {
  DateTime d;
  ASSERT_TRUE(DateTime::ParseText("2024-02-29T13:05:00.1234567-01:30", d));
  EXPECT_EQ(d.ToString(), "2024-02-29T13:05:00.123456-01:30");  // beyond microseconds dropped
  ASSERT_TRUE(DateTime::ParseText("2024-02-29T13:05:00", d));
  EXPECT_EQ(d.GetZoneOffset(), 0);

  const DateTime untouched = DateTime::FromLocal(2000, 1, 1, 0, 0, 0);
  for (const char* bad :
       {"", "2023-02-29T00:00:00Z", "0000-01-01T00:00:00Z", "2024-13-01T00:00:00Z",
        "2024-01-01T24:00:00Z", "2024-01-01T00:00:00.Z", "2024-01-01T00:00:00+15:00",
        "2024-01-01T00:00:00+01", "2024-01-01T00:00:00Z ", " 2024-01-01T00:00:00Z",
        "2024-1-01T00:00:00Z", "2024-01-01 00:00:00Z"}) {
    DateTime value = untouched;
    EXPECT_FALSE(DateTime::ParseText(bad, value)) << bad;
    EXPECT_EQ(value.GetUtcTime(), untouched.GetUtcTime()) << bad;
  }
}

}  // namespace
