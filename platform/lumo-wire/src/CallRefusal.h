// The wire's answer to a call the registry cannot make (Lumo::Refusal), on
// every path of the wire into it: a request the dispatcher read and a local
// stub's call alike.
#pragma once

#include <Lumo/ManagedMethod.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MoRef.h>
#include <Lumo/ObjectRegistry.h>

namespace Lumo {
namespace Wire {
namespace Detail {

// Throws olyx.fault.WireFormat on the call's _this: unknownObject for an
// object the registry has not ("no T 'id'"), wrongType for one that does
// not implement the method. A Lumo::RefuseCall.
[[noreturn]] void RefuseCall(Refusal why, const MoRef* target, const ManagedMethod& method,
                             const ManagedObject* object);

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
