// The runtime's own types: their records, record accessor functions, typed
// accessors, the shared boxed booleans and the template instances the runtime
// provides.
#include <Kestrum/DateTime.h>
#include <Kestrum/Exception.h>
#include <Kestrum/Panic.h>
#include <Lumo/Array.h>
#include <Lumo/BindingSupport.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Fault/NotSupported.h>
#include <Lumo/KeyAnyValue.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MethodFault.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/RuntimeTypeInfos.h>
#include <Lumo/TypeInfoLoader.h>
#include <Lumo/Validate.h>

#include <mutex>

#include "Internal.h"

namespace {
constexpr const char* kVersion0 = "olyx.version.version0";
}

Lumo::TypeInfo gStringTypeInfo = {Lumo::kTypeKindPrimitive, "string", "string", kVersion0};
Lumo::TypeInfo gBoolTypeInfo = {Lumo::kTypeKindPrimitive, "boolean", "boolean", kVersion0};
Lumo::TypeInfo gIntTypeInfo = {Lumo::kTypeKindPrimitive, "int", "int", kVersion0};
Lumo::TypeInfo gLongTypeInfo = {Lumo::kTypeKindPrimitive, "long", "long", kVersion0};
Lumo::TypeInfo gDoubleTypeInfo = {Lumo::kTypeKindPrimitive, "double", "double", kVersion0};
Lumo::TypeInfo gDateTimeTypeInfo = {Lumo::kTypeKindPrimitive, "dateTime", "dateTime", kVersion0};
Lumo::TypeInfo gAnyTypeInfo = {Lumo::kTypeKindPrimitive, "anyType", "anyType", kVersion0};
Lumo::TypeInfo gTypeNameTypeInfo = {Lumo::kTypeKindPrimitive, "typeName", "TypeName", kVersion0};
Lumo::TypeInfo gManagedObjectReferenceTypeInfo = {
    Lumo::kTypeKindPrimitive, "ManagedObjectReference", "ManagedObjectReference", kVersion0};
Lumo::TypeInfo gOlyxDynamicDataTypeInfo = {Lumo::kTypeKindDataObject, "olyx.DynamicData",
                                           "DynamicData", kVersion0};
Lumo::TypeInfo gOlyxKeyAnyValueTypeInfo = {Lumo::kTypeKindDataObject, "olyx.KeyAnyValue",
                                           "KeyAnyValue", kVersion0};
Lumo::TypeInfo gOlyxMethodFaultTypeInfo = {Lumo::kTypeKindFault, "olyx.MethodFault", "MethodFault",
                                           kVersion0};
Lumo::TypeInfo gOlyxManagedObjectTypeInfo = {Lumo::kTypeKindManagedObject, "olyx.ManagedObject",
                                             "ManagedObject", kVersion0};
Lumo::TypeInfo gOlyxFaultInvalidArgumentTypeInfo = {
    Lumo::kTypeKindFault, "olyx.fault.InvalidArgument", "InvalidArgument", kVersion0};
Lumo::TypeInfo gOlyxFaultNotSupportedTypeInfo = {Lumo::kTypeKindFault, "olyx.fault.NotSupported",
                                                 "NotSupported", kVersion0};

namespace Lumo {

// ---- Template instances provided by the runtime ------------------------------

template class DataArray<Any>;
template class DataArray<DynamicData>;
template class DataArray<KeyAnyValue>;
template class DataArray<MethodFault>;
template class DataArray<MoRef>;
template class DataArray<Fault::InvalidArgument>;
template class DataArray<Fault::NotSupported>;
template class Array<std::string>;
template class Array<bool>;
template class Array<int32_t>;
template class Array<int64_t>;
template class Array<double>;
template class Array<Kestrum::System::DateTime>;
template class Array<TypeName>;
template class Primitive<std::string>;
template class Primitive<bool>;
template class Primitive<int32_t>;
template class Primitive<int64_t>;
template class Primitive<double>;
template class Primitive<Kestrum::System::DateTime>;
template class Primitive<TypeName>;

namespace {

Primitive<bool>* MakeSharedBool(bool value) {
  auto* boxed = new Primitive<bool>(value);
  boxed->IncRef();  // held for the life of the process
  return boxed;
}

}  // namespace

Primitive<bool>* Primitive<bool>::Factory::sTrue = MakeSharedBool(true);
Primitive<bool>* Primitive<bool>::Factory::sFalse = MakeSharedBool(false);

// ---- Records ------------------------------------------------------------------

namespace {

constexpr const char* kUnit = "lumo/typeinfo";

constexpr PropInfo kEnd = {nullptr, nullptr, nullptr, nullptr, 0xffffffffu, nullptr};

const PropInfo kNoProperties[] = {kEnd};

const PropInfo kKeyAnyValueProperties[] = {
    {"key", nullptr, nullptr, &gStringTypeInfo, 0, kVersion0},
    {"value", nullptr, nullptr, &gAnyTypeInfo, 0, kVersion0},
    kEnd,
};

const PropInfo kMethodFaultProperties[] = {
    {"msg", nullptr, nullptr, &gStringTypeInfo, kFlagOptional, kVersion0},
    {"faultMessage", nullptr, nullptr, &gOlyxKeyAnyValueTypeInfo, kFlagArray | kFlagOptional,
     kVersion0},
    kEnd,
};

const PropInfo kInvalidArgumentProperties[] = {
    {"invalidProperty", nullptr, nullptr, &gStringTypeInfo, kFlagOptional, kVersion0},
    kEnd,
};

bool AlwaysSet(const Any*, int) { return true; }

template <class T>
Any* CreateInstance() {
  return new T;
}

template <class T>
Any* CreateArray() {
  return new DataArray<T>;
}

// An optional string travels as its plain value.
void GetOptionalString(const Kestrum::Optional<std::string>& member, void* dest) {
  *static_cast<std::string*>(dest) = member.GetValue();
}

void SwapOptionalString(Kestrum::Optional<std::string>& member, std::string* value,
                        const Any* owner, int index) {
  Validate<std::string>(value, owner, index);
  std::string incoming = std::move(*value);
  if (member.IsSet()) {
    *value = std::move(member.GetValue());
  } else {
    value->clear();
  }
  member = std::move(incoming);
}

// olyx.KeyAnyValue

void KeyAnyValueGet(const Any* obj, int index, void* dest) {
  auto* o = static_cast<const KeyAnyValue*>(obj);
  switch (index) {
    case 0:
      *static_cast<std::string*>(dest) = o->GetKey();
      return;
    case 1:
      *static_cast<Kestrum::Ref<Any>*>(dest) = const_cast<Any*>(o->GetValue());
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 131);
}

const void* KeyAnyValuePeek(const Any* obj, int index) {
  auto* o = static_cast<const KeyAnyValue*>(obj);
  switch (index) {
    case 0:
      return o->PeekKey();
    case 1:
      return static_cast<const Any*>(o->PeekValue());
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 142);
}

void KeyAnyValueSet(Any* obj, int index, const void* value) {
  auto* o = static_cast<KeyAnyValue*>(obj);
  switch (index) {
    case 0:
      o->SetKey(*static_cast<const std::string*>(value));
      return;
    case 1:
      o->SetValue(static_cast<const Kestrum::Ref<Any>*>(value)->Get());
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 155);
}

void KeyAnyValueSwap(Any* obj, int index, void* value) {
  auto* o = static_cast<KeyAnyValue*>(obj);
  switch (index) {
    case 0:
      o->SwapKey(static_cast<std::string*>(value));
      return;
    case 1:
      o->SwapValue(static_cast<Kestrum::Ref<Any>*>(value));
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 168);
}

bool KeyAnyValueIsSet(const Any* obj, int index) {
  if (index == 1) return static_cast<const KeyAnyValue*>(obj)->PeekValue() != nullptr;
  return true;
}

// olyx.MethodFault

void MethodFaultGet(const Any* obj, int index, void* dest) {
  auto* o = static_cast<const MethodFault*>(obj);
  switch (index) {
    case 0:
      GetOptionalString(o->GetMsgOptional(), dest);
      return;
    case 1:
      *static_cast<Kestrum::Ref<Any>*>(dest) =
          static_cast<Any*>(const_cast<DataArray<KeyAnyValue>*>(o->GetPtrFaultMessage()));
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 189);
}

const void* MethodFaultPeek(const Any* obj, int index) {
  auto* o = static_cast<const MethodFault*>(obj);
  switch (index) {
    case 0:
      return o->PeekMsg();
    case 1:
      return static_cast<const Any*>(o->PeekFaultMessage());
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 200);
}

void MethodFaultSet(Any* obj, int index, const void* value) {
  auto* o = static_cast<MethodFault*>(obj);
  switch (index) {
    case 0:
      o->SetMsg(Kestrum::Optional<std::string>(*static_cast<const std::string*>(value)));
      return;
    case 1:
      o->SetFaultMessage(Binding::CheckedCast<DataArray<KeyAnyValue>>(
          static_cast<const Kestrum::Ref<Any>*>(value)->Get()));
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 214);
}

void MethodFaultSwap(Any* obj, int index, void* value) {
  auto* o = static_cast<MethodFault*>(obj);
  switch (index) {
    case 0: {
      Kestrum::Optional<std::string> current = o->GetMsgOptional();
      SwapOptionalString(current, static_cast<std::string*>(value), o, 0);
      o->SetMsg(current);
      return;
    }
    case 1: {
      auto* incoming = static_cast<Kestrum::Ref<Any>*>(value);
      Kestrum::Ref<DataArray<KeyAnyValue>> typed(
          Binding::CheckedCast<DataArray<KeyAnyValue>>(incoming->Get()));
      o->SwapFaultMessage(&typed);
      *incoming = static_cast<Any*>(typed.Get());
      return;
    }
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 234);
}

bool MethodFaultIsSet(const Any* obj, int index) {
  auto* o = static_cast<const MethodFault*>(obj);
  switch (index) {
    case 0:
      return o->PeekMsg() != nullptr;
    case 1:
      return o->IsSetFaultMessage();
  }
  return true;
}

void MethodFaultUnset(Any* obj, int index) {
  auto* o = static_cast<MethodFault*>(obj);
  switch (index) {
    case 0:
      o->UnsetMsg();
      return;
    case 1:
      o->SetFaultMessage(nullptr);
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 258);
}

// olyx.fault.InvalidArgument

void InvalidArgumentGet(const Any* obj, int index, void* dest) {
  if (index == 0) {
    GetOptionalString(static_cast<const Fault::InvalidArgument*>(obj)->GetInvalidProperty(), dest);
    return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 268);
}

const void* InvalidArgumentPeek(const Any* obj, int index) {
  if (index == 0) return static_cast<const Fault::InvalidArgument*>(obj)->PeekInvalidProperty();
  KESTRUM_NOT_REACHED_AT(kUnit, 273);
}

void InvalidArgumentSet(Any* obj, int index, const void* value) {
  if (index == 0) {
    static_cast<Fault::InvalidArgument*>(obj)->SetInvalidProperty(
        Kestrum::Optional<std::string>(*static_cast<const std::string*>(value)));
    return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 281);
}

void InvalidArgumentSwap(Any* obj, int index, void* value) {
  if (index == 0) {
    auto* o = static_cast<Fault::InvalidArgument*>(obj);
    Kestrum::Optional<std::string> current = o->GetInvalidProperty();
    SwapOptionalString(current, static_cast<std::string*>(value), o, 0);
    o->SetInvalidProperty(current);
    return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 291);
}

bool InvalidArgumentIsSet(const Any* obj, int index) {
  if (index == 0) return static_cast<const Fault::InvalidArgument*>(obj)->PeekInvalidProperty();
  return true;
}

void InvalidArgumentUnset(Any* obj, int index) {
  if (index == 0) {
    static_cast<Fault::InvalidArgument*>(obj)->UnsetInvalidProperty();
    return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 304);
}

Any* NoInstance() { return nullptr; }

const DataTypeInfo kDynamicDataInfo = {&gOlyxDynamicDataTypeInfo,
                                       nullptr,
                                       kNoProperties,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       AlwaysSet,
                                       nullptr,
                                       NoInstance,
                                       CreateArray<DynamicData>};

const DataTypeInfo kKeyAnyValueInfo = {&gOlyxKeyAnyValueTypeInfo,
                                       &gOlyxDynamicDataTypeInfo,
                                       kKeyAnyValueProperties,
                                       KeyAnyValueGet,
                                       KeyAnyValuePeek,
                                       KeyAnyValueSet,
                                       KeyAnyValueSwap,
                                       KeyAnyValueIsSet,
                                       nullptr,
                                       CreateInstance<KeyAnyValue>,
                                       CreateArray<KeyAnyValue>};

const DataTypeInfo kMethodFaultInfo = {&gOlyxMethodFaultTypeInfo, &gOlyxDynamicDataTypeInfo,
                                       kMethodFaultProperties,    MethodFaultGet,
                                       MethodFaultPeek,           MethodFaultSet,
                                       MethodFaultSwap,           MethodFaultIsSet,
                                       MethodFaultUnset,          CreateInstance<MethodFault>,
                                       CreateArray<MethodFault>};

const DataTypeInfo kInvalidArgumentInfo = {&gOlyxFaultInvalidArgumentTypeInfo,
                                           &gOlyxMethodFaultTypeInfo,
                                           kInvalidArgumentProperties,
                                           InvalidArgumentGet,
                                           InvalidArgumentPeek,
                                           InvalidArgumentSet,
                                           InvalidArgumentSwap,
                                           InvalidArgumentIsSet,
                                           InvalidArgumentUnset,
                                           CreateInstance<Fault::InvalidArgument>,
                                           CreateArray<Fault::InvalidArgument>};

const DataTypeInfo kNotSupportedInfo = {&gOlyxFaultNotSupportedTypeInfo,
                                        &gOlyxMethodFaultTypeInfo,
                                        kNoProperties,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        AlwaysSet,
                                        nullptr,
                                        CreateInstance<Fault::NotSupported>,
                                        CreateArray<Fault::NotSupported>};

const MethodInfo kNoMethods[] = {{}};

void ManagedObjectInvoke(ManagedObject*, int, std::vector<Kestrum::Ref<Any>>&,
                         Kestrum::Ref<Any>& result) {
  result.Reset();
  KESTRUM_NOT_REACHED_AT(kUnit, 352);
}

ManagedMethod* gOlyxManagedObjectMethodObjects[1] = {nullptr};

const ManagedTypeInfo kManagedObjectInfo = {&gOlyxManagedObjectTypeInfo,
                                            nullptr,
                                            kNoProperties,
                                            kNoMethods,
                                            nullptr,
                                            ManagedObjectInvoke,
                                            nullptr,
                                            gOlyxManagedObjectMethodObjects};

struct RuntimeTypes {
  Type* string;
  Type* boolean;
  Type* integer;
  Type* longInteger;
  Type* doubleFloat;
  Type* dateTime;
  Type* any;
  Type* typeName;
  Type* moRef;
  DataObjectType* dynamicData;
  DataObjectType* keyAnyValue;
  DataObjectType* methodFault;
  DataObjectType* invalidArgument;
  DataObjectType* notSupported;
  ManagedObjectType* managedObject;
};

RuntimeTypes gRuntime;

}  // namespace

namespace Detail {

void EnsureRuntimeTypes() {
  static std::once_flag once;
  std::call_once(once, [] {
    using Kestrum::System::DateTime;
    gRuntime.string = CreatePrimitiveType(&gStringTypeInfo, typeid(Primitive<std::string>),
                                          typeid(Array<std::string>));
    gRuntime.boolean =
        CreatePrimitiveType(&gBoolTypeInfo, typeid(Primitive<bool>), typeid(Array<bool>));
    gRuntime.integer =
        CreatePrimitiveType(&gIntTypeInfo, typeid(Primitive<int32_t>), typeid(Array<int32_t>));
    gRuntime.longInteger =
        CreatePrimitiveType(&gLongTypeInfo, typeid(Primitive<int64_t>), typeid(Array<int64_t>));
    gRuntime.doubleFloat =
        CreatePrimitiveType(&gDoubleTypeInfo, typeid(Primitive<double>), typeid(Array<double>));
    gRuntime.dateTime = CreatePrimitiveType(&gDateTimeTypeInfo, typeid(Primitive<DateTime>),
                                            typeid(Array<DateTime>));
    gRuntime.any = CreatePrimitiveType(&gAnyTypeInfo, typeid(Any), typeid(DataArray<Any>));
    gRuntime.typeName = CreatePrimitiveType(&gTypeNameTypeInfo, typeid(Primitive<TypeName>),
                                            typeid(Array<TypeName>));
    gRuntime.moRef = CreatePrimitiveType(&gManagedObjectReferenceTypeInfo, typeid(MoRef),
                                         typeid(DataArray<MoRef>));
    gRuntime.dynamicData = CreateDataObjectTypeNoEnsure(&kDynamicDataInfo);
    gRuntime.keyAnyValue = CreateDataObjectTypeNoEnsure(&kKeyAnyValueInfo);
    gRuntime.methodFault = CreateDataObjectTypeNoEnsure(&kMethodFaultInfo);
    gRuntime.invalidArgument = CreateDataObjectTypeNoEnsure(&kInvalidArgumentInfo);
    gRuntime.notSupported = CreateDataObjectTypeNoEnsure(&kNotSupportedInfo);
    gRuntime.managedObject = CreateManagedObjectTypeNoEnsure(&kManagedObjectInfo);
  });
}

}  // namespace Detail

// The runtime's own types exist as soon as they are asked for, before the
// start too.

template <>
Type* GetNoType<bool>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.boolean;
}
template <>
Type* GetNoType<int32_t>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.integer;
}
template <>
Type* GetNoType<int64_t>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.longInteger;
}
template <>
Type* GetNoType<double>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.doubleFloat;
}
template <>
Type* GetNoType<std::string>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.string;
}
template <>
Type* GetNoType<Kestrum::System::DateTime>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.dateTime;
}
template <>
Type* GetNoType<TypeName>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.typeName;
}
template <>
Type* GetNoType<Any>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.any;
}
template <>
Type* GetNoType<MoRef>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.moRef;
}
template <>
DataObjectType* GetDoType<DynamicData>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.dynamicData;
}
template <>
DataObjectType* GetDoType<KeyAnyValue>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.keyAnyValue;
}
template <>
DataObjectType* GetDoType<MethodFault>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.methodFault;
}
template <>
DataObjectType* GetDoType<Fault::InvalidArgument>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.invalidArgument;
}
template <>
DataObjectType* GetDoType<Fault::NotSupported>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.notSupported;
}
template <>
ManagedObjectType* GetMoType<ManagedObject>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.managedObject;
}

}  // namespace Lumo
