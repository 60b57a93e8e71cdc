// Runtime types created from description records, and their look-up.
#pragma once

#include <Lumo/Fwd.h>
#include <Lumo/TypeInfo.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <typeinfo>
#include <vector>

namespace Lumo {

// Kinds of the runtime's own types, beside the record kinds of TypeInfo.h.
enum : uint32_t { kTypeKindPrimitive = 1, kTypeKindArray = 2 };

class Type {
 public:
  virtual ~Type();

  uint32_t GetKind() const { return _info->kind; }
  // Wire name ("zel.AboutInfo", "string", "zel.AboutInfo[]").
  const char* GetName() const { return _info->name; }
  // XML schema name ("ZelAboutInfo", "string", "ArrayOfZelAboutInfo").
  const char* GetWsdlName() const { return _info->wsdlName; }
  const char* GetVersion() const { return _info->version; }
  const TypeInfo* GetTypeInfo() const { return _info; }

  // The type of arrays of this type; null for array types.
  Type* GetArrayType() const { return _arrayType; }
  bool IsArray() const { return GetKind() == kTypeKindArray; }
  // The element type of an array type; null otherwise.
  Type* GetElementType() const { return _elementType; }
  // The C++ class of this type's values, when known.
  const std::type_info* GetClass() const { return _class; }

  bool IsPrimitive() const { return GetKind() == kTypeKindPrimitive; }
  bool IsEnum() const { return GetKind() == kTypeKindEnum; }
  bool IsDataObject() const {
    return GetKind() == kTypeKindDataObject || GetKind() == kTypeKindFault;
  }
  bool IsFault() const { return GetKind() == kTypeKindFault; }
  bool IsManagedObject() const { return GetKind() == kTypeKindManagedObject; }

  // True when this type is other or derives from it.
  virtual bool IsA(const Type* other) const;

 protected:
  explicit Type(const TypeInfo* info);
  Type(const Type&) = delete;
  Type& operator=(const Type&) = delete;

 private:
  friend struct TypeAccess;
  const TypeInfo* _info;
  Type* _arrayType = nullptr;
  Type* _elementType = nullptr;
  const std::type_info* _class = nullptr;
};

// string, boolean, int, long, double, dateTime, anyType, typeName and
// ManagedObjectReference.
class PrimitiveType : public Type {
 public:
  explicit PrimitiveType(const TypeInfo* info);
};

class ArrayType : public Type {
 public:
  explicit ArrayType(Type* elementType);

 private:
  std::string _name;
  std::string _wsdlName;
  TypeInfo _ownInfo;
};

class DataObjectType : public Type {
 public:
  explicit DataObjectType(const DataTypeInfo* info);

  const DataTypeInfo* GetInfo() const { return _dataInfo; }
  // The base type; null for olyx.DynamicData and while the base is not created.
  DataObjectType* GetBase() const { return _base.load(std::memory_order_acquire); }
  bool IsA(const Type* other) const override;
  // A new default-constructed instance (count 0); null for abstract types.
  Any* CreateInstance() const;
  // A new empty array of this type (count 0).
  Any* CreateArray() const;

  // The type's own properties, in record order.
  int GetPropertyCount() const { return _propertyCount; }
  const PropInfo& GetProperty(int index) const;
  // Own index of the property of that name, or -1.
  int FindProperty(const std::string& name) const;

 private:
  friend struct TypeAccess;
  const DataTypeInfo* _dataInfo;
  std::atomic<DataObjectType*> _base{nullptr};
  int _propertyCount = 0;
};

class ManagedObjectType : public Type {
 public:
  explicit ManagedObjectType(const ManagedTypeInfo* info);
  ~ManagedObjectType() override;

  const ManagedTypeInfo* GetInfo() const { return _managedInfo; }
  ManagedObjectType* GetBase() const { return _base.load(std::memory_order_acquire); }
  bool IsA(const Type* other) const override;

  int GetOwnMethodCount() const { return _methodCount; }
  int GetOwnPropertyCount() const { return _propertyCount; }
  // Method object i: own methods first, then own properties (the layout of
  // the record's method-object array).
  ManagedMethod* GetMethod(int index) const;
  int GetMethodObjectCount() const { return static_cast<int>(_methods.size()); }
  // Looks a method or property up by wire name, here and then in the bases.
  ManagedMethod* FindMethod(const std::string& name) const;

  // A new client stub of this type through the record; null when it has none.
  Stub* CreateStub(MoRef* ref, StubAdapter* adapter, RequestContext* context) const;

 private:
  friend struct TypeAccess;
  const ManagedTypeInfo* _managedInfo;
  std::atomic<ManagedObjectType*> _base{nullptr};
  int _methodCount = 0;
  int _propertyCount = 0;
  std::vector<ManagedMethod*> _methods;
};

class EnumType : public Type {
 public:
  EnumType(const EnumTypeInfo* info, const EnumFuncs& funcs);

  const EnumTypeInfo* GetInfo() const { return _enumInfo; }
  int GetValueCount() const { return _valueCount; }
  // The wire string of an ordinal; null outside the value list.
  const char* ToWireString(int ordinal) const;
  // The ordinal of a wire string; -1 when the string is not in the list.
  int FromWireString(const std::string& value) const;
  const EnumFuncs& GetFuncs() const { return _funcs; }

 private:
  const EnumTypeInfo* _enumInfo;
  EnumFuncs _funcs;
  int _valueCount = 0;
};

// Look-up; all return null for unknown names or classes.
Type* FindTypeByName(const std::string& name);
Type* FindTypeByWsdlName(const std::string& wsdlName);
Type* FindType(const std::type_info& cls);
// Every non-array type, in creation order (the runtime's own types first).
std::vector<Type*> GetAllTypes();

// Typed accessors. Type libraries define specialisations for their classes.
template <class T>
DataObjectType* GetDoType();
template <class T>
ManagedObjectType* GetMoType();
template <class E>
EnumType* GetEnumType();
// The runtime's primitives.
template <class T>
Type* GetNoType();

template <>
Type* GetNoType<bool>();
template <>
Type* GetNoType<int32_t>();
template <>
Type* GetNoType<int64_t>();
template <>
Type* GetNoType<double>();
template <>
Type* GetNoType<std::string>();
template <>
Type* GetNoType<Kestrum::System::DateTime>();
template <>
Type* GetNoType<TypeName>();
template <>
Type* GetNoType<Any>();
template <>
Type* GetNoType<MoRef>();

template <>
DataObjectType* GetDoType<DynamicData>();
template <>
DataObjectType* GetDoType<KeyAnyValue>();
template <>
DataObjectType* GetDoType<MethodFault>();
template <>
ManagedObjectType* GetMoType<ManagedObject>();

}  // namespace Lumo
