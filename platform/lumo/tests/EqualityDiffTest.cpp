// Equality and diff of reference-held properties, and of data objects.
#include <Lumo/Lumo.h>
#include <LumoTest/Base.h>
#include <LumoTest/Derived.h>
#include <LumoTest/Other.h>
#include <gtest/gtest.h>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::AreEqualAnysInt;
using Lumo::DiffAnyPropertiesInt;
using Lumo::kFlagArray;
using Lumo::kFlagOptional;

std::vector<std::string> Paths(const Lumo::PropertyDiffSet& diffs) {
  std::vector<std::string> paths;
  for (const auto& p : diffs.GetChanged()) paths.push_back(p.ToString());
  return paths;
}

TEST(AreEqualAnys, NullsOnBothSidesAreEqual) {
  EXPECT_TRUE(AreEqualAnysInt(nullptr, nullptr, 0, false));
  EXPECT_TRUE(AreEqualAnysInt(nullptr, nullptr, kFlagOptional, true));
}

TEST(AreEqualAnys, LooseMatchAcceptsAMissingValueOnTheOtherSideOfAnOptional) {
  auto value = MakeRef<LumoTest::Other>();
  EXPECT_FALSE(AreEqualAnysInt(value.Get(), nullptr, kFlagOptional, false));
  EXPECT_TRUE(AreEqualAnysInt(value.Get(), nullptr, kFlagOptional, true));
  // Only for optional properties, and only for the other side.
  EXPECT_FALSE(AreEqualAnysInt(value.Get(), nullptr, 0, true));
  EXPECT_FALSE(AreEqualAnysInt(nullptr, value.Get(), kFlagOptional, true));
}

TEST(AreEqualAnys, DifferentClassesAreUnequal) {
  auto base = MakeRef<LumoTest::Base>();
  auto derived = MakeRef<LumoTest::Derived>();
  auto text = MakeRef<Lumo::Primitive<std::string>>("x");
  EXPECT_FALSE(AreEqualAnysInt(base.Get(), derived.Get(), 0, false));
  EXPECT_FALSE(AreEqualAnysInt(derived.Get(), base.Get(), 0, true));
  // Boxed values of different classes are unequal here (no exception).
  auto number = MakeRef<Lumo::Primitive<int32_t>>(1);
  EXPECT_FALSE(AreEqualAnysInt(text.Get(), number.Get(), 0, false));
}

TEST(AreEqualAnys, ManagedObjectReferencesCompareByValue) {
  auto a = MakeRef<Lumo::MoRef>("zel.Task", "t1");
  auto b = MakeRef<Lumo::MoRef>("zel.Task", "t1");
  auto c = MakeRef<Lumo::MoRef>("zel.Task", "t2");
  EXPECT_TRUE(AreEqualAnysInt(a.Get(), b.Get(), 0, false));
  EXPECT_FALSE(AreEqualAnysInt(a.Get(), c.Get(), 0, false));
  EXPECT_FALSE(AreEqualAnysInt(a.Get(), nullptr, 0, true));
  EXPECT_TRUE(AreEqualAnysInt(a.Get(), nullptr, kFlagOptional, true));
}

TEST(AreEqualAnys, EmptyAndNullArraysAreTheSameForArrayProperties) {
  auto empty = MakeRef<Lumo::Array<std::string>>();
  EXPECT_TRUE(AreEqualAnysInt(empty.Get(), nullptr, kFlagArray, false));
  EXPECT_TRUE(AreEqualAnysInt(nullptr, empty.Get(), kFlagArray | kFlagOptional, false));
  // An anyType value that happens to be an empty array is still a value.
  EXPECT_FALSE(AreEqualAnysInt(empty.Get(), nullptr, 0, false));
}

TEST(AreEqualAnys, LooseMatchReachesIntoNestedObjects) {
  auto a = MakeRef<LumoTest::Base>();
  auto b = MakeRef<LumoTest::Base>();
  a->SetCount(int64_t{3});
  EXPECT_TRUE(AreEqualAnysInt(a.Get(), b.Get(), 0, true));
  EXPECT_FALSE(AreEqualAnysInt(a.Get(), b.Get(), 0, false));
  EXPECT_FALSE(AreEqualAnysInt(b.Get(), a.Get(), 0, true));
}

TEST(DiffAnyProperties, RecordsNothingForEqualValuesOrTwoNulls) {
  Lumo::PropertyDiffSet diffs;
  DiffAnyPropertiesInt(nullptr, nullptr, "p", ".x", 0, diffs);
  auto a = MakeRef<Lumo::MoRef>("t", "1");
  auto b = MakeRef<Lumo::MoRef>("t", "1");
  DiffAnyPropertiesInt(a.Get(), b.Get(), "p", ".ref", 0, diffs);
  EXPECT_TRUE(diffs.IsEmpty());
}

TEST(DiffAnyProperties, RecordsOnePathForMissingOrForeignValues) {
  Lumo::PropertyDiffSet diffs;
  auto a = MakeRef<Lumo::MoRef>("t", "1");
  auto c = MakeRef<Lumo::MoRef>("t", "2");
  auto other = MakeRef<LumoTest::Other>();
  DiffAnyPropertiesInt(a.Get(), nullptr, "p", ".missing", kFlagOptional, diffs);
  DiffAnyPropertiesInt(nullptr, a.Get(), "p", ".appeared", kFlagOptional, diffs);
  DiffAnyPropertiesInt(a.Get(), other.Get(), "p", ".foreign", 0, diffs);
  DiffAnyPropertiesInt(a.Get(), c.Get(), "p", ".ref", 0, diffs);
  EXPECT_EQ(Paths(diffs),
            (std::vector<std::string>{"p.missing", "p.appeared", "p.foreign", "p.ref"}));
}

TEST(DiffAnyProperties, RecursesIntoDataObjectsOfTheSameClass) {
  auto a = MakeRef<LumoTest::Derived>();
  auto b = MakeRef<LumoTest::Derived>();
  b->SetName("x");
  b->SetTag("t");
  Lumo::PropertyDiffSet diffs;
  DiffAnyPropertiesInt(a.Get(), b.Get(), "root", ".nested", 0, diffs);
  // Parent properties come first, in record order.
  EXPECT_EQ(Paths(diffs), (std::vector<std::string>{"root.nested.name", "root.nested.tag"}));
}

TEST(DataObjectDiff, SameInstantInAnotherZoneIsNoChange) {
  auto a = MakeRef<LumoTest::Derived>();
  auto b = MakeRef<LumoTest::Derived>();
  a->SetWhen(Kestrum::System::DateTime::FromLocal(2024, 5, 1, 10, 0, 0, 0, 120));
  b->SetWhen(Kestrum::System::DateTime::FromLocal(2024, 5, 1, 8, 0, 0, 0, 0));
  EXPECT_TRUE(a->_IsEqual(b.Get()));
  Lumo::PropertyDiffSet diffs;
  a->_DiffProperties(b.Get(), "", diffs);
  EXPECT_TRUE(diffs.IsEmpty());
}

TEST(DataObjectDiff, ArrayPropertyIsOnePathWhateverChangedInside) {
  auto a = MakeRef<LumoTest::Base>();
  a->SetItems(new Lumo::DataArray<LumoTest::Base>);
  a->GetItems()->Append(new LumoTest::Base);
  Ref<LumoTest::Base> b(a->_Clone());
  b->GetItems()->Get(0)->SetName("inner change");
  Lumo::PropertyDiffSet diffs;
  a->_DiffProperties(b.Get(), "obj", diffs);
  EXPECT_EQ(Paths(diffs), (std::vector<std::string>{"obj.items"}));
  // An empty array against none is no change.
  auto c = MakeRef<LumoTest::Base>();
  auto d = MakeRef<LumoTest::Base>();
  c->SetItems(new Lumo::DataArray<LumoTest::Base>);
  Lumo::PropertyDiffSet none;
  c->_DiffProperties(d.Get(), "obj", none);
  EXPECT_TRUE(none.IsEmpty());
}

TEST(DataObjectDiff, RecordDrivenDiffMatchesTheClassDiff) {
  auto a = MakeRef<LumoTest::Derived>();
  auto b = MakeRef<LumoTest::Derived>();
  b->SetCount(int64_t{1});
  b->SetChild(new Lumo::Primitive<std::string>("c"));
  b->SetWhen(Kestrum::System::DateTime(5));
  Lumo::PropertyDiffSet byClass;
  Lumo::PropertyDiffSet byRecords;
  a->_DiffProperties(b.Get(), "x", byClass);
  a->Lumo::DynamicData::_DiffProperties(b.Get(), "x", byRecords);
  EXPECT_EQ(Paths(byClass), (std::vector<std::string>{"x.count", "x.child", "x.when"}));
  EXPECT_EQ(Paths(byRecords), Paths(byClass));
  EXPECT_TRUE(byClass.Contains("x.child"));
  EXPECT_FALSE(byClass.Contains("x.name"));
}

}  // namespace
