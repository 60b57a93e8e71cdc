// Kestrum::System::DateTime.
#include <Kestrum/DateTime.h>
#include <gtest/gtest.h>

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

}  // namespace
