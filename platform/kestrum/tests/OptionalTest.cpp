// Representations and assertions of Kestrum::Optional.
#include <Kestrum/DateTime.h>
#include <Kestrum/Optional.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

using Kestrum::Optional;

TEST(OptionalValue, StartsUnsetAndHoldsAValueOnceAssigned) {
  Optional<int64_t> v;
  EXPECT_FALSE(v.IsSet());
  EXPECT_EQ(v.GetPtr(), nullptr);
  v = 42;
  ASSERT_TRUE(v.IsSet());
  EXPECT_EQ(v.GetValue(), 42);
  EXPECT_EQ(*v.GetPtr(), 42);
  v.Reset();
  EXPECT_FALSE(v.IsSet());
}

TEST(OptionalValue, EqualityNeedsSamePresenceAndValue) {
  Optional<int64_t> a, b;
  EXPECT_TRUE(a == b);
  a = 1;
  EXPECT_FALSE(a == b);
  b = 2;
  EXPECT_FALSE(a == b);
  b = 1;
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a == Optional<int64_t>(1));
}

TEST(OptionalValue, DateTimesCompareByInstant) {
  using Kestrum::System::DateTime;
  Optional<DateTime> a(DateTime::FromLocal(2024, 1, 1, 12, 0, 0, 0, 60));
  Optional<DateTime> b(DateTime::FromLocal(2024, 1, 1, 11, 0, 0, 0, 0));
  EXPECT_TRUE(a == b);
}

TEST(OptionalString, IsOnePointerNullWhileUnset) {
  static_assert(sizeof(Optional<std::string>) == sizeof(std::string*));
  Optional<std::string> s;
  EXPECT_FALSE(s.IsSet());
  EXPECT_EQ(s.GetPtr(), nullptr);
  s = "x";
  EXPECT_TRUE(s.IsSet());
  EXPECT_EQ(s.GetValue(), "x");
  // The empty string is a value, not absence.
  s = std::string();
  EXPECT_TRUE(s.IsSet());
}

TEST(OptionalString, CopiesAreDeep) {
  Optional<std::string> a("first");
  Optional<std::string> b(a);
  ASSERT_NE(a.GetPtr(), b.GetPtr());
  b.GetValue() = "changed";
  EXPECT_EQ(a.GetValue(), "first");
  Optional<std::string> c;
  c = a;
  EXPECT_NE(c.GetPtr(), a.GetPtr());
  EXPECT_TRUE(c == a);
  c = Optional<std::string>();
  EXPECT_FALSE(c.IsSet());
}

TEST(OptionalString, MoveAndSwapHandOverThePointer) {
  Optional<std::string> a("value");
  const std::string* storage = a.GetPtr();
  Optional<std::string> b(std::move(a));
  EXPECT_EQ(b.GetPtr(), storage);
  Optional<std::string> c;
  c.Swap(b);
  EXPECT_EQ(c.GetPtr(), storage);
  EXPECT_FALSE(b.IsSet());
}

TEST(OptionalString, SelfAssignmentKeepsTheValue) {
  Optional<std::string> a("same");
  auto& alias = a;
  a = alias;
  EXPECT_EQ(a.GetValue(), "same");
}

TEST(OptionalBool, IsOneSignedByte) {
  static_assert(sizeof(Optional<bool>) == 1);
  Optional<bool> b;
  EXPECT_LT(b.GetRaw(), 0);
  EXPECT_EQ(b.GetPtr(), nullptr);
  b = false;
  EXPECT_EQ(b.GetRaw(), 0);
  EXPECT_FALSE(b.GetValue());
  ASSERT_NE(b.GetPtr(), nullptr);
  EXPECT_FALSE(*b.GetPtr());
  b = true;
  EXPECT_EQ(b.GetRaw(), 1);
  EXPECT_TRUE(*b.GetPtr());
  b.Reset();
  EXPECT_FALSE(b.IsSet());
}

TEST(OptionalBool, FalseIsSetAndDiffersFromUnset) {
  Optional<bool> unset, no(false), yes(true);
  EXPECT_FALSE(unset == no);
  EXPECT_FALSE(no == yes);
  EXPECT_TRUE(no == Optional<bool>(false));
  EXPECT_TRUE(unset == Optional<bool>());
}

using OptionalDeathTest = ::testing::Test;

TEST_F(OptionalDeathTest, ReadingUnsetValuesAssertsWithTheLineOfTheRepresentation) {
  Optional<int64_t> number;
  Optional<Kestrum::System::DateTime> date;
  Optional<std::string> text;
  Optional<bool> flag;
  EXPECT_DEATH((void)number.GetValue(), "ASSERT Kestrum/Optional:105\n");
  EXPECT_DEATH((void)date.GetValue(), "ASSERT Kestrum/Optional:105\n");
  EXPECT_DEATH((void)text.GetValue(), "ASSERT Kestrum/Optional:514\n");
  EXPECT_DEATH((void)flag.GetValue(), "ASSERT Kestrum/Optional:675\n");
}

TEST_F(OptionalDeathTest, AssigningABoolByteOtherThanZeroOrOneAsserts) {
  bool corrupt;
  const unsigned char two = 2;
  std::memcpy(&corrupt, &two, 1);
  Optional<bool> flag;
  EXPECT_DEATH(flag = corrupt, "ASSERT Kestrum/Optional:696\n");
  EXPECT_DEATH(Optional<bool>{corrupt}, "ASSERT Kestrum/Optional:696\n");
}

}  // namespace
