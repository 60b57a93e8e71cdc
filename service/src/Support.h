// Helpers shared by the service's objects: the base of every served object,
// the faults the service raises, string arrays, random ids and the clock.
#pragma once

#include <Kestrum/DateTime.h>
#include <Kestrum/Object.h>
#include <Kestrum/Ref.h>
#include <Lumo/Array.h>
#include <Lumo/MethodFault.h>
#include <Lumo/MoRef.h>
#include <Lumo/Type.h>

#include <string>
#include <vector>

namespace ZelSample {

// A served object: the generated interface, counted by Kestrum, named by a
// reference whose type is the interface's wire name.
template <class Interface>
class Served : public Interface, public Kestrum::ObjectImpl {
 public:
  explicit Served(const char* id)
      : _ref(new Lumo::MoRef(Lumo::GetMoType<Interface>()->GetName(), id)) {}
  Lumo::MoRef* _GetRef() const override { return _ref.Get(); }

 private:
  Kestrum::Ref<Lumo::MoRef> _ref;
};

namespace Faults {

// olyx.fault.NotSupported with a message.
[[noreturn]] void NotSupported(const std::string& message);
// olyx.fault.InvalidArgument naming the refused argument or property path.
[[noreturn]] void InvalidArgument(const std::string& property, const std::string& message);
// zel.fault.NotFound.
Kestrum::Ref<Lumo::MethodFault> MakeNotFound(const std::string& message);
[[noreturn]] void NotFound(const std::string& message);
// zel.fault.DuplicateName carrying the name.
[[noreturn]] void DuplicateName(const std::string& name);
// zel.fault.AlreadyExists carrying the name.
[[noreturn]] void AlreadyExists(const std::string& name);
// zel.fault.ZELFault.
Kestrum::Ref<Lumo::MethodFault> MakeZelFault(const std::string& message);
[[noreturn]] void ZelFault(const std::string& message);
// zel.fault.ProfileStorageFault.
[[noreturn]] void ProfileStorage(const std::string& message);
// zel.fault.InvalidLogin.
[[noreturn]] void InvalidLogin(const std::string& message);
// The refusal of a call that its session may not make: an olyx.MethodFault
// whose message says which privilege the method needs and why the session
// does not have it.
[[noreturn]] void NotAuthorized(const std::string& message);

}  // namespace Faults

// A list of strings as the runtime's array of them.
Kestrum::Ref<Lumo::Array<std::string>> StringArray(const std::vector<std::string>& values);
// A random version-4 UUID in its textual form.
std::string RandomUuid();
// The current time, in UTC.
Kestrum::System::DateTime Now();

}  // namespace ZelSample
