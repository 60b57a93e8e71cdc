// Readable text of what the service answers, for the transcript.
#pragma once

#include <Lumo/Any.h>
#include <Olyx/Zel/Capability/CapabilityInstance-decl.h>
#include <Olyx/Zel/ServerObjectRef-decl.h>

#include <string>

namespace ZelDemo {
namespace Detail {

// 2, true, "gold", 2..8, {"silver", "bronze"}; the type name otherwise.
std::string Describe(const Lumo::Any* value);
// "replicaCount = 2", "performanceTier in {"gold"}", "stripeWidth in 2..8".
std::string Describe(const Zel::Capability::CapabilityInstance& capability);
// "vm-42 (virtualMachine)".
std::string Describe(const Zel::ServerObjectRef& entity);

}  // namespace Detail
}  // namespace ZelDemo
