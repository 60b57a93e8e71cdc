#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/ObjectRegistry.h>
#include <Lumo/Type.h>

#include "ServedCallScope.h"

namespace Lumo {

namespace {

[[noreturn]] void ThrowInvalidArgument(const std::string& property, const std::string& message) {
  auto fault = Kestrum::MakeRef<Fault::InvalidArgument>();
  fault->SetInvalidProperty(property);
  fault->SetMsg(message);
  throw Fault::InvalidArgument::Exception(fault.Get());
}

// The refusal of a path that words none of its own.
[[noreturn]] void RefuseAsInvalidArgument(Refusal why, const MoRef* target,
                                          const ManagedMethod& method,
                                          const ManagedObject* object) {
  if (why == Refusal::kWrongType && object != nullptr) {
    ThrowInvalidArgument("method", std::string(object->_GetType()->GetName()) + " has no method " +
                                       method.GetQualifiedName());
  }
  if (target == nullptr) ThrowInvalidArgument("_this", "the call names no object");
  ThrowInvalidArgument("_this", "no object " + target->GetTypeName() + ":" + target->GetId());
}

[[noreturn]] void Refuse(RefuseCall refuse, Refusal why, const MoRef* target,
                         const ManagedMethod& method, const ManagedObject* object) {
  if (refuse != nullptr) refuse(why, target, method, object);
  RefuseAsInvalidArgument(why, target, method, object);
}

}  // namespace

ObjectRegistry::ObjectRegistry(BeforeInvoke beforeInvoke, AfterInvoke afterInvoke)
    : _beforeInvoke(std::move(beforeInvoke)), _afterInvoke(std::move(afterInvoke)) {}

ObjectRegistry::~ObjectRegistry() = default;

Kestrum::Ref<MoRef> ObjectRegistry::Register(const std::string& id, ManagedObject* object) {
  if (object == nullptr) ThrowInvalidArgument(id, "no object to register");
  auto ref = Kestrum::MakeRef<MoRef>(object->_GetType()->GetName(), id);
  std::unique_lock<std::shared_mutex> lock(_mutex);
  _objects[id] = object;
  return ref;
}

bool ObjectRegistry::Unregister(const std::string& id) {
  Kestrum::Ref<ManagedObject> removed;
  {
    std::unique_lock<std::shared_mutex> lock(_mutex);
    auto it = _objects.find(id);
    if (it == _objects.end()) return false;
    removed = it->second;
    _objects.erase(it);
  }
  return true;  // the object is released outside the lock
}

void ObjectRegistry::Clear() {
  std::unordered_map<std::string, Kestrum::Ref<ManagedObject>> removed;
  {
    std::unique_lock<std::shared_mutex> lock(_mutex);
    removed.swap(_objects);
  }
}

Kestrum::Ref<ManagedObject> ObjectRegistry::Find(const MoRef* ref) const {
  if (ref == nullptr) return Kestrum::Ref<ManagedObject>();
  Kestrum::Ref<ManagedObject> object;
  {
    std::shared_lock<std::shared_mutex> lock(_mutex);
    auto it = _objects.find(ref->GetId());
    if (it == _objects.end()) return object;
    object = it->second;
  }
  // A reference usually names the object's own type; only another name needs
  // the type registry (and its lock) to learn whether the object is one.
  const Type* own = object->_GetType();
  if (ref->GetTypeName() == own->GetName()) return object;
  Type* named = FindTypeByName(ref->GetTypeName());
  if (named == nullptr || !own->IsA(named)) return Kestrum::Ref<ManagedObject>();
  return object;
}

void ObjectRegistry::Invoke(ServedCall& call, const MoRef* target, const ManagedMethod& method,
                            std::vector<Kestrum::Ref<Any>>& args, Kestrum::Ref<Any>& result,
                            RefuseCall refuse) const {
  Kestrum::Ref<ManagedObject> object = Find(target);
  if (!object) Refuse(refuse, Refusal::kNoObject, target, method, nullptr);
  if (!object->_GetType()->IsA(method.GetOwner())) {
    Refuse(refuse, Refusal::kWrongType, target, method, object.Get());
  }
  Detail::ServedCallScope scope(call);
  if (_beforeInvoke) _beforeInvoke(method, call);
  method.GetOwner()->GetInfo()->invokeByIndex(object.Get(), method.GetIndex(), args, result);
  if (_afterInvoke) _afterInvoke(method, call);
}

}  // namespace Lumo
