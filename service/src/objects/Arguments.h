// Checks of what calls name (entities, capability constraints, values of
// enumerations), the keys entities are stored by and the paths refusals
// name.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/DataArray.h>
#include <Lumo/Type.h>
#include <Olyx/Zel/Profile/CapabilityConstraints.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/ServerObjectRef.h>

#include <string>

#include "store/Quotas.h"

namespace ZelSample {

class Catalogue;

// The key of an entity: its type, key and server, as one string.
std::string EntityKey(const Zel::ServerObjectRef& entity);
// Refuses (InvalidArgument at path) a missing entity, an unknown object type
// or an empty key.
void CheckEntity(const Zel::ServerObjectRef* entity, const std::string& path);
// Refuses (InvalidArgument) a missing or empty list, a list longer than a
// call may name, and any entity CheckEntity refuses.
void CheckEntities(const Lumo::DataArray<Zel::ServerObjectRef>* entities, const std::string& path,
                   const QuotaTable& quotas, bool mayBeEmpty = false);

// Refuses (InvalidArgument at path) constraints that are not sub-profile
// constraints of known capabilities with suitable values.
void CheckConstraints(const Catalogue& catalogue,
                      const Zel::Profile::CapabilityConstraints* constraints,
                      const std::string& path);

// Whether a string is one of the values of a generated enumeration.
template <class Enum>
bool IsValueOf(const std::string& value) {
  return Lumo::GetEnumType<Enum>()->FromWireString(value) >= 0;
}

// The path of an element of a list argument: "entities[2]".
std::string Indexed(const std::string& path, int index);
Kestrum::Ref<Zel::Profile::ProfileId> MakeId(const std::string& uniqueId);

}  // namespace ZelSample
