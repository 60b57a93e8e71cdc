// Base of every managed object interface.
#pragma once

#include <Kestrum/Object.h>
#include <Lumo/Fwd.h>
#include <Lumo/Type.h>

namespace Lumo {

class ManagedObject : public virtual Kestrum::Object {
 public:
  // Virtual order: _GetType, _GetRef, _Unregistered.
  virtual ManagedObjectType* _GetType() const = 0;
  // The reference naming this object; null for an object without one.
  virtual MoRef* _GetRef() const;
  // Called when the object is taken out of service.
  virtual void _Unregistered();

 protected:
  ManagedObject() = default;
  ManagedObject(const ManagedObject&) = default;
  ManagedObject& operator=(const ManagedObject&) = default;
  ~ManagedObject() override;
};

}  // namespace Lumo
