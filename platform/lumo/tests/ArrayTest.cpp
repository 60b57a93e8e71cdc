// Arrays and boxed values.
#include <Lumo/Lumo.h>
#include <LumoTest/Base.h>
#include <LumoTest/Color.h>
#include <LumoTest/Derived.h>
#include <LumoTest/Other.h>
#include <gtest/gtest.h>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using StringArray = Lumo::Array<std::string>;

Ref<StringArray> Strings(std::initializer_list<std::string> values) {
  return Ref<StringArray>(new StringArray(values));
}

Ref<LumoTest::Base> Named(const std::string& name) {
  auto b = MakeRef<LumoTest::Base>();
  b->SetName(name);
  return b;
}

TEST(ValueArray, OrderMatters) {
  auto ab = Strings({"a", "b"});
  auto ba = Strings({"b", "a"});
  EXPECT_FALSE(ab->_IsEqual(ba.Get()));
  EXPECT_TRUE(ab->_IsEqual(Strings({"a", "b"}).Get()));
  EXPECT_FALSE(ab->_IsEqual(Strings({"a"}).Get()));
}

TEST(ValueArray, DiffRecordsThePrefixAloneOnce) {
  Lumo::PropertyDiffSet diffs;
  Strings({"a", "b"})->_DiffProperties(Strings({"b", "a"}).Get(), "profile.lodeType", diffs);
  ASSERT_EQ(diffs.GetCount(), 1u);
  EXPECT_EQ(diffs.GetChanged()[0].ToString(), "profile.lodeType");
  Lumo::PropertyDiffSet none;
  Strings({"a"})->_DiffProperties(Strings({"a"}).Get(), "x", none);
  EXPECT_TRUE(none.IsEmpty());
}

TEST(ValueArray, AnotherClassIsUnequalWithoutException) {
  auto colors = MakeRef<Lumo::Array<LumoTest::Color>>();
  auto strings = MakeRef<StringArray>();
  EXPECT_FALSE(colors->_IsEqual(strings.Get()));
  EXPECT_FALSE(strings->_IsEqual(colors.Get()));
  auto otherColors = MakeRef<Lumo::Array<LumoTest::Color>>();
  EXPECT_TRUE(colors->_IsEqual(otherColors.Get()));
  auto boxed = MakeRef<Lumo::Primitive<std::string>>("x");
  EXPECT_FALSE(strings->_IsEqual(boxed.Get()));
}

TEST(ValueArray, CloneCopiesElements) {
  auto source = Strings({"a"});
  Ref<StringArray> copy(source->_Clone());
  copy->Set(0, "z");
  copy->Append("b");
  EXPECT_EQ(source->Get(0), "a");
  EXPECT_EQ(source->GetLength(), 1);
  EXPECT_EQ(copy->_GetLength(), 2);
}

TEST(BoxedValue, ComparesValuesOfTheSameClass) {
  auto a = MakeRef<Lumo::Primitive<std::string>>("x");
  auto b = MakeRef<Lumo::Primitive<std::string>>("x");
  auto c = MakeRef<Lumo::Primitive<std::string>>("y");
  EXPECT_TRUE(a->_IsEqual(b.Get()));
  EXPECT_FALSE(a->_IsEqual(c.Get()));
  Lumo::PropertyDiffSet diffs;
  a->_DiffProperties(c.Get(), "p", diffs);
  ASSERT_EQ(diffs.GetCount(), 1u);
  EXPECT_EQ(diffs.GetChanged()[0].ToString(), "p");
}

TEST(BoxedValue, AnotherClassThrowsTypeMismatch) {
  auto color = MakeRef<Lumo::Primitive<LumoTest::Color>>(LumoTest::Color::red);
  auto text = MakeRef<Lumo::Primitive<std::string>>("red");
  auto number = MakeRef<Lumo::Primitive<int32_t>>(0);
  EXPECT_THROW(color->_IsEqual(text.Get()), Kestrum::TypeMismatchException);
  EXPECT_THROW(color->_IsEqual(number.Get()), Kestrum::TypeMismatchException);
  Lumo::PropertyDiffSet diffs;
  EXPECT_THROW(text->_DiffProperties(color.Get(), "p", diffs), Kestrum::TypeMismatchException);
  try {
    text->_IsEqual(number.Get());
  } catch (const Kestrum::TypeMismatchException& e) {
    EXPECT_EQ(e.GetExpected(), "Lumo::Primitive<std::string>");
    EXPECT_EQ(e.GetActual(), "Lumo::Primitive<int>");
  }
}

TEST(BoxedValue, SharedBooleansExistFromTheStart) {
  ASSERT_NE(Lumo::Primitive<bool>::Factory::sTrue, nullptr);
  ASSERT_NE(Lumo::Primitive<bool>::Factory::sFalse, nullptr);
  EXPECT_EQ(Lumo::BoxBool(true), Lumo::Primitive<bool>::Factory::sTrue);
  EXPECT_EQ(Lumo::BoxBool(false), Lumo::Primitive<bool>::Factory::sFalse);
  EXPECT_TRUE(Lumo::BoxBool(true)->GetValue());
  EXPECT_FALSE(Lumo::BoxBool(false)->GetValue());
  // Holding and dropping references never deletes them.
  { Ref<Lumo::Any> held(Lumo::BoxBool(true)); }
  EXPECT_GE(Lumo::BoxBool(true)->GetRefCount(), 1);
}

TEST(DataArray, OrderMattersAndAChangedElementMarksTheWholeArray) {
  auto a = MakeRef<Lumo::DataArray<LumoTest::Base>>();
  a->Append(Named("x").Get());
  a->Append(Named("y").Get());
  auto reversed = MakeRef<Lumo::DataArray<LumoTest::Base>>();
  reversed->Append(Named("y").Get());
  reversed->Append(Named("x").Get());
  EXPECT_FALSE(a->_IsEqual(reversed.Get()));

  Ref<Lumo::DataArray<LumoTest::Base>> copy(a->_Clone());
  EXPECT_TRUE(a->_IsEqual(copy.Get()));
  copy->Get(1)->SetName("changed");
  Lumo::PropertyDiffSet diffs;
  a->_DiffProperties(copy.Get(), "obj.items", diffs);
  ASSERT_EQ(diffs.GetCount(), 1u);
  EXPECT_EQ(diffs.GetChanged()[0].ToString(), "obj.items");
}

TEST(DataArray, DifferentElementClassesAreUnequal) {
  auto bases = MakeRef<Lumo::DataArray<LumoTest::Base>>();
  auto others = MakeRef<Lumo::DataArray<LumoTest::Other>>();
  EXPECT_FALSE(bases->_IsEqual(others.Get()));
  auto anys = MakeRef<Lumo::DataArray<Lumo::Any>>();
  anys->Append(Named("x").Get());
  auto otherAnys = MakeRef<Lumo::DataArray<Lumo::Any>>();
  otherAnys->Append(new LumoTest::Other);
  EXPECT_FALSE(anys->_IsEqual(otherAnys.Get()));
}

TEST(DataArray, ValidElementAcceptsDerivedClassesOnly) {
  auto bases = MakeRef<Lumo::DataArray<LumoTest::Base>>();
  auto derived = MakeRef<LumoTest::Derived>();
  auto other = MakeRef<LumoTest::Other>();
  EXPECT_TRUE(bases->_IsValidElement(derived.Get()));
  EXPECT_FALSE(bases->_IsValidElement(other.Get()));
  bases->Append(derived.Get());
  EXPECT_EQ(bases->Get(0), derived.Get());
  EXPECT_THROW(bases->Append(static_cast<Lumo::Any*>(other.Get())), Kestrum::TypeMismatchException);
  EXPECT_EQ(bases->GetLength(), 1);
  auto derivedOnly = MakeRef<Lumo::DataArray<LumoTest::Derived>>();
  auto base = MakeRef<LumoTest::Base>();
  EXPECT_FALSE(derivedOnly->_IsValidElement(base.Get()));
}

TEST(DataArray, AnyArrayAcceptsEverything) {
  auto anys = MakeRef<Lumo::DataArray<Lumo::Any>>();
  auto number = MakeRef<Lumo::Primitive<int64_t>>(1);
  auto ref = MakeRef<Lumo::MoRef>("t", "i");
  EXPECT_TRUE(anys->_IsValidElement(number.Get()));
  EXPECT_TRUE(anys->_IsValidElement(ref.Get()));
  anys->Append(number.Get());
  anys->Append(ref.Get());
  EXPECT_EQ(anys->size(), 2u);
}

TEST(DataArray, SetAndInsertCheckTheElementClass) {
  auto bases = MakeRef<Lumo::DataArray<LumoTest::Base>>();
  bases->Append(Named("a").Get());
  bases->InsertAt(0, Named("first").Get());
  EXPECT_EQ(bases->Get(0)->GetName(), "first");
  auto other = MakeRef<LumoTest::Other>();
  EXPECT_THROW(bases->SetAt(1, other.Get()), Kestrum::TypeMismatchException);
  EXPECT_EQ(bases->Get(1)->GetName(), "a");
  bases->Clear();
  EXPECT_TRUE(bases->IsEmpty());
}

TEST(ArrayDeathTest, NullArgumentsAssertWithTheTemplateHeader) {
  auto bases = MakeRef<Lumo::DataArray<LumoTest::Base>>();
  EXPECT_DEATH(bases->_IsValidElement(nullptr), "ASSERT lumo/array:162\n");
  EXPECT_DEATH(bases->Append(static_cast<LumoTest::Base*>(nullptr)), "ASSERT lumo/array:138\n");
  EXPECT_DEATH(bases->_IsEqual(nullptr), "ASSERT lumo/array:120\n");
  auto strings = MakeRef<StringArray>();
  EXPECT_DEATH(strings->_IsEqual(nullptr), "ASSERT lumo/array:281\n");
  EXPECT_DEATH((void)strings->Get(0), "ASSERT lumo/array:241\n");
  auto boxed = MakeRef<Lumo::Primitive<std::string>>("x");
  EXPECT_DEATH(boxed->_IsEqual(nullptr), "ASSERT lumo/Primitive:232\n");
}

}  // namespace
