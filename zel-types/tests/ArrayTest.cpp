// The library's instantiations of the runtime's arrays and boxed values:
// their types, element checks, equality and diffs.
#include <Olyx/Zel/AboutInfo.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/ServerObjectRef.h>

#include <string>

#include "RulesSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using LodeType = Zel::ServerObjectRef::LodeType;
using ObjectType = Zel::ServerObjectRef::ObjectType;

class ArrayTest : public ZelRules::RulesTest {};

TEST_F(ArrayTest, DataArrayAcceptsItsClassAndDerivedClassesOnly) {
  auto profiles = MakeRef<Lumo::DataArray<Zel::Profile::Profile>>();
  EXPECT_EQ(profiles->_GetType(), Lumo::GetDoType<Zel::Profile::Profile>()->GetArrayType());
  EXPECT_EQ(profiles->_GetElementType(), Lumo::GetDoType<Zel::Profile::Profile>());
  auto derived = MakeRef<Zel::Profile::CapabilityBasedProfile>();
  auto unrelated = MakeRef<Zel::AboutInfo>();
  EXPECT_TRUE(profiles->_IsValidElement(derived.Get()));
  EXPECT_FALSE(profiles->_IsValidElement(unrelated.Get()));
  profiles->Append(derived.Get());
  EXPECT_THROW(profiles->DataArrayBase::Append(unrelated.Get()), Kestrum::TypeMismatchException);
  EXPECT_EQ(profiles->GetLength(), 1);

  Ref<Lumo::DataArray<Zel::Profile::Profile>> copy(profiles->_Clone());
  ASSERT_EQ(copy->GetLength(), 1);
  EXPECT_NE(copy->Get(0), derived.Get());
  EXPECT_EQ(typeid(*copy->Get(0)), typeid(Zel::Profile::CapabilityBasedProfile));

  auto anys = MakeRef<Lumo::DataArray<Lumo::Any>>();
  EXPECT_TRUE(anys->_IsValidElement(unrelated.Get()));
  EXPECT_EQ(anys->_GetElementType(), Lumo::GetNoType<Lumo::Any>());
}

TEST_F(ArrayTest, ValueArraysCompareInOrderAndDiffAsAWhole) {
  Ref<Lumo::Array<std::string>> ab(new Lumo::Array<std::string>{"a", "b"});
  Ref<Lumo::Array<std::string>> ba(new Lumo::Array<std::string>{"b", "a"});
  EXPECT_FALSE(ab->_IsEqual(ba.Get()));
  Lumo::PropertyDiffSet diffs;
  ab->_DiffProperties(ba.Get(), "p.lodeType", diffs);
  ASSERT_EQ(diffs.GetCount(), 1u);
  EXPECT_EQ(diffs.GetChanged()[0].ToString(), "p.lodeType");
  EXPECT_EQ(ab->_GetType(), Lumo::GetNoType<std::string>()->GetArrayType());

  auto empty = MakeRef<Lumo::Array<LodeType>>();
  auto alsoEmpty = MakeRef<Lumo::Array<LodeType>>();
  auto otherEnum = MakeRef<Lumo::Array<ObjectType>>();
  auto strings = MakeRef<Lumo::Array<std::string>>();
  EXPECT_TRUE(empty->_IsEqual(alsoEmpty.Get()));
  EXPECT_FALSE(empty->_IsEqual(otherEnum.Get()));
  EXPECT_FALSE(empty->_IsEqual(strings.Get()));
}

TEST_F(ArrayTest, BoxedEnumerationValuesAreSharedAndRefuseOtherClasses) {
  auto swap = MakeRef<Lumo::Primitive<LodeType>>(LodeType::Swap);
  EXPECT_EQ(swap->_Clone(), swap.Get());
  EXPECT_EQ(swap->_GetType(), Lumo::GetEnumType<LodeType>());
  auto same = MakeRef<Lumo::Primitive<LodeType>>(LodeType::Swap);
  EXPECT_TRUE(swap->_IsEqual(same.Get()));
  auto other = MakeRef<Lumo::Primitive<ObjectType>>(ObjectType(2));
  EXPECT_THROW(swap->_IsEqual(other.Get()), Kestrum::TypeMismatchException);
}

}  // namespace
