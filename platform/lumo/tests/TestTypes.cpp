#include "TestTypes.h"

#include <Kestrum/Exception.h>
#include <Kestrum/Panic.h>

namespace {
constexpr const char* kV = "test.version.version1";
constexpr const char* kUnit = "lumo/tests/typeinfo";
constexpr Lumo::PropInfo kEnd = {nullptr, nullptr, nullptr, nullptr, 0xffffffffu, nullptr};
}  // namespace

Lumo::TypeInfo gTestBaseTypeInfo = {Lumo::kTypeKindDataObject, "test.Base", "TestBase", kV};
Lumo::TypeInfo gTestDerivedTypeInfo = {Lumo::kTypeKindDataObject, "test.Derived", "TestDerived",
                                       kV};
Lumo::TypeInfo gTestOtherTypeInfo = {Lumo::kTypeKindDataObject, "test.Other", "TestOther", kV};
Lumo::TypeInfo gTestFaultTypeInfo = {Lumo::kTypeKindFault, "test.Fault", "TestFault", kV};
Lumo::TypeInfo gTestSubFaultTypeInfo = {Lumo::kTypeKindFault, "test.SubFault", "TestSubFault", kV};
Lumo::TypeInfo gTestColorTypeInfo = {Lumo::kTypeKindEnum, "test.Color", "TestColor", kV};
Lumo::TypeInfo gTestWidgetTypeInfo = {Lumo::kTypeKindManagedObject, "test.Widget", "TestWidget",
                                      kV};
Lumo::ManagedMethod* gTestWidgetMethodObjects[4] = {nullptr, nullptr, nullptr, nullptr};

namespace Lumo {
template class DataArray<LumoTest::Base>;
template class DataArray<LumoTest::Derived>;
template class DataArray<LumoTest::Other>;
template class Array<LumoTest::Color>;
template class Primitive<LumoTest::Color>;
}  // namespace Lumo

namespace LumoTest {

namespace {

Lumo::TypeInfo gLateBaseTypeInfo = {Lumo::kTypeKindDataObject, "test.LateBase", "TestLateBase", kV};
Lumo::TypeInfo gLateDerivedTypeInfo = {Lumo::kTypeKindDataObject, "test.LateDerived",
                                       "TestLateDerived", kV};
Lumo::TypeInfo gShapeTypeInfo = {Lumo::kTypeKindEnum, "test.Shape", "TestShape", kV};

const Lumo::PropInfo kBaseProperties[] = {
    {"name", nullptr, nullptr, &gStringTypeInfo, 0, kV},
    {"count", nullptr, nullptr, &gLongTypeInfo, Lumo::kFlagOptional, kV},
    {"child", nullptr, nullptr, &gAnyTypeInfo, 0, kV},
    {"items", nullptr, nullptr, &gTestBaseTypeInfo, Lumo::kFlagArray | Lumo::kFlagOptional, kV},
    kEnd,
};
const Lumo::PropInfo kDerivedProperties[] = {
    {"tag", nullptr, nullptr, &gStringTypeInfo, Lumo::kFlagOptional, kV},
    {"when", nullptr, nullptr, &gDateTimeTypeInfo, 0, kV},
    kEnd,
};
const Lumo::PropInfo kOtherProperties[] = {
    {"flag", nullptr, nullptr, &gBoolTypeInfo, 0, kV},
    kEnd,
};
const Lumo::PropInfo kFaultProperties[] = {
    {"code", nullptr, nullptr, &gIntTypeInfo, 0, kV},
    kEnd,
};
const Lumo::PropInfo kNoProperties[] = {kEnd};

const void* BasePeek(const Lumo::Any* obj, int index) {
  auto* o = static_cast<const Base*>(obj);
  switch (index) {
    case 0:
      return &o->name;
    case 1:
      return o->count.GetPtr();
    case 2:
      return static_cast<const Lumo::Any*>(o->child.Get());
    case 3:
      return o->items && !o->items->IsEmpty() ? static_cast<const Lumo::Any*>(o->items.Get())
                                              : nullptr;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 60);
}

const void* DerivedPeek(const Lumo::Any* obj, int index) {
  auto* o = static_cast<const Derived*>(obj);
  switch (index) {
    case 0:
      return o->tag.GetPtr();
    case 1:
      return &o->when;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 70);
}

const void* OtherPeek(const Lumo::Any* obj, int index) {
  if (index == 0) return &static_cast<const Other*>(obj)->flag;
  KESTRUM_NOT_REACHED_AT(kUnit, 75);
}

const void* FaultPeek(const Lumo::Any* obj, int index) {
  if (index == 0) return &static_cast<const Fault*>(obj)->code;
  KESTRUM_NOT_REACHED_AT(kUnit, 80);
}

bool AlwaysSet(const Lumo::Any*, int) { return true; }

template <class T>
Lumo::Any* CreateInstance() {
  return new T;
}
template <class T>
Lumo::Any* CreateArray() {
  return new Lumo::DataArray<T>;
}
Lumo::Any* NoInstance() { return nullptr; }

const Lumo::DataTypeInfo kBaseInfo = {&gTestBaseTypeInfo,
                                      &gOlyxDynamicDataTypeInfo,
                                      kBaseProperties,
                                      nullptr,
                                      BasePeek,
                                      nullptr,
                                      nullptr,
                                      AlwaysSet,
                                      nullptr,
                                      CreateInstance<Base>,
                                      CreateArray<Base>};
const Lumo::DataTypeInfo kDerivedInfo = {&gTestDerivedTypeInfo,
                                         &gTestBaseTypeInfo,
                                         kDerivedProperties,
                                         nullptr,
                                         DerivedPeek,
                                         nullptr,
                                         nullptr,
                                         AlwaysSet,
                                         nullptr,
                                         CreateInstance<Derived>,
                                         CreateArray<Derived>};
const Lumo::DataTypeInfo kOtherInfo = {&gTestOtherTypeInfo,
                                       &gOlyxDynamicDataTypeInfo,
                                       kOtherProperties,
                                       nullptr,
                                       OtherPeek,
                                       nullptr,
                                       nullptr,
                                       AlwaysSet,
                                       nullptr,
                                       CreateInstance<Other>,
                                       CreateArray<Other>};
const Lumo::DataTypeInfo kFaultInfo = {&gTestFaultTypeInfo,
                                       &gOlyxMethodFaultTypeInfo,
                                       kFaultProperties,
                                       nullptr,
                                       FaultPeek,
                                       nullptr,
                                       nullptr,
                                       AlwaysSet,
                                       nullptr,
                                       CreateInstance<Fault>,
                                       CreateArray<Lumo::MethodFault>};
const Lumo::DataTypeInfo kSubFaultInfo = {&gTestSubFaultTypeInfo,
                                          &gTestFaultTypeInfo,
                                          kNoProperties,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          AlwaysSet,
                                          nullptr,
                                          CreateInstance<SubFault>,
                                          CreateArray<Lumo::MethodFault>};

// ---- test.Color ------------------------------------------------------------------

const char* const kColorValues[] = {"red", "green", "blue", nullptr};
const char* const kShapeValues[] = {"circle", "square", nullptr};

int UnboxColor(const Lumo::Any* value) {
  auto* boxed = dynamic_cast<const Lumo::Primitive<Color>*>(value);
  if (!boxed) Kestrum::ThrowTypeMismatchException(typeid(Lumo::Primitive<Color>), typeid(*value));
  return boxed->GetValue();
}
Lumo::Any* BoxColor(int ordinal) { return new Lumo::Primitive<Color>(static_cast<Color>(ordinal)); }
void ColorsToStrings(const Lumo::Any* values, const Lumo::EnumType* type,
                     Kestrum::Ref<Lumo::Array<std::string>>& result) {
  auto* colors = dynamic_cast<const Lumo::Array<Color>*>(values);
  if (!colors) Kestrum::ThrowTypeMismatchException(typeid(Lumo::Array<Color>), typeid(*values));
  result = new Lumo::Array<std::string>(static_cast<size_t>(colors->GetLength()));
  for (int i = 0; i < colors->GetLength(); ++i) {
    std::string wire = type->ToWireString(colors->Get(i));
    Lumo::Validate<std::string>(&wire, result.Get(), i);
    result->Set(i, wire);
  }
}
Lumo::Any* ColorsFromStrings(const Lumo::Array<std::string>* strings, const Lumo::EnumType* type) {
  auto* colors = new Lumo::Array<Color>(static_cast<size_t>(strings->GetLength()));
  for (int i = 0; i < strings->GetLength(); ++i) {
    colors->Set(i, static_cast<Color>(type->FromWireString(strings->Get(i))));
  }
  return colors;
}
Lumo::Any* CreateColorArray() { return new Lumo::Array<Color>; }

// ---- test.Widget ---------------------------------------------------------------------

const Lumo::PropInfo kWidgetProperties[] = {
    {"size", nullptr, nullptr, &gIntTypeInfo, 0, kV},
    kEnd,
};
const Lumo::ParamInfo kPokeParameters[] = {
    {"what", nullptr, &gStringTypeInfo, 0, kV},
    {nullptr, nullptr, nullptr, 0xffffffffu, nullptr},
};
const Lumo::ParamInfo kNoParameters[] = {{nullptr, nullptr, nullptr, 0xffffffffu, nullptr}};
const Lumo::TypeInfo* const kNoFaults[] = {nullptr};
const Lumo::MethodInfo kWidgetMethods[] = {
    {"poke",
     "TestPoke",
     "Widget.Poke",
     nullptr,
     {"result", nullptr, nullptr, 0, "olyx.version.version0"},
     kPokeParameters,
     kNoFaults,
     0,
     kV},
    {"ping",
     "TestPing",
     "Widget.View",
     nullptr,
     {"result", nullptr, &gStringTypeInfo, 0, kV},
     kNoParameters,
     kNoFaults,
     0x100,
     kV},
    {},
};

int WidgetPropertyIndex(const char* name, size_t length) {
  return std::string(name, length) == "size" ? 0 : -1;
}

void WidgetInvoke(Lumo::ManagedObject*, int, std::vector<Kestrum::Ref<Lumo::Any>>&,
                  Kestrum::Ref<Lumo::Any>& result) {
  result.Reset();
  KESTRUM_NOT_REACHED_AT(kUnit, 170);
}

Lumo::Stub* CreateWidgetStub(Lumo::MoRef* ref, Lumo::StubAdapter* adapter,
                             Lumo::RequestContext* context) {
  return new WidgetStub(ref, adapter, context);
}

const Lumo::ManagedTypeInfo kWidgetInfo = {&gTestWidgetTypeInfo, &gOlyxManagedObjectTypeInfo,
                                           kWidgetProperties,    kWidgetMethods,
                                           WidgetPropertyIndex,  WidgetInvoke,
                                           CreateWidgetStub,     gTestWidgetMethodObjects};

// ---- Loader ---------------------------------------------------------------------------

const Lumo::Type* gTypes[7] = {};

const Lumo::Type* const* LoadTypes(int& count) {
  // Derived faults and data objects before their bases on purpose: the
  // runtime must link them anyway.
  gTypes[0] = Lumo::CreateDataObjectType(&kDerivedInfo);
  gTypes[1] = Lumo::CreateDataObjectType(&kBaseInfo);
  gTypes[2] = Lumo::CreateDataObjectType(&kOtherInfo);
  gTypes[3] = Lumo::CreateDataObjectType(&kSubFaultInfo);
  gTypes[4] = Lumo::CreateDataObjectType(&kFaultInfo);
  Lumo::EnumFuncs funcs = kColorFuncs;
  gTypes[5] = Lumo::CreateEnumTypeImpl(&kColorInfo, funcs);
  gTypes[6] = Lumo::CreateManagedObjectType(&kWidgetInfo);
  count = 7;
  return gTypes;
}

Lumo::TypeInfoLoader gLoader("lumo-test", nullptr, LoadTypes);

const Lumo::Type* Slot(int slot) {
  KESTRUM_ASSERT_AT(Lumo::TypeInfoLoader::_versionInfoIsAvailable, kUnit, 200 + slot);
  return gTypes[slot];
}

template <class T>
T* SlotAs(int slot) {
  return const_cast<T*>(static_cast<const T*>(Slot(slot)));
}

template <class T>
bool OptionalMatches(const Kestrum::Optional<T>& mine, const Kestrum::Optional<T>& theirs,
                     bool looseMatch) {
  return (looseMatch && !theirs.IsSet()) || mine == theirs;
}

void Add(bool differ, const std::string& prefix, const char* name, Lumo::PropertyDiffSet& diffs) {
  if (differ) diffs.AddChanged(Lumo::PropertyPath(prefix + name));
}

}  // namespace

const Lumo::DataTypeInfo kLateBaseInfo = {&gLateBaseTypeInfo,
                                          &gOlyxDynamicDataTypeInfo,
                                          kNoProperties,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          nullptr,
                                          AlwaysSet,
                                          nullptr,
                                          NoInstance,
                                          NoInstance};
const Lumo::DataTypeInfo kLateDerivedInfo = {&gLateDerivedTypeInfo,
                                             &gLateBaseTypeInfo,
                                             kNoProperties,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             AlwaysSet,
                                             nullptr,
                                             NoInstance,
                                             NoInstance};
const Lumo::EnumTypeInfo kColorInfo = {&gTestColorTypeInfo, kColorValues};
const Lumo::EnumTypeInfo kShapeInfo = {&gShapeTypeInfo, kShapeValues};
const Lumo::EnumFuncs kColorFuncs = {UnboxColor, BoxColor, ColorsToStrings, ColorsFromStrings,
                                     CreateColorArray};

// ---- Classes -------------------------------------------------------------------------------

Base::Base(const Base& other)
    : Lumo::DynamicData(other),
      name(other.name),
      count(other.count),
      child(other.child ? other.child->_Clone() : nullptr),
      items(other.items ? other.items->_Clone() : nullptr) {}

Lumo::Type* Base::_GetType() const { return Lumo::GetDoType<Base>(); }
Lumo::DataObjectType* Base::_GetDataType() const { return Lumo::GetDoType<Base>(); }

bool Base::_IsEqual(const Lumo::Any* other, bool looseMatch) const {
  auto* o = static_cast<const Base*>(other);
  return name == o->name && OptionalMatches(count, o->count, looseMatch) &&
         Lumo::AreEqualAnysInt(child.Get(), o->child.Get(), 0, looseMatch) &&
         Lumo::AreEqualAnysInt(items.Get(), o->items.Get(), Lumo::kFlagArray | Lumo::kFlagOptional,
                               looseMatch);
}

void Base::_DiffProperties(const Lumo::Any* other, const std::string& prefix,
                           Lumo::PropertyDiffSet& diffs) const {
  auto* o = static_cast<const Base*>(other);
  Add(name != o->name, prefix, ".name", diffs);
  Add(!(count == o->count), prefix, ".count", diffs);
  Lumo::DiffAnyPropertiesInt(child.Get(), o->child.Get(), prefix, ".child", 0, diffs);
  Lumo::DiffAnyPropertiesInt(items.Get(), o->items.Get(), prefix, ".items",
                             Lumo::kFlagArray | Lumo::kFlagOptional, diffs);
}

Lumo::Type* Derived::_GetType() const { return Lumo::GetDoType<Derived>(); }
Lumo::DataObjectType* Derived::_GetDataType() const { return Lumo::GetDoType<Derived>(); }

bool Derived::_IsEqual(const Lumo::Any* other, bool looseMatch) const {
  if (!Base::_IsEqual(other, looseMatch)) return false;
  auto* o = static_cast<const Derived*>(other);
  return OptionalMatches(tag, o->tag, looseMatch) && when.GetUtcTime() == o->when.GetUtcTime();
}

void Derived::_DiffProperties(const Lumo::Any* other, const std::string& prefix,
                              Lumo::PropertyDiffSet& diffs) const {
  Base::_DiffProperties(other, prefix, diffs);
  auto* o = static_cast<const Derived*>(other);
  Add(!(tag == o->tag), prefix, ".tag", diffs);
  Add(when.GetUtcTime() != o->when.GetUtcTime(), prefix, ".when", diffs);
}

Lumo::Type* Other::_GetType() const { return Lumo::GetDoType<Other>(); }
Lumo::DataObjectType* Other::_GetDataType() const { return Lumo::GetDoType<Other>(); }
bool Other::_IsEqual(const Lumo::Any* other, bool) const {
  return flag == static_cast<const Other*>(other)->flag;
}
void Other::_DiffProperties(const Lumo::Any* other, const std::string& prefix,
                            Lumo::PropertyDiffSet& diffs) const {
  Add(flag != static_cast<const Other*>(other)->flag, prefix, ".flag", diffs);
}

Lumo::Type* Fault::_GetType() const { return Lumo::GetDoType<Fault>(); }
Lumo::DataObjectType* Fault::_GetDataType() const { return Lumo::GetDoType<Fault>(); }
bool Fault::_IsEqual(const Lumo::Any* other, bool looseMatch) const {
  return Lumo::MethodFault::_IsEqual(other, looseMatch) &&
         code == static_cast<const Fault*>(other)->code;
}

Fault::Exception::Exception(Fault* fault) : Exception(FormatMessage(fault), fault) {}
Fault::Exception::Exception(int32_t code)
    : Exception([code] {
        auto fault = Kestrum::MakeRef<Fault>();
        fault->code = code;
        return fault;
      }()
                    .Get()) {}
Fault* Fault::Exception::GetFault() const {
  auto* fault = dynamic_cast<Fault*>(Lumo::MethodFault::Exception::GetFault());
  KESTRUM_ASSERT_AT(fault, "test/Fault-decl", 34);
  return fault;
}

Lumo::Type* SubFault::_GetType() const { return Lumo::GetDoType<SubFault>(); }
Lumo::DataObjectType* SubFault::_GetDataType() const { return Lumo::GetDoType<SubFault>(); }
SubFault::Exception::Exception(SubFault* fault) : Fault::Exception(FormatMessage(fault), fault) {}
SubFault::Exception::Exception() : Exception(Kestrum::Ref<SubFault>(new SubFault).Get()) {}
SubFault* SubFault::Exception::GetFault() const {
  auto* fault = dynamic_cast<SubFault*>(Lumo::MethodFault::Exception::GetFault());
  KESTRUM_ASSERT_AT(fault, "test/SubFault-decl", 34);
  return fault;
}

Lumo::ManagedObjectType* Widget::_GetType() const { return Lumo::GetMoType<Widget>(); }

int32_t WidgetStub::GetSize() {
  std::vector<Kestrum::Ref<Lumo::Any>> args;
  Kestrum::Ref<Lumo::Any> result;
  _Invoke_Task(gTestWidgetMethodObjects[2], args, result);
  auto* boxed = dynamic_cast<Lumo::Primitive<int32_t>*>(result.Get());
  if (!boxed) {
    Kestrum::ThrowTypeMismatchException(typeid(Lumo::Primitive<int32_t>),
                                        result ? typeid(*result) : typeid(nullptr));
  }
  return boxed->GetValue();
}

void WidgetStub::Poke(const std::string& what) {
  std::vector<Kestrum::Ref<Lumo::Any>> args(1);
  args[0] = new Lumo::Primitive<std::string>(what);
  _Invoke_Task(gTestWidgetMethodObjects[0], args);
}

std::string WidgetStub::Ping() {
  std::vector<Kestrum::Ref<Lumo::Any>> args;
  Kestrum::Ref<Lumo::Any> result;
  _Invoke_Task(gTestWidgetMethodObjects[1], args, result);
  auto* boxed = dynamic_cast<Lumo::Primitive<std::string>*>(result.Get());
  if (!boxed) {
    Kestrum::ThrowTypeMismatchException(typeid(Lumo::Primitive<std::string>),
                                        result ? typeid(*result) : typeid(nullptr));
  }
  return boxed->GetValue();
}

void WidgetStub::Ping(const Lumo::CompletionFunctor& completion,
                      Kestrum::Ref<Kestrum::System::ScheduledItem>& item) {
  std::vector<Kestrum::Ref<Lumo::Any>> args;
  _StartInvoke_Task(gTestWidgetMethodObjects[1], args, completion, item);
}

}  // namespace LumoTest

namespace Lumo {
template <>
DataObjectType* GetDoType<LumoTest::Derived>() {
  return LumoTest::SlotAs<DataObjectType>(0);
}
template <>
DataObjectType* GetDoType<LumoTest::Base>() {
  return LumoTest::SlotAs<DataObjectType>(1);
}
template <>
DataObjectType* GetDoType<LumoTest::Other>() {
  return LumoTest::SlotAs<DataObjectType>(2);
}
template <>
DataObjectType* GetDoType<LumoTest::SubFault>() {
  return LumoTest::SlotAs<DataObjectType>(3);
}
template <>
DataObjectType* GetDoType<LumoTest::Fault>() {
  return LumoTest::SlotAs<DataObjectType>(4);
}
template <>
EnumType* GetEnumType<LumoTest::Color>() {
  return LumoTest::SlotAs<EnumType>(5);
}
template <>
ManagedObjectType* GetMoType<LumoTest::Widget>() {
  return LumoTest::SlotAs<ManagedObjectType>(6);
}
}  // namespace Lumo
