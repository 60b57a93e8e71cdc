// The type registry: creation of types from records, look-up, loaders and the
// start of the runtime.
#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/MoRef.h>
#include <Lumo/Stub.h>
#include <Lumo/Type.h>
#include <Lumo/TypeInfoLoader.h>

#include <cctype>
#include <mutex>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "Internal.h"

namespace Lumo {

bool TypeInfoLoader::_versionInfoIsAvailable = false;

namespace {

struct LoaderRecord {
  std::string name;
  const OlyxVersions* versions;
  TypeInfoLoader::Callback callback;
  bool hasRun;
  std::vector<const Type*> types;
};

struct Registry {
  std::mutex mutex;
  std::vector<LoaderRecord> loaders;
  std::vector<Type*> types;
  // Keyed by the record a type was created from (DataTypeInfo*,
  // ManagedTypeInfo*, EnumTypeInfo* or, for primitives, TypeInfo*).
  std::unordered_map<const void*, Type*> byRecord;
  std::unordered_map<const TypeInfo*, Type*> byInfo;
  std::unordered_map<std::string, Type*> byName;
  std::unordered_map<std::string, Type*> byWsdl;
  std::unordered_map<std::type_index, Type*> byClass;
  // Types whose base record has no type yet, keyed by that record.
  std::unordered_multimap<const TypeInfo*, Type*> waitingForBase;
  bool started = false;
};

// Created on first use and never destroyed: loaders of other libraries register
// during their static initialisation, whatever the order of initialisation,
// and types stay valid until the process ends.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

void Link(Type* derived, Type* base) {
  if (auto* d = dynamic_cast<DataObjectType*>(derived)) {
    if (auto* b = dynamic_cast<DataObjectType*>(base)) TypeAccess::SetBase(d, b);
  } else if (auto* m = dynamic_cast<ManagedObjectType*>(derived)) {
    if (auto* b = dynamic_cast<ManagedObjectType*>(base)) TypeAccess::SetBase(m, b);
  }
}

void IndexType(Registry& r, Type* type) {
  r.byName.emplace(type->GetName(), type);
  r.byWsdl.emplace(type->GetWsdlName(), type);
  if (type->GetClass()) r.byClass.emplace(std::type_index(*type->GetClass()), type);
}

// Registers a new type with its array type and links it with its base and
// with the types already waiting for it. Called with the mutex held.
void RegisterLocked(Registry& r, const void* record, Type* type, const TypeInfo* parent) {
  r.types.push_back(type);
  r.byRecord.emplace(record, type);
  r.byInfo.emplace(type->GetTypeInfo(), type);
  IndexType(r, type);
  if (Type* array = type->GetArrayType()) IndexType(r, array);

  if (parent) {
    auto base = r.byInfo.find(parent);
    if (base != r.byInfo.end()) {
      Link(type, base->second);
    } else {
      r.waitingForBase.emplace(parent, type);
    }
  }
  auto [first, last] = r.waitingForBase.equal_range(type->GetTypeInfo());
  for (auto it = first; it != last; ++it) Link(it->second, type);
  r.waitingForBase.erase(first, last);
}

Type* FindByRecordLocked(Registry& r, const void* record) {
  auto it = r.byRecord.find(record);
  return it == r.byRecord.end() ? nullptr : it->second;
}

// The class of the values a record function creates (probed once).
const std::type_info* ProbeClass(Any* (*create)()) {
  if (!create) return nullptr;
  Kestrum::Ref<Any> probe(create());
  return probe ? &typeid(*probe) : nullptr;
}

const std::type_info* ProbeEnumBoxClass(Any* (*box)(int)) {
  if (!box) return nullptr;
  Kestrum::Ref<Any> probe(box(0));
  return probe ? &typeid(*probe) : nullptr;
}

ArrayType* MakeArrayType(Type* element, const std::type_info* arrayClass) {
  auto* array = new ArrayType(element);
  TypeAccess::SetArrayType(element, array);
  TypeAccess::SetClass(array, arrayClass);
  return array;
}

template <class T>
T* Adopt(Registry& r, const void* record, T* created, const TypeInfo* parent) {
  std::lock_guard<std::mutex> lock(r.mutex);
  if (Type* existing = FindByRecordLocked(r, record)) {
    // Created concurrently by someone else: keep theirs.
    delete created->GetArrayType();
    delete created;
    return static_cast<T*>(existing);
  }
  RegisterLocked(r, record, created, parent);
  return created;
}

}  // namespace

// ---- Creation ---------------------------------------------------------------

namespace Detail {

Type* CreatePrimitiveType(const TypeInfo* info, const std::type_info& cls,
                          const std::type_info& arrayClass) {
  auto* type = new PrimitiveType(info);
  TypeAccess::SetClass(type, &cls);
  MakeArrayType(type, &arrayClass);
  return Adopt(TheRegistry(), info, static_cast<Type*>(type), nullptr);
}

DataObjectType* CreateDataObjectTypeNoEnsure(const DataTypeInfo* info) {
  Registry& r = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (Type* existing = FindByRecordLocked(r, info)) return static_cast<DataObjectType*>(existing);
  }
  // The record functions run without the lock held.
  const std::type_info* cls = ProbeClass(info->createInstance);
  const std::type_info* arrayClass = ProbeClass(info->createArray);
  auto* type = new DataObjectType(info);
  TypeAccess::SetClass(type, cls);
  MakeArrayType(type, arrayClass);
  return Adopt(r, info, type, info->parent);
}

ManagedObjectType* CreateManagedObjectTypeNoEnsure(const ManagedTypeInfo* info) {
  Registry& r = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (Type* existing = FindByRecordLocked(r, info)) {
      return static_cast<ManagedObjectType*>(existing);
    }
  }
  const std::type_info* stubClass = nullptr;
  if (info->createStub) {
    auto ref = Kestrum::MakeRef<MoRef>(info->type->name, "");
    Kestrum::Ref<Stub> probe(info->createStub(ref.Get(), nullptr, nullptr));
    if (probe) stubClass = &typeid(*probe);
  }
  auto* type = new ManagedObjectType(info);
  TypeAccess::SetClass(type, stubClass);
  MakeArrayType(type, &typeid(DataArray<MoRef>));

  std::lock_guard<std::mutex> lock(r.mutex);
  if (Type* existing = FindByRecordLocked(r, info)) {
    delete type->GetArrayType();
    delete type;
    return static_cast<ManagedObjectType*>(existing);
  }
  // One method object per own method, then per own property; the record's
  // array keeps one more slot that stays null.
  int slot = 0;
  for (int i = 0; i < type->GetOwnMethodCount(); ++i, ++slot) {
    TypeAccess::AddMethod(type, new ManagedMethod(type, slot, &info->methods[i]));
  }
  for (int j = 0; j < type->GetOwnPropertyCount(); ++j, ++slot) {
    TypeAccess::AddMethod(type, new ManagedMethod(type, slot, &info->properties[j]));
  }
  if (info->methodObjects) {
    for (int i = 0; i < slot; ++i) info->methodObjects[i] = type->GetMethod(i);
  }
  RegisterLocked(r, info, type, info->parent);
  return type;
}

}  // namespace Detail

DataObjectType* CreateDataObjectType(const DataTypeInfo* info) {
  Detail::EnsureRuntimeTypes();
  return Detail::CreateDataObjectTypeNoEnsure(info);
}

ManagedObjectType* CreateManagedObjectType(const ManagedTypeInfo* info) {
  Detail::EnsureRuntimeTypes();
  return Detail::CreateManagedObjectTypeNoEnsure(info);
}

EnumType* CreateEnumTypeImpl(const EnumTypeInfo* info, const EnumFuncs& funcs) {
  Detail::EnsureRuntimeTypes();
  Registry& r = TheRegistry();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (Type* existing = FindByRecordLocked(r, info)) return static_cast<EnumType*>(existing);
  }
  auto* type = new EnumType(info, funcs);
  TypeAccess::SetClass(type, ProbeEnumBoxClass(funcs.boxValue));
  MakeArrayType(type, ProbeClass(funcs.createEnumArray));
  return Adopt(r, info, type, nullptr);
}

// ---- Look-up -----------------------------------------------------------------

Type* FindTypeByName(const std::string& name) {
  Detail::EnsureRuntimeTypes();
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.byName.find(name);
  return it == r.byName.end() ? nullptr : it->second;
}

Type* FindTypeByWsdlName(const std::string& wsdlName) {
  Detail::EnsureRuntimeTypes();
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.byWsdl.find(wsdlName);
  return it == r.byWsdl.end() ? nullptr : it->second;
}

Type* FindType(const std::type_info& cls) {
  Detail::EnsureRuntimeTypes();
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.byClass.find(std::type_index(cls));
  return it == r.byClass.end() ? nullptr : it->second;
}

std::vector<Type*> GetAllTypes() {
  Detail::EnsureRuntimeTypes();
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.types;
}

std::vector<Type*> GetTypesWithMissingBase() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::vector<Type*> result;
  for (auto& [parent, type] : r.waitingForBase) result.push_back(type);
  return result;
}

// ---- Loaders and start ---------------------------------------------------------

namespace {

void RunLoader(size_t index, TypeInfoLoader::Callback callback) {
  int count = 0;
  const Type* const* types = callback ? callback(count) : nullptr;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (types && count > 0) r.loaders[index].types.assign(types, types + count);
}

}  // namespace

TypeInfoLoader::TypeInfoLoader(const char* name, const OlyxVersions* versions, Callback callback) {
  Registry& r = TheRegistry();
  size_t index;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    index = r.loaders.size();
    r.loaders.push_back(LoaderRecord{name ? name : "", versions, callback, r.started, {}});
    if (!r.started) return;
  }
  // A library loaded after the start: its types are created right away.
  RunLoader(index, callback);
}

void StartRuntime() {
  Detail::EnsureRuntimeTypes();
  TypeInfoLoader::_versionInfoIsAvailable = true;
  Registry& r = TheRegistry();
  for (;;) {
    size_t index = 0;
    TypeInfoLoader::Callback callback = nullptr;
    {
      std::lock_guard<std::mutex> lock(r.mutex);
      while (index < r.loaders.size() && r.loaders[index].hasRun) ++index;
      if (index == r.loaders.size()) {
        r.started = true;
        return;
      }
      r.loaders[index].hasRun = true;
      callback = r.loaders[index].callback;
    }
    RunLoader(index, callback);
  }
}

bool IsRuntimeStarted() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.started;
}

std::vector<LoaderRegistration> GetLoaderRegistrations() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::vector<LoaderRegistration> result;
  for (const LoaderRecord& l : r.loaders) {
    result.push_back(LoaderRegistration{l.name, l.versions, l.hasRun, l.types});
  }
  return result;
}

const OlyxVersions* GetVersionInfo(const char* loaderName) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (const LoaderRecord& l : r.loaders) {
    if (!l.versions) continue;
    if (!loaderName || l.name == loaderName) return l.versions;
  }
  return nullptr;
}

}  // namespace Lumo
