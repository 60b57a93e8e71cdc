// Enumerations: the five functions handed to the runtime, the value lists and
// the exported constants that are the very wire strings of those lists.
#include <Olyx/Zel/Profile/EntityAssociations.h>
#include <Olyx/Zel/Profile/VmAssociations.h>
#include <Olyx/Zel/ServerObjectRef.h>

#include <set>
#include <string>
#include <vector>

#include "RulesSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;
using LodeType = Zel::ServerObjectRef::LodeType;

class EnumTest : public ZelRules::RulesTest {
 protected:
  static const Lumo::EnumFuncs& Lode() { return Lumo::GetEnumType<LodeType>()->GetFuncs(); }
};

std::vector<std::string> Strings(const Lumo::Array<std::string>& array) {
  return std::vector<std::string>(array.GetValues().begin(), array.GetValues().end());
}

TEST_F(EnumTest, BoxAndUnboxKeepTheOrdinalAndTheEnumerationsType) {
  Ref<Any> boxed(Lode().boxValue(2));
  ASSERT_TRUE(boxed);
  EXPECT_EQ(boxed->_GetType(), Lumo::GetEnumType<LodeType>());
  EXPECT_EQ(Lode().unboxValue(boxed.Get()), 2);
  auto* typed = dynamic_cast<Lumo::Primitive<LodeType>*>(boxed.Get());
  ASSERT_NE(typed, nullptr);
  EXPECT_EQ(typed->GetValue(), LodeType::Swap);

  Ref<Any> text = MakeRef<Lumo::Primitive<std::string>>("Swap");
  EXPECT_THROW(Lode().unboxValue(text.Get()), Kestrum::TypeMismatchException);
  Ref<Any> otherEnum(Lumo::GetEnumType<Zel::ServerObjectRef::ObjectType>()->GetFuncs().boxValue(2));
  EXPECT_THROW(Lode().unboxValue(otherEnum.Get()), Kestrum::TypeMismatchException);
}

TEST_F(EnumTest, StringArraysConvertBothWays) {
  Lumo::EnumType* type = Lumo::GetEnumType<LodeType>();
  Ref<Lumo::Array<LodeType>> values(new Lumo::Array<LodeType>{LodeType::Swap, LodeType::Config});
  Ref<Lumo::Array<std::string>> strings(new Lumo::Array<std::string>{"old"});
  Lumo::Array<std::string>* previous = strings.Get();
  previous->IncRef();
  Lode().toStringArray(values.Get(), type, strings);
  ASSERT_TRUE(strings);
  EXPECT_NE(strings.Get(), previous);
  EXPECT_EQ(previous->GetRefCount(), 1) << "the previous result is released";
  previous->DecRef();
  EXPECT_EQ(Strings(*strings), (std::vector<std::string>{"Swap", "Config"}));

  Ref<Any> back(Lode().fromStringArray(strings.Get(), type));
  auto* ordinals = dynamic_cast<Lumo::Array<LodeType>*>(back.Get());
  ASSERT_NE(ordinals, nullptr);
  EXPECT_TRUE(ordinals->_IsEqual(values.Get()));
  EXPECT_EQ(back->_GetType(), type->GetArrayType());

  Ref<Any> empty(Lode().createEnumArray());
  ASSERT_NE(dynamic_cast<Lumo::Array<LodeType>*>(empty.Get()), nullptr);
  EXPECT_EQ(empty->_GetType(), type->GetArrayType());
  Ref<Lumo::Array<std::string>> none;
  Lode().toStringArray(empty.Get(), type, none);
  ASSERT_TRUE(none) << "an empty array converts to an empty array, not to null";
  EXPECT_EQ(none->GetLength(), 0);
}

TEST_F(EnumTest, StringArrayOfTheWrongClassIsRefusedAndNothingIsStored) {
  Ref<Lumo::Array<std::string>> notOrdinals(new Lumo::Array<std::string>{"Swap"});
  Ref<Lumo::Array<std::string>> result(new Lumo::Array<std::string>{"kept"});
  Lumo::Array<std::string>* kept = result.Get();
  EXPECT_THROW(Lode().toStringArray(notOrdinals.Get(), Lumo::GetEnumType<LodeType>(), result),
               Kestrum::TypeMismatchException);
  EXPECT_EQ(result.Get(), kept);
}

TEST_F(EnumTest, ExportedConstantsAreTheEntriesOfTheValueList) {
  const char* const* values =
      Lumo::GetEnumType<Zel::ServerObjectRef::ObjectType>()->GetInfo()->values;
  const char* constants[] = {Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE,
                             Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINEANDDISKS,
                             Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID,
                             Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKUUID,
                             Zel::ServerObjectRef::OBJECTTYPE_DATASTORE,
                             Zel::ServerObjectRef::OBJECTTYPE_HOST,
                             Zel::ServerObjectRef::OBJECTTYPE_CLUSTER,
                             Zel::ServerObjectRef::OBJECTTYPE_UNKNOWN};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(values[i], constants[i]) << i;
  EXPECT_EQ(values[8], nullptr);
  EXPECT_STREQ(values[3], "virtualDiskUUID");
  EXPECT_STREQ(values[2], "virtualDiskId");
}

TEST_F(EnumTest, TwoOperationEnumerationsKeepSeparateValueLists) {
  using Entity = Zel::Profile::EntityAssociations;
  using Vm = Zel::Profile::VmAssociations;
  Lumo::EnumType* entity = Lumo::GetEnumType<Entity::Operation>();
  Lumo::EnumType* vm = Lumo::GetEnumType<Vm::Operation>();
  ASSERT_NE(entity, vm);
  EXPECT_STREQ(entity->GetName(), "zel.profile.EntityAssociations.Operation");
  EXPECT_STREQ(vm->GetName(), "zel.profile.VmAssociations.Operation");
  EXPECT_EQ(entity->GetValueCount(), 5);
  EXPECT_EQ(vm->GetValueCount(), 4);
  EXPECT_EQ(entity->GetInfo()->values[1], Entity::OPERATION_REGISTER);
  EXPECT_STREQ(entity->ToWireString(1), "REGISTER");
  EXPECT_EQ(vm->FromWireString("REGISTER"), -1);
  EXPECT_EQ(entity->GetInfo()->values[4], Entity::OPERATION_CLONE);
  EXPECT_EQ(vm->GetInfo()->values[3], Vm::OPERATION_CLONE);
  EXPECT_NE(static_cast<const void*>(Entity::OPERATION_CLONE),
            static_cast<const void*>(Vm::OPERATION_CLONE));

  Ref<Lumo::Array<std::string>> strings;
  Ref<Any> ordinals(new Lumo::Array<Vm::Operation>{Vm::Operation(1)});
  vm->GetFuncs().toStringArray(ordinals.Get(), vm, strings);
  EXPECT_EQ(Strings(*strings), std::vector<std::string>{"RECONFIGURE"});
}

// The loader refills one local EnumFuncs for each enumeration of a package;
// every created type must keep the functions it was created with.
TEST_F(EnumTest, EveryEnumerationKeepsItsOwnFunctions) {
  int enums = 0;
  std::set<const void*> boxers;
  for (const auto& reg : Lumo::GetLoaderRegistrations()) {
    if (reg.name != "zel") continue;
    for (const Lumo::Type* type : reg.types) {
      if (!type->IsEnum()) continue;
      ++enums;
      SCOPED_TRACE(type->GetName());
      auto* enumType = static_cast<const Lumo::EnumType*>(type);
      const Lumo::EnumFuncs& funcs = enumType->GetFuncs();
      boxers.insert(reinterpret_cast<const void*>(funcs.boxValue));
      Ref<Any> boxed(funcs.boxValue(0));
      EXPECT_EQ(boxed->_GetType(), type);
      EXPECT_EQ(funcs.unboxValue(boxed.Get()), 0);
      Ref<Any> array(funcs.createEnumArray());
      EXPECT_EQ(array->_GetType(), type->GetArrayType());
      Ref<Lumo::Array<std::string>> names(new Lumo::Array<std::string>{enumType->ToWireString(0)});
      Ref<Any> parsed(funcs.fromStringArray(names.Get(), enumType));
      EXPECT_EQ(parsed->_GetType(), type->GetArrayType());
      Ref<Lumo::Array<std::string>> again;
      funcs.toStringArray(parsed.Get(), enumType, again);
      EXPECT_TRUE(again->_IsEqual(names.Get()));
    }
  }
  EXPECT_EQ(enums, 18);
  EXPECT_EQ(boxers.size(), 18u);
}

}  // namespace
