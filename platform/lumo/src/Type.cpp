// Types: the members of Type and of its kinds (primitive, array, data object,
// managed object, enumeration), read from their records.
#include <Kestrum/Panic.h>
#include <Lumo/Any.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/MoRef.h>
#include <Lumo/Stub.h>
#include <Lumo/Type.h>
#include <Lumo/TypeKind.h>

#include <string>

#include "Internal.h"

namespace Lumo {

const char* TypeKindName(uint32_t kind) {
  switch (kind) {
    case kTypeKindPrimitive:
      return "primitive";
    case kTypeKindDataObject:
      return "data object";
    case kTypeKindFault:
      return "fault";
    case kTypeKindEnum:
      return "enumeration";
    case kTypeKindManagedObject:
      return "managed object";
  }
  return "type";
}

Type::Type(const TypeInfo* info) : _info(info) {}
Type::~Type() = default;

bool Type::IsA(const Type* other) const { return other == this; }

PrimitiveType::PrimitiveType(const TypeInfo* info) : Type(info) {}

namespace {

// Properties up to the terminator row.
int CountProperties(const PropInfo* properties) {
  int count = 0;
  while (properties && properties[count].name) ++count;
  return count;
}

std::string ArrayWsdlName(const char* elementWsdlName) {
  std::string name = elementWsdlName ? elementWsdlName : "";
  if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  return "ArrayOf" + name;
}
}  // namespace

ArrayType::ArrayType(Type* elementType)
    : Type(&_ownInfo),
      _name(std::string(elementType->GetName()) + "[]"),
      _wsdlName(ArrayWsdlName(elementType->GetWsdlName())),
      _ownInfo{kTypeKindArray, _name.c_str(), _wsdlName.c_str(), elementType->GetVersion()} {
  TypeAccess::SetElementType(this, elementType);
}

DataObjectType::DataObjectType(const DataTypeInfo* info)
    : Type(info->type), _dataInfo(info), _propertyCount(CountProperties(info->properties)) {}

bool DataObjectType::IsA(const Type* other) const {
  for (const DataObjectType* t = this; t; t = t->GetBase()) {
    if (t == other) return true;
  }
  return false;
}

Any* DataObjectType::CreateInstance() const {
  return _dataInfo->createInstance ? _dataInfo->createInstance() : nullptr;
}

Any* DataObjectType::CreateArray() const {
  return _dataInfo->createArray ? _dataInfo->createArray() : nullptr;
}

const PropInfo& DataObjectType::GetProperty(int index) const {
  KESTRUM_ASSERT_AT(index >= 0 && index < _propertyCount, "lumo/Type", 118);
  return _dataInfo->properties[index];
}

int DataObjectType::FindProperty(const std::string& name) const {
  for (int i = 0; i < _propertyCount; ++i) {
    if (name == _dataInfo->properties[i].name) return i;
  }
  return -1;
}

ManagedObjectType::ManagedObjectType(const ManagedTypeInfo* info)
    : Type(info->type), _managedInfo(info), _propertyCount(CountProperties(info->properties)) {
  while (info->methods && info->methods[_methodCount].name) ++_methodCount;
}

ManagedObjectType::~ManagedObjectType() {
  for (ManagedMethod* m : _methods) delete m;
}

bool ManagedObjectType::IsA(const Type* other) const {
  for (const ManagedObjectType* t = this; t; t = t->GetBase()) {
    if (t == other) return true;
  }
  return false;
}

ManagedMethod* ManagedObjectType::GetMethod(int index) const {
  if (index < 0 || index >= static_cast<int>(_methods.size())) return nullptr;
  return _methods[static_cast<size_t>(index)];
}

ManagedMethod* ManagedObjectType::FindMethod(const std::string& name) const {
  for (const ManagedObjectType* t = this; t; t = t->GetBase()) {
    for (ManagedMethod* m : t->_methods) {
      if (name == m->GetName()) return m;
    }
  }
  return nullptr;
}

Stub* ManagedObjectType::CreateStub(MoRef* ref, StubAdapter* adapter,
                                    RequestContext* context) const {
  return _managedInfo->createStub ? _managedInfo->createStub(ref, adapter, context) : nullptr;
}

EnumType::EnumType(const EnumTypeInfo* info, const EnumFuncs& funcs)
    : Type(info->type), _enumInfo(info), _funcs(funcs) {
  while (info->values && info->values[_valueCount]) ++_valueCount;
}

const char* EnumType::ToWireString(int ordinal) const {
  if (ordinal < 0 || ordinal >= _valueCount) return nullptr;
  return _enumInfo->values[ordinal];
}

int EnumType::FromWireString(const std::string& value) const {
  for (int i = 0; i < _valueCount; ++i) {
    if (value == _enumInfo->values[i]) return i;
  }
  return -1;
}

}  // namespace Lumo
