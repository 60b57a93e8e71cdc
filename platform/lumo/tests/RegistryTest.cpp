// Types: creation from records in any order, look-up, loaders and versions.
#include <Lumo/Lumo.h>
#include <LumoTest/Base.h>
#include <LumoTest/Color.h>
#include <LumoTest/Derived.h>
#include <LumoTest/SubFault.h>
#include <LumoTest/Widget.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "LateTypeRecords.h"

namespace {

using Lumo::FindType;
using Lumo::FindTypeByName;
using Lumo::FindTypeByWsdlName;

TEST(RuntimeTypes, PrimitivesHaveTheirSchemaNamesAndArrayTypes) {
  struct Expected {
    Lumo::Type* type;
    const char* name;
    const char* wsdl;
  } expected[] = {
      {Lumo::GetNoType<std::string>(), "string", "string"},
      {Lumo::GetNoType<bool>(), "boolean", "boolean"},
      {Lumo::GetNoType<int32_t>(), "int", "int"},
      {Lumo::GetNoType<int64_t>(), "long", "long"},
      {Lumo::GetNoType<double>(), "double", "double"},
      {Lumo::GetNoType<Kestrum::System::DateTime>(), "dateTime", "dateTime"},
      {Lumo::GetNoType<Lumo::Any>(), "anyType", "anyType"},
      {Lumo::GetNoType<Lumo::TypeName>(), "typeName", "TypeName"},
  };
  for (const auto& e : expected) {
    ASSERT_NE(e.type, nullptr) << e.name;
    EXPECT_STREQ(e.type->GetName(), e.name);
    EXPECT_STREQ(e.type->GetWsdlName(), e.wsdl);
    EXPECT_STREQ(e.type->GetVersion(), "olyx.version.version0");
    EXPECT_TRUE(e.type->IsPrimitive());
    ASSERT_NE(e.type->GetArrayType(), nullptr) << e.name;
    EXPECT_TRUE(e.type->GetArrayType()->IsArray());
    EXPECT_EQ(e.type->GetArrayType()->GetElementType(), e.type);
    EXPECT_EQ(FindTypeByName(e.name), e.type);
    EXPECT_EQ(FindTypeByWsdlName(e.wsdl), e.type);
  }
  EXPECT_STREQ(Lumo::GetNoType<std::string>()->GetArrayType()->GetName(), "string[]");
  EXPECT_STREQ(Lumo::GetNoType<std::string>()->GetArrayType()->GetWsdlName(), "ArrayOfString");
}

TEST(RuntimeTypes, OwnDataTypesCarryTheirRecords) {
  EXPECT_EQ(Lumo::GetDoType<Lumo::KeyAnyValue>()->GetTypeInfo(), &gOlyxKeyAnyValueTypeInfo);
  EXPECT_STREQ(gOlyxKeyAnyValueTypeInfo.name, "olyx.KeyAnyValue");
  EXPECT_STREQ(gOlyxMethodFaultTypeInfo.name, "olyx.MethodFault");
  EXPECT_STREQ(gOlyxDynamicDataTypeInfo.name, "olyx.DynamicData");
  EXPECT_STREQ(gOlyxManagedObjectTypeInfo.name, "olyx.ManagedObject");
  EXPECT_STREQ(gOlyxFaultInvalidArgumentTypeInfo.name, "olyx.fault.InvalidArgument");
  EXPECT_STREQ(gOlyxFaultNotSupportedTypeInfo.name, "olyx.fault.NotSupported");
  auto* invalidArgument = Lumo::GetDoType<Lumo::Fault::InvalidArgument>();
  EXPECT_TRUE(invalidArgument->IsFault());
  EXPECT_EQ(invalidArgument->GetBase(), Lumo::GetDoType<Lumo::MethodFault>());
  EXPECT_EQ(invalidArgument->GetBase()->GetBase(), Lumo::GetDoType<Lumo::DynamicData>());
  EXPECT_EQ(invalidArgument->GetBase()->GetBase()->GetBase(), nullptr);
  EXPECT_EQ(Lumo::GetDoType<Lumo::KeyAnyValue>()->FindProperty("value"), 1);
  EXPECT_EQ(Lumo::GetMoType<Lumo::ManagedObject>()->GetTypeInfo(), &gOlyxManagedObjectTypeInfo);
}

TEST(TypeLookup, FindsByClassForObjectsArraysAndBoxedValues) {
  EXPECT_EQ(FindType(typeid(LumoTest::Base)), Lumo::GetDoType<LumoTest::Base>());
  EXPECT_EQ(FindType(typeid(Lumo::DataArray<LumoTest::Base>)),
            Lumo::GetDoType<LumoTest::Base>()->GetArrayType());
  EXPECT_EQ(FindType(typeid(Lumo::Primitive<std::string>)), Lumo::GetNoType<std::string>());
  EXPECT_EQ(FindType(typeid(Lumo::Array<std::string>)),
            Lumo::GetNoType<std::string>()->GetArrayType());
  EXPECT_EQ(FindType(typeid(Lumo::DataArray<Lumo::Any>)),
            Lumo::GetNoType<Lumo::Any>()->GetArrayType());
  EXPECT_EQ(FindType(typeid(Lumo::Primitive<LumoTest::Color>)),
            Lumo::GetEnumType<LumoTest::Color>());
  EXPECT_EQ(FindType(typeid(Lumo::Fault::NotSupported)),
            Lumo::GetDoType<Lumo::Fault::NotSupported>());
  EXPECT_EQ(FindType(typeid(LumoTest::WidgetStub)), Lumo::GetMoType<LumoTest::Widget>());
  EXPECT_EQ(FindType(typeid(int)), nullptr);
  EXPECT_EQ(FindTypeByName("no.such.Type"), nullptr);
}

TEST(TypeLookup, DataTypesByWireAndWsdlName) {
  EXPECT_EQ(FindTypeByName("test.Derived"), Lumo::GetDoType<LumoTest::Derived>());
  EXPECT_EQ(FindTypeByWsdlName("TestDerived"), Lumo::GetDoType<LumoTest::Derived>());
  EXPECT_EQ(FindTypeByName("test.Derived[]"), Lumo::GetDoType<LumoTest::Derived>()->GetArrayType());
  EXPECT_EQ(FindTypeByWsdlName("ArrayOfTestDerived"),
            Lumo::GetDoType<LumoTest::Derived>()->GetArrayType());
}

TEST(TypeCreation, DerivedTypesAreLinkedToTheirBases) {
  // The generated loader creates bases first; a base created after its
  // derived type is BaseCreatedAfterTheStartStillLinksWaitingTypes below.
  auto* derived = Lumo::GetDoType<LumoTest::Derived>();
  EXPECT_EQ(derived->GetBase(), Lumo::GetDoType<LumoTest::Base>());
  EXPECT_TRUE(derived->IsA(Lumo::GetDoType<LumoTest::Base>()));
  EXPECT_TRUE(derived->IsA(Lumo::GetDoType<Lumo::DynamicData>()));
  EXPECT_FALSE(Lumo::GetDoType<LumoTest::Base>()->IsA(derived));
  EXPECT_EQ(Lumo::GetDoType<LumoTest::SubFault>()->GetBase(), Lumo::GetDoType<LumoTest::Fault>());
  EXPECT_TRUE(Lumo::GetDoType<LumoTest::SubFault>()->IsA(Lumo::GetDoType<Lumo::MethodFault>()));
}

TEST(TypeCreation, BaseCreatedAfterTheStartStillLinksWaitingTypes) {
  // The derived type first, on purpose: its base is not there yet.
  Lumo::DataObjectType* derived = Lumo::CreateDataObjectType(&LumoTest::kLateDerivedInfo);
  EXPECT_EQ(derived->GetBase(), nullptr);
  auto missing = Lumo::GetTypesWithMissingBase();
  EXPECT_NE(std::find(missing.begin(), missing.end(), derived), missing.end());
  Lumo::DataObjectType* base = Lumo::CreateDataObjectType(&LumoTest::kLateBaseInfo);
  EXPECT_EQ(derived->GetBase(), base);
  EXPECT_EQ(base->GetBase(), Lumo::GetDoType<Lumo::DynamicData>());
  EXPECT_TRUE(Lumo::GetTypesWithMissingBase().empty());
  // Creating from the same record again gives the same type.
  EXPECT_EQ(Lumo::CreateDataObjectType(&LumoTest::kLateDerivedInfo), derived);
  EXPECT_EQ(base->CreateInstance(), nullptr);
}

TEST(TypeCreation, EnumTypeCopiesItsFunctions) {
  Lumo::EnumFuncs funcs = Lumo::GetEnumType<LumoTest::Color>()->GetFuncs();
  Lumo::EnumType* shape = Lumo::CreateEnumTypeImpl(&LumoTest::kShapeInfo, funcs);
  funcs.boxValue = nullptr;  // the caller reuses its storage
  EXPECT_NE(shape->GetFuncs().boxValue, nullptr);
  EXPECT_EQ(shape->GetValueCount(), 2);
  EXPECT_STREQ(shape->ToWireString(1), "square");
  EXPECT_EQ(shape->FromWireString("circle"), 0);
  EXPECT_EQ(shape->FromWireString("triangle"), -1);
  EXPECT_EQ(shape->ToWireString(2), nullptr);
  EXPECT_EQ(shape->ToWireString(-1), nullptr);
}

TEST(TypeCreation, ManagedTypeFillsMethodObjectsMethodsThenProperties) {
  Lumo::ManagedObjectType* widget = Lumo::GetMoType<LumoTest::Widget>();
  EXPECT_EQ(widget->GetBase(), Lumo::GetMoType<Lumo::ManagedObject>());
  ASSERT_NE(gTestWidgetMethodObjects[0], nullptr);
  EXPECT_STREQ(gTestWidgetMethodObjects[0]->GetName(), "poke");
  EXPECT_STREQ(gTestWidgetMethodObjects[0]->GetWsdlName(), "TestPoke");
  EXPECT_FALSE(gTestWidgetMethodObjects[0]->IsProperty());
  EXPECT_STREQ(gTestWidgetMethodObjects[1]->GetName(), "ping");
  EXPECT_EQ(gTestWidgetMethodObjects[1]->GetQualifiedName(), "test.Widget.ping");
  // The privilege and the library's own flag bits come from the method record.
  EXPECT_STREQ(gTestWidgetMethodObjects[1]->GetPrivilege(), "Widget.View");
  EXPECT_EQ(gTestWidgetMethodObjects[1]->GetMethodInfo()->flags, 0x100u);
  EXPECT_STREQ(gTestWidgetMethodObjects[2]->GetName(), "size");
  EXPECT_TRUE(gTestWidgetMethodObjects[2]->IsProperty());
  EXPECT_EQ(gTestWidgetMethodObjects[2]->GetIndex(), 2);
  EXPECT_EQ(gTestWidgetMethodObjects[3], nullptr);
  EXPECT_EQ(widget->GetMethod(1), gTestWidgetMethodObjects[1]);
  EXPECT_EQ(widget->FindMethod("size"), gTestWidgetMethodObjects[2]);
  EXPECT_EQ(widget->FindMethod("nothing"), nullptr);
  EXPECT_EQ(gTestWidgetMethodObjects[0]->GetOwner(), widget);
}

TEST(Loaders, CallbacksRanOnceInRegistrationOrder) {
  auto loaders = Lumo::GetLoaderRegistrations();
  auto test =
      std::find_if(loaders.begin(), loaders.end(), [](const auto& l) { return l.name == "test"; });
  ASSERT_NE(test, loaders.end());
  EXPECT_TRUE(test->hasRun);
  ASSERT_EQ(test->types.size(), 7u);
  EXPECT_EQ(test->types[0], Lumo::GetDoType<LumoTest::Base>());
  EXPECT_EQ(test->types[6], Lumo::GetMoType<LumoTest::Widget>());
  EXPECT_TRUE(Lumo::TypeInfoLoader::_versionInfoIsAvailable);
  EXPECT_TRUE(Lumo::IsRuntimeStarted());
  // Starting again runs nothing twice.
  Lumo::StartRuntime();
  EXPECT_EQ(Lumo::GetLoaderRegistrations().size(), loaders.size());
}

const char* const kDependencies[] = {"olyx"};
const Lumo::OlyxVersion kVersions[] = {
    {"late.version.version1", "late", "1.0", "late.Task", "late", 0x100}};
const char* const kDesignated[] = {"late.version.version1"};
const Lumo::OlyxVersions kLateVersions = {kDependencies, 1, kVersions, 1, kDesignated, nullptr, 0};

int gLateLoads = 0;
const Lumo::Type* const* LateCallback(int& count) {
  ++gLateLoads;
  count = 0;
  return nullptr;
}

TEST(Loaders, LoaderRegisteredAfterTheStartRunsAtOnceAndKeepsItsVersions) {
  // A library registers a loader per package under its name, and only one of
  // them carries the versions: the look-up passes over the others.
  static Lumo::TypeInfoLoader lateWithoutVersions("late", nullptr, LateCallback);
  static Lumo::TypeInfoLoader late("late", &kLateVersions, LateCallback);
  EXPECT_EQ(gLateLoads, 2);
  EXPECT_EQ(Lumo::GetVersionInfo("late"), &kLateVersions);
  EXPECT_EQ(Lumo::GetVersionInfo("no-such-loader"), nullptr);
  // Without a name: the first loader with versions, the generated library's.
  const Lumo::OlyxVersions* first = Lumo::GetVersionInfo();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, Lumo::GetVersionInfo("test"));
  ASSERT_EQ(first->versionCount, 1u);
  EXPECT_STREQ(first->versions[0].name, "test.version.version1");
}

}  // namespace
