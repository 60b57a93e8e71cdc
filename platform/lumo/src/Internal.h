// Internals shared by the runtime's sources.
#pragma once

#include <Lumo/Type.h>
#include <Lumo/TypeInfo.h>

#include <string>
#include <typeinfo>

namespace Lumo {

// Writes the fields of types that only the registry sets.
struct TypeAccess {
  static void SetArrayType(Type* type, Type* arrayType) { type->_arrayType = arrayType; }
  static void SetElementType(Type* type, Type* elementType) { type->_elementType = elementType; }
  static void SetClass(Type* type, const std::type_info* cls) { type->_class = cls; }
  static void SetBase(DataObjectType* type, DataObjectType* base) {
    type->_base.store(base, std::memory_order_release);
  }
  static void SetBase(ManagedObjectType* type, ManagedObjectType* base) {
    type->_base.store(base, std::memory_order_release);
  }
  static void AddMethod(ManagedObjectType* type, ManagedMethod* method) {
    type->_methods.push_back(method);
  }
};

namespace Detail {

// Creates the runtime's own types once; every public registry function calls
// it first, so they exist whatever the order of calls.
void EnsureRuntimeTypes();

// Creation without EnsureRuntimeTypes (used while creating the runtime's own).
Type* CreatePrimitiveType(const TypeInfo* info, const std::type_info& cls,
                          const std::type_info& arrayClass);
DataObjectType* CreateDataObjectTypeNoEnsure(const DataTypeInfo* info);
ManagedObjectType* CreateManagedObjectTypeNoEnsure(const ManagedTypeInfo* info);

// How a property value travels through the record accessors (peekProperty
// gives a pointer to it).
enum class ValueKind {
  kString,     // const std::string*
  kBool,       // const bool*
  kInt,        // const int32_t*
  kLong,       // const int64_t*
  kDouble,     // const double*
  kDateTime,   // const Kestrum::System::DateTime*
  kTypeName,   // const Lumo::TypeName*
  kEnum,       // const int32_t* (ordinal)
  kReference,  // const Any* (data objects, anyType, references, arrays)
};
ValueKind GetValueKind(const PropInfo& property);
// Compares two peeked values of the same kind; null means unset.
bool PeekedValuesEqual(ValueKind kind, const void* a, const void* b);

}  // namespace Detail
}  // namespace Lumo
