#include "CallRefusal.h"

#include <Lumo/Type.h>
#include <Lumo/Wire/WireFormatFault.h>

#include <string>

namespace Lumo {
namespace Wire {
namespace Detail {

void RefuseCall(Refusal why, const MoRef* target, const ManagedMethod& method,
                const ManagedObject*) {
  if (why == Refusal::kWrongType) {
    ThrowWireFault(Reason::kWrongType, "_this",
                   "the object does not implement " + std::string(method.GetOwner()->GetName()));
  }
  ThrowWireFault(
      Reason::kUnknownObject, "_this",
      target ? "no " + target->GetTypeName() + " '" + target->GetId() + "'" : "no object named");
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
