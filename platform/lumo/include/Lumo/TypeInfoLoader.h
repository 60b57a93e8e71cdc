// Registration of type libraries and the start of the runtime.
#pragma once

#include <Lumo/Type.h>
#include <Lumo/TypeInfo.h>

#include <string>
#include <vector>

namespace Lumo {

// Registers a type library's package with the runtime. Constructed during
// the library's static initialisation; StartRuntime() later calls the
// callback once. A loader constructed after the start runs at once.
class TypeInfoLoader {
 public:
  using Callback = const Type* const* (*)(int& count);

  TypeInfoLoader(const char* name, const OlyxVersions* versions, Callback callback);

  // Set by StartRuntime() before any callback runs; type accessors assert it.
  static bool _versionInfoIsAvailable;
};

// Sets TypeInfoLoader::_versionInfoIsAvailable, creates the runtime's own
// types, runs every registered callback that has not run yet (in registration
// order) and links every type to its base. Calling it again runs only the
// callbacks registered since.
void StartRuntime();
bool IsRuntimeStarted();

// Creation from records. Records are kept, not copied (EnumFuncs is copied).
// Creating a type whose record already has one returns the existing type. A
// base may be created after the types derived from it: they are linked as
// soon as both exist.
DataObjectType* CreateDataObjectType(const DataTypeInfo* info);
// Also fills the record's method-object array.
ManagedObjectType* CreateManagedObjectType(const ManagedTypeInfo* info);
EnumType* CreateEnumTypeImpl(const EnumTypeInfo* info, const EnumFuncs& funcs);

// What got registered, for inspection.
struct LoaderRegistration {
  std::string name;
  const OlyxVersions* versions;
  bool hasRun;
  // The types its callback reported, in slot order.
  std::vector<const Type*> types;
};
std::vector<LoaderRegistration> GetLoaderRegistrations();

// The version record handed in by a loader (the first one that carries one
// when name is null); null when there is none.
const OlyxVersions* GetVersionInfo(const char* loaderName = nullptr);

// Types whose base record has no created type (yet).
std::vector<Type*> GetTypesWithMissingBase();

}  // namespace Lumo
