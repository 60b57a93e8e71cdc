// Description records through which type libraries describe their types to
// the runtime. Field order and widths are an interface format: do not reorder.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Fwd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Lumo {

struct TypeInfo {
  uint32_t kind;
  const char* name;
  const char* wsdlName;
  const char* version;
};

enum : uint32_t {
  kTypeKindEnum = 15,
  kTypeKindDataObject = 16,
  kTypeKindFault = 17,
  kTypeKindManagedObject = 18
};

enum : uint32_t { kFlagArray = 1, kFlagOptional = 2 };

struct PropInfo {
  const char* name;
  const char* privilege;
  const char* annotation;
  const TypeInfo* type;
  uint32_t flags;
  const char* version;
};

struct ParamInfo {
  const char* name;
  const char* privilege;
  const TypeInfo* type;
  uint32_t flags;
  const char* version;
};

struct DataTypeInfo {
  const TypeInfo* type;
  const TypeInfo* parent;
  const PropInfo* properties;
  void (*getProperty)(const Any* obj, int index, void* dest);
  const void* (*peekProperty)(const Any* obj, int index);
  void (*setProperty)(Any* obj, int index, const void* value);
  void (*swapProperty)(Any* obj, int index, void* value);
  bool (*isPropertySet)(const Any* obj, int index);
  void (*unsetProperty)(Any* obj, int index);
  Any* (*createInstance)();
  Any* (*createArray)();
};

struct EnumTypeInfo {
  const TypeInfo* type;
  const char* const* values;
};

struct MethodInfo {
  const char* name;
  const char* wsdlName;
  const char* privilege;
  const void* reserved;
  ParamInfo result;
  const ParamInfo* parameters;
  const TypeInfo* const* faults;
  uint32_t flags;
  const char* version;
};

struct ManagedTypeInfo {
  const TypeInfo* type;
  const TypeInfo* parent;
  const PropInfo* properties;
  const MethodInfo* methods;
  int (*propertyIndex)(const char* name, size_t length);
  void (*invokeByIndex)(ManagedObject* obj, int index, std::vector<Kestrum::Ref<Any>>& args,
                        Kestrum::Ref<Any>& result);
  Stub* (*createStub)(MoRef* ref, StubAdapter* adapter, RequestContext* context);
  ManagedMethod** methodObjects;
};

struct EnumFuncs {
  int (*unboxValue)(const Any* value);
  Any* (*boxValue)(int ordinal);
  void (*toStringArray)(const Any* values, const EnumType* type,
                        Kestrum::Ref<Array<std::string>>& result);
  Any* (*fromStringArray)(const Array<std::string>* strings, const EnumType* type);
  Any* (*createEnumArray)();
};

struct OlyxVersion {
  const char* name;
  const char* ns;
  const char* versionId;
  const char* taskType;
  const char* secondNs;
  uint32_t flags;
};

struct OlyxVersionRelation {
  const char* version;
  const char* parent;
};

struct OlyxVersions {
  const char* const* dependencies;
  uint32_t dependencyCount;
  const OlyxVersion* versions;
  uint32_t versionCount;
  const char* const* designatedVersions;
  const OlyxVersionRelation* relations;
  uint32_t relationCount;
};

}  // namespace Lumo
