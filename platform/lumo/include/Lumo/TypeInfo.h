// Description records through which type libraries describe their types to
// the runtime. Field order and widths are an interface format: do not reorder.
//
// A library's records are constant arrays, except where a record points at a
// record of another library: that pointer is null in the initialiser and is
// stored when the library registers (before its loader runs), so such a record
// is writable. Lists end in a terminator row (a null name, and flags
// 0xffffffff where the row has flags) or a null pointer; the runtime counts the
// rows up to the terminator. Strings are static and never freed; a null string
// means "none". Type libraries are generated (zelgen), and the generator is
// where these rules are written for them.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Fwd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Lumo {

// The identity of a type: every other record points at one.
struct TypeInfo {
  uint32_t kind;         // kTypeKind* below, or kTypeKindPrimitive / kTypeKindArray (Lumo/Type.h)
  const char* name;      // the wire name, package included: "zel.profile.Profile"
  const char* wsdlName;  // the name in the service description (WSDL): "Profile"
  const char* version;   // the version that introduced the type: "zel.version.version1"
};

enum : uint32_t {
  kTypeKindEnum = 15,
  kTypeKindDataObject = 16,
  kTypeKindFault = 17,
  kTypeKindManagedObject = 18
};

// Flag bits of properties, parameters and results; a library may set higher bits
// of its own, which the runtime carries along.
enum : uint32_t { kFlagArray = 1, kFlagOptional = 2 };

// One property of a data object, fault or managed type. A list of them ends in
// {nullptr, nullptr, nullptr, nullptr, 0xffffffff, nullptr}.
struct PropInfo {
  const char* name;        // the wire name; null in the terminator row
  const char* privilege;   // the privilege reading it needs, or null
  const char* annotation;  // free text the schema attaches, or null
  const TypeInfo* type;    // the value's type (the element type for an array)
  uint32_t flags;          // kFlagArray, kFlagOptional and the library's own bits
  const char* version;     // the version that introduced the property
};

// One parameter of a method, or its result. A list of parameters ends in
// {nullptr, nullptr, nullptr, 0xffffffff, nullptr}.
struct ParamInfo {
  const char* name;       // the wire name ("result" for a result); null in the terminator row
  const char* privilege;  // not used: always null
  const TypeInfo* type;   // the value's type; null for a method without a result
  uint32_t flags;         // kFlagArray, kFlagOptional and the library's own bits
  const char* version;    // the version that introduced the parameter (or the result)
};

// A data object or fault type. The record accessor functions address a
// property by its index in `properties` (own properties only; a base type's
// are reached through its own record) and move values through `void*` in the
// property's plain form: a string as std::string, bool, int32_t, int64_t,
// double, Kestrum::System::DateTime and TypeName as themselves, an enumeration
// value as its ordinal (int32_t), and data objects, managed object references
// and arrays as Kestrum::Ref<Any>. An optional value travels as its plain value.
struct DataTypeInfo {
  const TypeInfo* type;
  const TypeInfo* parent;      // the base type's record; null for a root
  const PropInfo* properties;  // own properties, terminated
  // Copies the value at `index` into *dest (of the plain form above).
  void (*getProperty)(const Any* obj, int index, void* dest);
  // The stored value: the address of a plain value, or the object itself for
  // data objects, references and arrays; null when unset (or an empty array).
  const void* (*peekProperty)(const Any* obj, int index);
  // Sets the value from *value (validated as the class's setter validates).
  void (*setProperty)(Any* obj, int index, const void* value);
  // Exchanges the stored value with *value.
  void (*swapProperty)(Any* obj, int index, void* value);
  // Whether the property holds a value; a type whose properties are always set
  // shares one function answering true.
  bool (*isPropertySet)(const Any* obj, int index);
  // Clears an optional property; null when the type has none.
  void (*unsetProperty)(Any* obj, int index);
  Any* (*createInstance)();  // a new default object (null for an abstract type)
  Any* (*createArray)();     // a new empty DataArray of the type
};

// An enumeration: its wire strings by ordinal, ending in a null pointer.
struct EnumTypeInfo {
  const TypeInfo* type;
  const char* const* values;
};

// One method of a managed type. A list of them ends in an all-zero row ({}).
struct MethodInfo {
  const char* name;               // the wire name; null in the terminator row
  const char* wsdlName;           // the operation's name in the service description
  const char* privilege;          // the privilege a call needs
  const void* reserved;           // always null
  ParamInfo result;               // type null when the method returns nothing
  const ParamInfo* parameters;    // terminated list
  const TypeInfo* const* faults;  // the declared faults, ending in a null pointer
  uint32_t flags;                 // the library's own bits, carried along
  const char* version;            // the version that introduced the method
};

// A managed object type (an interface of the API).
struct ManagedTypeInfo {
  const TypeInfo* type;
  const TypeInfo* parent;      // the base type's record; null for a root
  const PropInfo* properties;  // own properties, terminated
  const MethodInfo* methods;   // own methods, terminated
  // The index of an own property by wire name (not null-terminated), or -1;
  // null when the type has no properties.
  int (*propertyIndex)(const char* name, size_t length);
  // Calls own method `index` (methods first, then property getters, as in
  // methodObjects) on an implementation; args in parameter order, in the
  // boxed form; the result boxed, or null.
  void (*invokeByIndex)(ManagedObject* obj, int index, std::vector<Kestrum::Ref<Any>>& args,
                        Kestrum::Ref<Any>& result);
  Stub* (*createStub)(MoRef* ref, StubAdapter* adapter, RequestContext* context);
  // Filled when the type is created: one ManagedMethod per own method, then
  // one per own property, in that order; the array has one slot more, which
  // stays null.
  ManagedMethod** methodObjects;
};

// The functions of an enumeration, which only its library can write (they name
// the C++ enum). CreateEnumTypeImpl copies them.
struct EnumFuncs {
  int (*unboxValue)(const Any* value);  // the ordinal of a boxed value
  Any* (*boxValue)(int ordinal);        // a new boxed value
  // The wire strings of an array of values.
  void (*toStringArray)(const Any* values, const EnumType* type,
                        Kestrum::Ref<Array<std::string>>& result);
  // A new array of values from wire strings (throws on an unknown one).
  Any* (*fromStringArray)(const Array<std::string>* strings, const EnumType* type);
  Any* (*createEnumArray)();  // a new empty array of values
};

// One version of the API a library speaks.
struct OlyxVersion {
  const char* name;       // "zel.version.version1"
  const char* ns;         // the wire namespace of messages in this version
  const char* versionId;  // the version string on the wire: "1.0"
  const char* taskType;   // the wire name of the API's task type, or null
  const char* secondNs;   // the version's second namespace name, or null
  uint32_t flags;         // the library's own bits, carried along
};

// Version ancestry: `version` descends from `parent`.
struct OlyxVersionRelation {
  const char* version;
  const char* parent;
};

// The versions record of a library (handed to its TypeInfoLoader); the
// counts give the lengths of the arrays, which have no terminator.
struct OlyxVersions {
  const char* const* dependencies;  // the names the library lists as its dependencies
  uint32_t dependencyCount;
  const OlyxVersion* versions;
  uint32_t versionCount;
  const char* const* designatedVersions;  // the version names the library designates
  const OlyxVersionRelation* relations;
  uint32_t relationCount;
};

}  // namespace Lumo
