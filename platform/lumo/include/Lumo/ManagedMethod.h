// A method or property of a managed type, as the runtime invokes it.
#pragma once

#include <Lumo/Fwd.h>
#include <Lumo/TypeInfo.h>

#include <string>

namespace Lumo {

class ManagedMethod {
 public:
  ManagedMethod(ManagedObjectType* owner, int index, const MethodInfo* method);
  ManagedMethod(ManagedObjectType* owner, int index, const PropInfo* property);
  ManagedMethod(const ManagedMethod&) = delete;
  ManagedMethod& operator=(const ManagedMethod&) = delete;

  ManagedObjectType* GetOwner() const { return _owner; }
  // The slot in the owner's method-object array (methods, then properties).
  int GetIndex() const { return _index; }
  // Wire name ("retrieveContent", "content").
  const char* GetName() const;
  // XML operation name of a method; the wire name of a property.
  const char* GetWsdlName() const;
  const char* GetPrivilege() const;
  const char* GetVersion() const;
  // "<type wire name>.<name>", e.g. "zel.ServiceInstance.retrieveContent".
  const std::string& GetQualifiedName() const { return _qualifiedName; }
  bool IsProperty() const { return _property != nullptr; }
  // Exactly one of the two is non-null.
  const MethodInfo* GetMethodInfo() const { return _method; }
  const PropInfo* GetPropInfo() const { return _property; }

 private:
  ManagedObjectType* _owner;
  int _index;
  const MethodInfo* _method;
  const PropInfo* _property;
  std::string _qualifiedName;
};

}  // namespace Lumo
