// Description records, record accessor functions, loader and type accessors
// of the hox types.
//
// Records that point into the runtime's library are writable and hold null
// until the stores at the start of static initialisation fill them; the loader
// is registered after the stores.
#include <Hox/Vm/ProfileSpec.h>
#include <Hox/Vm/Replication/ReplicationGroupId.h>
#include <Hox/Vm/Replication/ReplicationSpec.h>
#include <Kestrum/Exception.h>
#include <Kestrum/Panic.h>
#include <Lumo/RuntimeTypeInfos.h>
#include <Lumo/TypeInfoLoader.h>

#include <typeinfo>

using Hox::Vm::ProfileSpec;
using Hox::Vm::Replication::ReplicationGroupId;
using Hox::Vm::Replication::ReplicationSpec;

namespace {

constexpr const char* kUnit = "LIBRARIES\\hox\\vm\\typeinfo";
constexpr const char* kVersion11 = "hox.version.version11";

}  // namespace

::Lumo::TypeInfo gHoxVmProfileSpecTypeInfo = {::Lumo::kTypeKindDataObject, "hox.vm.ProfileSpec",
                                              "HoxProfileSpec", kVersion11};
::Lumo::TypeInfo gHoxVmReplicationReplicationSpecTypeInfo = {::Lumo::kTypeKindDataObject,
                                                             "hox.vm.replication.ReplicationSpec",
                                                             "HoxReplicationSpec", kVersion11};
::Lumo::TypeInfo gHoxVmReplicationReplicationGroupIdTypeInfo = {
    ::Lumo::kTypeKindDataObject, "hox.vm.replication.ReplicationGroupId", "HoxReplicationGroupId",
    kVersion11};

namespace Lumo {
template class DataArray<ProfileSpec>;
template class DataArray<ReplicationSpec>;
template class DataArray<ReplicationGroupId>;
}  // namespace Lumo

namespace {

// ---- Property records (types of the runtime filled in by the stores) ---------

::Lumo::PropInfo gReplicationGroupIdProperties[] = {
    {"faultDomainId", nullptr, nullptr, nullptr, 0, kVersion11},
    {"deviceGroupId", nullptr, nullptr, nullptr, 0, kVersion11},
    {nullptr, nullptr, nullptr, nullptr, 0xffffffffu, nullptr},
};

::Lumo::PropInfo gReplicationSpecProperties[] = {
    {"replicationGroupId", nullptr, nullptr, &gHoxVmReplicationReplicationGroupIdTypeInfo, 0,
     kVersion11},
    {"replicationTarget", nullptr, nullptr, nullptr, ::Lumo::kFlagOptional, kVersion11},
    {nullptr, nullptr, nullptr, nullptr, 0xffffffffu, nullptr},
};

::Lumo::PropInfo gProfileSpecProperties[] = {
    {"profileId", nullptr, nullptr, nullptr, 0, kVersion11},
    {"profileData", nullptr, nullptr, nullptr, ::Lumo::kFlagOptional, kVersion11},
    {"profileGenerationId", nullptr, nullptr, nullptr, ::Lumo::kFlagOptional, kVersion11},
    {"replicationSpec", nullptr, nullptr, &gHoxVmReplicationReplicationSpecTypeInfo,
     ::Lumo::kFlagOptional, kVersion11},
    {nullptr, nullptr, nullptr, nullptr, 0xffffffffu, nullptr},
};

// ---- Shared helpers of the accessor functions -----------------------------------------

template <class T>
T* CheckedCast(::Lumo::Any* value) {
  if (!value) return nullptr;
  T* typed = dynamic_cast<T*>(value);
  if (!typed) Kestrum::ThrowTypeMismatchException(typeid(T), typeid(*value));
  return typed;
}

// Exchanges a reference-held member with a Ref<Any> after checking its class.
template <class T, class Swap>
void SwapReference(void* value, Swap swap) {
  auto* incoming = static_cast<Kestrum::Ref<::Lumo::Any>*>(value);
  Kestrum::Ref<T> typed(CheckedCast<T>(incoming->Get()));
  swap(&typed);
  *incoming = static_cast<::Lumo::Any*>(typed.Get());
}

// An optional value travels as its plain value.
template <class T, class Swap>
void SwapOptionalThroughPlain(void* value, Swap swap) {
  auto* plain = static_cast<T*>(value);
  Kestrum::Optional<T> incoming(*plain);
  swap(&incoming);  // validates first where the property asks for it
  *plain = incoming.IsSet() ? incoming.GetValue() : T();
}

const std::string& String(const void* value) { return *static_cast<const std::string*>(value); }
::Lumo::Any* Reference(const void* value) {
  return static_cast<const Kestrum::Ref<::Lumo::Any>*>(value)->Get();
}
void PutReference(void* dest, const ::Lumo::Any* value) {
  *static_cast<Kestrum::Ref<::Lumo::Any>*>(dest) = const_cast<::Lumo::Any*>(value);
}

// ---- hox.vm.replication.ReplicationGroupId ----------------------------------------

void ReplicationGroupIdGet(const ::Lumo::Any* obj, int index, void* dest) {
  auto* o = static_cast<const ReplicationGroupId*>(obj);
  switch (index) {
    case 0:
      *static_cast<std::string*>(dest) = o->GetFaultDomainId();
      return;
    case 1:
      *static_cast<std::string*>(dest) = o->GetDeviceGroupId();
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 118);
}

const void* ReplicationGroupIdPeek(const ::Lumo::Any* obj, int index) {
  auto* o = static_cast<const ReplicationGroupId*>(obj);
  switch (index) {
    case 0:
      return o->PeekFaultDomainId();
    case 1:
      return o->PeekDeviceGroupId();
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 129);
}

void ReplicationGroupIdSet(::Lumo::Any* obj, int index, const void* value) {
  auto* o = static_cast<ReplicationGroupId*>(obj);
  switch (index) {
    case 0:
      o->SetFaultDomainId(String(value));
      return;
    case 1:
      o->SetDeviceGroupId(String(value));
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 142);
}

void ReplicationGroupIdSwap(::Lumo::Any* obj, int index, void* value) {
  auto* o = static_cast<ReplicationGroupId*>(obj);
  switch (index) {
    case 0:
      o->SwapFaultDomainId(static_cast<std::string*>(value));
      return;
    case 1:
      o->SwapDeviceGroupId(static_cast<std::string*>(value));
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 155);
}

bool AlwaysSet(const ::Lumo::Any*, int) { return true; }

// ---- hox.vm.replication.ReplicationSpec -----------------------------------------------

void ReplicationSpecGet(const ::Lumo::Any* obj, int index, void* dest) {
  auto* o = static_cast<const ReplicationSpec*>(obj);
  switch (index) {
    case 0:
      PutReference(dest, o->GetReplicationGroupId());
      return;
    case 1:
      *static_cast<std::string*>(dest) = o->GetReplicationTarget().GetValue();
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 170);
}

const void* ReplicationSpecPeek(const ::Lumo::Any* obj, int index) {
  auto* o = static_cast<const ReplicationSpec*>(obj);
  switch (index) {
    case 0:
      return static_cast<const ::Lumo::Any*>(o->PeekReplicationGroupId());
    case 1:
      return o->PeekReplicationTarget();
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 181);
}

void ReplicationSpecSet(::Lumo::Any* obj, int index, const void* value) {
  auto* o = static_cast<ReplicationSpec*>(obj);
  switch (index) {
    case 0:
      o->SetReplicationGroupId(CheckedCast<ReplicationGroupId>(Reference(value)));
      return;
    case 1:
      o->SetReplicationTarget(Kestrum::Optional<std::string>(String(value)));
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 194);
}

void ReplicationSpecSwap(::Lumo::Any* obj, int index, void* value) {
  auto* o = static_cast<ReplicationSpec*>(obj);
  switch (index) {
    case 0:
      SwapReference<ReplicationGroupId>(
          value, [o](Kestrum::Ref<ReplicationGroupId>* v) { o->SwapReplicationGroupId(v); });
      return;
    case 1:
      SwapOptionalThroughPlain<std::string>(
          value, [o](Kestrum::Optional<std::string>* v) { o->SwapReplicationTarget(v); });
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 211);
}

bool ReplicationSpecIsSet(const ::Lumo::Any* obj, int index) {
  auto* o = static_cast<const ReplicationSpec*>(obj);
  switch (index) {
    case 0:
      return o->PeekReplicationGroupId() != nullptr;
    case 1:
      return o->PeekReplicationTarget() != nullptr;
  }
  return true;
}

void ReplicationSpecUnset(::Lumo::Any* obj, int index) {
  auto* o = static_cast<ReplicationSpec*>(obj);
  switch (index) {
    case 1:
      o->UnsetReplicationTarget();
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 231);
}

// ---- hox.vm.ProfileSpec ------------------------------------------------------------------

void ProfileSpecGet(const ::Lumo::Any* obj, int index, void* dest) {
  auto* o = static_cast<const ProfileSpec*>(obj);
  switch (index) {
    case 0:
      *static_cast<std::string*>(dest) = o->GetProfileId();
      return;
    case 1:
      *static_cast<std::string*>(dest) = o->GetProfileData().GetValue();
      return;
    case 2:
      *static_cast<int64_t*>(dest) = o->GetProfileGenerationId().GetValue();
      return;
    case 3:
      PutReference(dest, o->GetReplicationSpec());
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 252);
}

const void* ProfileSpecPeek(const ::Lumo::Any* obj, int index) {
  auto* o = static_cast<const ProfileSpec*>(obj);
  switch (index) {
    case 0:
      return o->PeekProfileId();
    case 1:
      return o->PeekProfileData();
    case 2:
      return o->PeekProfileGenerationId();
    case 3:
      return static_cast<const ::Lumo::Any*>(o->PeekReplicationSpec());
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 267);
}

void ProfileSpecSet(::Lumo::Any* obj, int index, const void* value) {
  auto* o = static_cast<ProfileSpec*>(obj);
  switch (index) {
    case 0:
      o->SetProfileId(String(value));
      return;
    case 1:
      o->SetProfileData(Kestrum::Optional<std::string>(String(value)));
      return;
    case 2:
      o->SetProfileGenerationId(Kestrum::Optional<int64_t>(*static_cast<const int64_t*>(value)));
      return;
    case 3:
      o->SetReplicationSpec(CheckedCast<ReplicationSpec>(Reference(value)));
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 286);
}

void ProfileSpecSwap(::Lumo::Any* obj, int index, void* value) {
  auto* o = static_cast<ProfileSpec*>(obj);
  switch (index) {
    case 0:
      o->SwapProfileId(static_cast<std::string*>(value));
      return;
    case 1:
      SwapOptionalThroughPlain<std::string>(
          value, [o](Kestrum::Optional<std::string>* v) { o->SwapProfileData(v); });
      return;
    case 2:
      SwapOptionalThroughPlain<int64_t>(
          value, [o](Kestrum::Optional<int64_t>* v) { o->SwapProfileGenerationId(v); });
      return;
    case 3:
      SwapReference<ReplicationSpec>(
          value, [o](Kestrum::Ref<ReplicationSpec>* v) { o->SwapReplicationSpec(v); });
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 309);
}

bool ProfileSpecIsSet(const ::Lumo::Any* obj, int index) {
  auto* o = static_cast<const ProfileSpec*>(obj);
  switch (index) {
    case 1:
      return o->PeekProfileData() != nullptr;
    case 2:
      return o->PeekProfileGenerationId() != nullptr;
    case 3:
      return o->PeekReplicationSpec() != nullptr;
  }
  return true;
}

void ProfileSpecUnset(::Lumo::Any* obj, int index) {
  auto* o = static_cast<ProfileSpec*>(obj);
  switch (index) {
    case 1:
      o->UnsetProfileData();
      return;
    case 2:
      o->UnsetProfileGenerationId();
      return;
    case 3:
      o->SetReplicationSpec(nullptr);
      return;
  }
  KESTRUM_NOT_REACHED_AT(kUnit, 336);
}

template <class T>
::Lumo::Any* CreateInstance() {
  return new T;
}

template <class T>
::Lumo::Any* CreateArray() {
  return new ::Lumo::DataArray<T>;
}

// ---- Data type records ---------------------------------------------------------------------

::Lumo::DataTypeInfo gReplicationGroupIdInfo = {&gHoxVmReplicationReplicationGroupIdTypeInfo,
                                                nullptr,
                                                gReplicationGroupIdProperties,
                                                ReplicationGroupIdGet,
                                                ReplicationGroupIdPeek,
                                                ReplicationGroupIdSet,
                                                ReplicationGroupIdSwap,
                                                AlwaysSet,
                                                nullptr,
                                                CreateInstance<ReplicationGroupId>,
                                                CreateArray<ReplicationGroupId>};

::Lumo::DataTypeInfo gReplicationSpecInfo = {&gHoxVmReplicationReplicationSpecTypeInfo,
                                             nullptr,
                                             gReplicationSpecProperties,
                                             ReplicationSpecGet,
                                             ReplicationSpecPeek,
                                             ReplicationSpecSet,
                                             ReplicationSpecSwap,
                                             ReplicationSpecIsSet,
                                             ReplicationSpecUnset,
                                             CreateInstance<ReplicationSpec>,
                                             CreateArray<ReplicationSpec>};

::Lumo::DataTypeInfo gProfileSpecInfo = {&gHoxVmProfileSpecTypeInfo,
                                         nullptr,
                                         gProfileSpecProperties,
                                         ProfileSpecGet,
                                         ProfileSpecPeek,
                                         ProfileSpecSet,
                                         ProfileSpecSwap,
                                         ProfileSpecIsSet,
                                         ProfileSpecUnset,
                                         CreateInstance<ProfileSpec>,
                                         CreateArray<ProfileSpec>};

// ---- Loader ---------------------------------------------------------------------------------

const ::Lumo::Type* gTypes[3] = {nullptr, nullptr, nullptr};

const ::Lumo::Type* const* LoadTypes(int& count) {
  gTypes[0] = ::Lumo::CreateDataObjectType(&gProfileSpecInfo);
  gTypes[1] = ::Lumo::CreateDataObjectType(&gReplicationSpecInfo);
  gTypes[2] = ::Lumo::CreateDataObjectType(&gReplicationGroupIdInfo);
  count = 3;
  return gTypes;
}

bool StoreRuntimeRecords() {
  gReplicationGroupIdInfo.parent = &gOlyxDynamicDataTypeInfo;
  gReplicationGroupIdProperties[0].type = &gStringTypeInfo;
  gReplicationGroupIdProperties[1].type = &gStringTypeInfo;
  gReplicationSpecInfo.parent = &gOlyxDynamicDataTypeInfo;
  gReplicationSpecProperties[1].type = &gStringTypeInfo;
  gProfileSpecInfo.parent = &gOlyxDynamicDataTypeInfo;
  gProfileSpecProperties[0].type = &gStringTypeInfo;
  gProfileSpecProperties[1].type = &gStringTypeInfo;
  gProfileSpecProperties[2].type = &gLongTypeInfo;
  return true;
}

// Initialised in this order: the stores, then the registration.
const bool gStored = StoreRuntimeRecords();
::Lumo::TypeInfoLoader gLoader("hox", nullptr, LoadTypes);

const ::Lumo::Type* TypeInSlot(int slot, int line) {
  if (!::Lumo::TypeInfoLoader::_versionInfoIsAvailable) {
    Kestrum::Panic("ASSERT %s:%d\n", kUnit, line);
  }
  return gTypes[slot];
}

::Lumo::DataObjectType* DataTypeInSlot(int slot, int line) {
  return const_cast<::Lumo::DataObjectType*>(
      static_cast<const ::Lumo::DataObjectType*>(TypeInSlot(slot, line)));
}

}  // namespace

namespace Lumo {

template <>
DataObjectType* GetDoType<ProfileSpec>() {
  return DataTypeInSlot(0, 431);
}

template <>
DataObjectType* GetDoType<ReplicationSpec>() {
  return DataTypeInSlot(1, 436);
}

template <>
DataObjectType* GetDoType<ReplicationGroupId>() {
  return DataTypeInSlot(2, 441);
}

}  // namespace Lumo
