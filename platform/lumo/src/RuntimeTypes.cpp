// The runtime's own types: the records of the primitives and the two roots
// (olyx.DynamicData, olyx.ManagedObject), the creation of every runtime type,
// the typed accessors, the shared boxed booleans and the template instances the
// runtime provides. The records of the runtime's other data objects and faults
// are generated from schema/ into the build tree.
#include <Kestrum/DateTime.h>
#include <Kestrum/Panic.h>
#include <Lumo/Array.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/RuntimeTypeInfos.h>

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
Lumo::TypeInfo gOlyxManagedObjectTypeInfo = {Lumo::kTypeKindManagedObject, "olyx.ManagedObject",
                                             "ManagedObject", kVersion0};

namespace Lumo {

// ---- Template instances provided by the runtime ------------------------------

template class DataArray<Any>;
template class DataArray<DynamicData>;
template class DataArray<MoRef>;
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
//
// The records of olyx.KeyAnyValue, olyx.MethodFault and the olyx.fault faults,
// with their record accessor functions, are generated from schema/ (see
// CMakeLists.txt); the roots and the primitives are written here.

namespace Detail {

// The record accessor of every type whose properties are always set.
bool AlwaysSet(const Any*, int) { return true; }

// Create the types of the generated packages, in package order.
void CreateOlyxTypes();
void CreateOlyxFaultTypes();

}  // namespace Detail

namespace {

constexpr const char* kUnit = "lumo/typeinfo";

constexpr PropInfo kEnd = {nullptr, nullptr, nullptr, nullptr, 0xffffffffu, nullptr};

const PropInfo kNoProperties[] = {kEnd};

template <class T>
Any* CreateArray() {
  return new DataArray<T>;
}

// olyx.DynamicData is abstract: it has no instances of its own.
Any* NoInstance() { return nullptr; }

const DataTypeInfo kDynamicDataInfo = {&gOlyxDynamicDataTypeInfo,
                                       nullptr,
                                       kNoProperties,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       Detail::AlwaysSet,
                                       nullptr,
                                       NoInstance,
                                       CreateArray<DynamicData>};

const MethodInfo kNoMethods[] = {{}};

void ManagedObjectInvoke(ManagedObject*, int, std::vector<Kestrum::Ref<Any>>&,
                         Kestrum::Ref<Any>& result) {
  result.Reset();
  KESTRUM_NOT_REACHED_AT(kUnit, __LINE__);
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
    CreateOlyxTypes();
    CreateOlyxFaultTypes();
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
ManagedObjectType* GetMoType<ManagedObject>() {
  Detail::EnsureRuntimeTypes();
  return gRuntime.managedObject;
}

}  // namespace Lumo
