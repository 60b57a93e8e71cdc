// The objects a process serves, by id, and the one way calls reach them.
//
// Every serving path goes through ObjectRegistry::Invoke: the wire's
// dispatcher (a call read from a request) and the local stub adapter (a
// stub's call in the same process, with or without a session). Invoke finds
// the object the target names, checks that it implements the method, runs
// the registry's before-invoke hook (a service's privilege check), calls the
// object through its type record's invokeByIndex and runs the after-invoke
// hook, with the call current (Lumo/ServedCall.h) from the first hook to the
// end of the last.
#pragma once

#include <Kestrum/Object.h>
#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MoRef.h>
#include <Lumo/ServedCall.h>

#include <functional>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace Lumo {

// Why Invoke cannot make a call.
enum class Refusal {
  kNoObject,   // no target, or nothing of the target's type registered under its id
  kWrongType,  // the object does not implement the method's type
};

// Throws the fault that answers a call Invoke cannot make, in the words of
// the path that asked (the wire's paths, its dispatcher and local stub
// adapter, answer with one wire fault). target may be null; object is null
// for kNoObject. Must throw; a refusal that returns is answered with
// olyx.fault.InvalidArgument, as is every refusal of a caller that gives none.
using RefuseCall = void (*)(Refusal why, const MoRef* target, const ManagedMethod& method,
                            const ManagedObject* object);

class ObjectRegistry : public Kestrum::ObjectImpl {
 public:
  // Runs on the serving thread once the target is found and implements the
  // method, before the invocation, with the call current. A fault exception
  // it throws is the call's answer instead of invoking: the place for a
  // service's privilege check.
  using BeforeInvoke = std::function<void(const ManagedMethod& method, ServedCall& call)>;
  // Runs on the serving thread once the implementation returned (not after
  // a fault), with the call still current: the place for a service to note
  // what the call changed, such as the user of a session a login opened.
  using AfterInvoke = std::function<void(const ManagedMethod& method, ServedCall& call)>;

  explicit ObjectRegistry(BeforeInvoke beforeInvoke = {}, AfterInvoke afterInvoke = {});

  // Registers object under id (replacing what was there) and returns the
  // reference that names it: its type's name and id. Throws
  // olyx.fault.InvalidArgument for a null object.
  Kestrum::Ref<MoRef> Register(const std::string& id, ManagedObject* object);
  // False when nothing was registered under id.
  bool Unregister(const std::string& id);
  // Unregisters every object (they are released outside the lock).
  void Clear();
  // The object a reference names: registered under its id, of its type or a
  // type derived from it. Null otherwise.
  Kestrum::Ref<ManagedObject> Find(const MoRef* ref) const;

  // Calls method on the object target names: look-up, type check,
  // before-invoke hook, invokeByIndex, after-invoke hook, with call current
  // throughout. A call it cannot make goes to refuse (null:
  // olyx.fault.InvalidArgument naming "_this" or "method"); what the hooks or
  // the implementation throw passes unchanged. Arguments and result are the
  // caller's: nothing is copied.
  void Invoke(ServedCall& call, const MoRef* target, const ManagedMethod& method,
              std::vector<Kestrum::Ref<Any>>& args, Kestrum::Ref<Any>& result,
              RefuseCall refuse = nullptr) const;

 protected:
  ~ObjectRegistry() override;

 private:
  const BeforeInvoke _beforeInvoke;
  const AfterInvoke _afterInvoke;
  mutable std::shared_mutex _mutex;
  std::unordered_map<std::string, Kestrum::Ref<ManagedObject>> _objects;
};

}  // namespace Lumo
