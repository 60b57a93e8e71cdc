// The records of the runtime's own data objects and faults, generated from
// platform/lumo/schema: every field libraries and the wire format read, and
// the record accessor functions that reach the hand-written classes.
#include <Lumo/Lumo.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Property {
  const char* name;
  const Lumo::TypeInfo* type;
  uint32_t flags;
};

struct Record {
  Lumo::DataObjectType* type;
  const Lumo::TypeInfo* info;
  uint32_t kind;
  const char* name;
  const char* wsdlName;
  const Lumo::TypeInfo* parent;
  std::vector<Property> properties;
  bool hasOptionalProperty;
};

std::vector<Record> RuntimeRecords() {
  using Lumo::kFlagArray;
  using Lumo::kFlagOptional;
  return {
      {Lumo::GetDoType<Lumo::KeyAnyValue>(),
       &gOlyxKeyAnyValueTypeInfo,
       Lumo::kTypeKindDataObject,
       "olyx.KeyAnyValue",
       "KeyAnyValue",
       &gOlyxDynamicDataTypeInfo,
       {{"key", &gStringTypeInfo, 0}, {"value", &gAnyTypeInfo, 0}},
       false},
      {Lumo::GetDoType<Lumo::MethodFault>(),
       &gOlyxMethodFaultTypeInfo,
       Lumo::kTypeKindFault,
       "olyx.MethodFault",
       "MethodFault",
       &gOlyxDynamicDataTypeInfo,
       {{"msg", &gStringTypeInfo, kFlagOptional},
        {"faultMessage", &gOlyxKeyAnyValueTypeInfo, kFlagArray | kFlagOptional}},
       true},
      {Lumo::GetDoType<Lumo::Fault::InvalidArgument>(),
       &gOlyxFaultInvalidArgumentTypeInfo,
       Lumo::kTypeKindFault,
       "olyx.fault.InvalidArgument",
       "InvalidArgument",
       &gOlyxMethodFaultTypeInfo,
       {{"invalidProperty", &gStringTypeInfo, kFlagOptional}},
       true},
      {Lumo::GetDoType<Lumo::Fault::NotSupported>(),
       &gOlyxFaultNotSupportedTypeInfo,
       Lumo::kTypeKindFault,
       "olyx.fault.NotSupported",
       "NotSupported",
       &gOlyxMethodFaultTypeInfo,
       {},
       false},
  };
}

TEST(RuntimeRecords, NamesParentsAndPropertiesInDeclarationOrder) {
  for (const Record& expected : RuntimeRecords()) {
    SCOPED_TRACE(expected.name);
    const Lumo::DataTypeInfo* info = expected.type->GetInfo();
    ASSERT_EQ(info->type, expected.info);
    EXPECT_EQ(info->type->kind, expected.kind);
    EXPECT_STREQ(info->type->name, expected.name);
    EXPECT_STREQ(info->type->wsdlName, expected.wsdlName);
    EXPECT_STREQ(info->type->version, "olyx.version.version0");
    EXPECT_EQ(info->parent, expected.parent);
    size_t index = 0;
    const Lumo::PropInfo* row = info->properties;
    for (; row->name != nullptr; ++row, ++index) {
      ASSERT_LT(index, expected.properties.size()) << row->name;
      EXPECT_STREQ(row->name, expected.properties[index].name);
      EXPECT_EQ(row->type, expected.properties[index].type) << row->name;
      EXPECT_EQ(row->flags, expected.properties[index].flags) << row->name;
      EXPECT_STREQ(row->version, "olyx.version.version0");
      EXPECT_EQ(row->privilege, nullptr);
      EXPECT_EQ(row->annotation, nullptr);
    }
    EXPECT_EQ(index, expected.properties.size());
    EXPECT_EQ(row->flags, 0xffffffffu);
    EXPECT_EQ(row->type, nullptr);
    // The four value accessors exist exactly when there are properties to reach.
    const bool hasProperties = !expected.properties.empty();
    EXPECT_EQ(info->getProperty != nullptr, hasProperties);
    EXPECT_EQ(info->peekProperty != nullptr, hasProperties);
    EXPECT_EQ(info->setProperty != nullptr, hasProperties);
    EXPECT_EQ(info->swapProperty != nullptr, hasProperties);
    EXPECT_EQ(info->unsetProperty != nullptr, expected.hasOptionalProperty);
    ASSERT_NE(info->isPropertySet, nullptr);
    ASSERT_NE(info->createInstance, nullptr);
    ASSERT_NE(info->createArray, nullptr);
    Kestrum::Ref<Lumo::Any> instance(info->createInstance());
    EXPECT_EQ(Lumo::FindType(typeid(*instance)), expected.type);
    Kestrum::Ref<Lumo::Any> array(info->createArray());
    EXPECT_EQ(Lumo::FindType(typeid(*array)), expected.type->GetArrayType());
  }
}

TEST(RuntimeRecords, OptionalStringThroughTheRecordIsValidatedSetSwappedAndUnset) {
  const Lumo::DataTypeInfo* info = Lumo::GetDoType<Lumo::MethodFault>()->GetInfo();
  auto fault = Kestrum::MakeRef<Lumo::MethodFault>();
  EXPECT_FALSE(info->isPropertySet(fault.Get(), 0));
  EXPECT_EQ(info->peekProperty(fault.Get(), 0), nullptr);

  std::string message = "broken";
  info->setProperty(fault.Get(), 0, &message);
  EXPECT_TRUE(info->isPropertySet(fault.Get(), 0));
  std::string read;
  info->getProperty(fault.Get(), 0, &read);
  EXPECT_EQ(read, "broken");

  std::string refused = "\x03";
  EXPECT_THROW(info->setProperty(fault.Get(), 0, &refused),
               Lumo::Fault::InvalidArgument::Exception);
  EXPECT_THROW(info->swapProperty(fault.Get(), 0, &refused),
               Lumo::Fault::InvalidArgument::Exception);
  EXPECT_EQ(fault->GetMsg(), "broken");
  EXPECT_EQ(refused, "\x03");

  std::string swapped = "other";
  info->swapProperty(fault.Get(), 0, &swapped);
  EXPECT_EQ(swapped, "broken");
  EXPECT_EQ(fault->GetMsg(), "other");

  info->unsetProperty(fault.Get(), 0);
  EXPECT_FALSE(info->isPropertySet(fault.Get(), 0));
  // Swapping into an unset optional string hands back the empty string.
  std::string incoming = "again";
  info->swapProperty(fault.Get(), 0, &incoming);
  EXPECT_EQ(incoming, "");
  EXPECT_EQ(fault->GetMsg(), "again");
}

TEST(RuntimeRecords, ReferencesThroughTheRecordAreCheckedAndCountAsSetWhenPresent) {
  const Lumo::DataTypeInfo* info = Lumo::GetDoType<Lumo::MethodFault>()->GetInfo();
  auto fault = Kestrum::MakeRef<Lumo::MethodFault>();
  Kestrum::Ref<Lumo::Any> messages = Kestrum::MakeRef<Lumo::DataArray<Lumo::KeyAnyValue>>();
  info->setProperty(fault.Get(), 1, &messages);
  // An empty array is not set and peeks as null.
  EXPECT_FALSE(info->isPropertySet(fault.Get(), 1));
  EXPECT_EQ(info->peekProperty(fault.Get(), 1), nullptr);
  fault->GetFaultMessage()->Append(new Lumo::KeyAnyValue("k", nullptr));
  EXPECT_TRUE(info->isPropertySet(fault.Get(), 1));

  Kestrum::Ref<Lumo::Any> wrongClass = Kestrum::MakeRef<Lumo::KeyAnyValue>();
  EXPECT_THROW(info->setProperty(fault.Get(), 1, &wrongClass), Kestrum::TypeMismatchException);
  EXPECT_EQ(fault->GetPtrFaultMessage()->GetLength(), 1);

  const Lumo::DataTypeInfo* pairInfo = Lumo::GetDoType<Lumo::KeyAnyValue>()->GetInfo();
  auto pair = Kestrum::MakeRef<Lumo::KeyAnyValue>();
  EXPECT_TRUE(pairInfo->isPropertySet(pair.Get(), 0));
  EXPECT_FALSE(pairInfo->isPropertySet(pair.Get(), 1));
  Kestrum::Ref<Lumo::Any> anything = Kestrum::MakeRef<Lumo::MoRef>("Widget", "w-1");
  pairInfo->setProperty(pair.Get(), 1, &anything);
  EXPECT_EQ(pairInfo->peekProperty(pair.Get(), 1), anything.Get());
  Kestrum::Ref<Lumo::Any> back;
  pairInfo->swapProperty(pair.Get(), 1, &back);
  EXPECT_EQ(back.Get(), anything.Get());
  EXPECT_EQ(pair->GetValue(), nullptr);
}

TEST(RuntimeRecordsDeathTest, AnIndexBeyondThePropertiesNamesTheSchemasUnit) {
  const Lumo::DataTypeInfo* info = Lumo::GetDoType<Lumo::KeyAnyValue>()->GetInfo();
  auto pair = Kestrum::MakeRef<Lumo::KeyAnyValue>();
  EXPECT_DEATH(info->peekProperty(pair.Get(), 2), "NOT_REACHED lumo\\\\olyx\\\\typeinfo:[0-9]+\n");
  const Lumo::DataTypeInfo* faultInfo = Lumo::GetDoType<Lumo::Fault::InvalidArgument>()->GetInfo();
  auto fault = Kestrum::MakeRef<Lumo::Fault::InvalidArgument>();
  EXPECT_DEATH(faultInfo->unsetProperty(fault.Get(), 1),
               "NOT_REACHED lumo\\\\olyx\\\\fault\\\\typeinfo:[0-9]+\n");
}

TEST(RuntimeRecordsDeathTest, SwappingWithoutADestinationIsAnAssertionNotACrash) {
  const Lumo::DataTypeInfo* info = Lumo::GetDoType<Lumo::MethodFault>()->GetInfo();
  auto fault = Kestrum::MakeRef<Lumo::MethodFault>();
  EXPECT_DEATH(info->swapProperty(fault.Get(), 0, nullptr), "ASSERT lumo/MethodFault:[0-9]+\n");
  EXPECT_DEATH(info->swapProperty(fault.Get(), 1, nullptr), "ASSERT lumo/MethodFault:[0-9]+\n");
}

}  // namespace
