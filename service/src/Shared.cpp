// Helpers shared by the managers: entities, hubs, commits, compliance.
#include <Lumo/ServedCall.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Compliance/OperationalStatus.h>
#include <Olyx/Zel/Fault/LegacyHubsNotSupported.h>
#include <Olyx/Zel/Fault/NonExistentHubs.h>
#include <Olyx/Zel/Fault/NotFound.h>

#include "objects/Managers.h"
#include "domain/Matching.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;

std::string EntityKey(const Zel::ServerObjectRef& entity) {
  std::string key = entity.GetObjectType() + ":" + entity.GetKey();
  if (const std::string* server = entity.PeekServerUuid()) key += "@" + *server;
  return key;
}

void CheckEntity(const Zel::ServerObjectRef* entity, const std::string& path) {
  if (entity == nullptr) Faults::InvalidArgument(path, "no entity given");
  // Any value of the object type enumeration but "unknown", which names no
  // entity the service could act on.
  const std::string& type = entity->GetObjectType();
  bool known = type != Zel::ServerObjectRef::OBJECTTYPE_UNKNOWN &&
               Lumo::GetEnumType<Zel::ServerObjectRef::ObjectType>()->FromWireString(type) >= 0;
  if (!known) {
    Faults::InvalidArgument(path + ".objectType", "unknown object type \"" + type + "\"");
  }
  if (entity->GetKey().empty()) Faults::InvalidArgument(path + ".key", "the entity key is empty");
}

void CheckEntities(const Lumo::DataArray<Zel::ServerObjectRef>* entities, const std::string& path,
                   const QuotaTable& quotas, bool mayBeEmpty) {
  if (!mayBeEmpty && (entities == nullptr || entities->IsEmpty())) {
    Faults::InvalidArgument(path, "no entities given");
  }
  if (entities == nullptr) return;
  quotas.CheckEntityCount(static_cast<size_t>(entities->GetLength()), path);
  for (int i = 0; i < entities->GetLength(); ++i) CheckEntity(entities->Get(i), Indexed(path, i));
}

std::string CurrentUser(SessionTable& sessions) {
  if (const Lumo::ServedCall* call = Lumo::CurrentCall()) {
    if (auto session = sessions.Find(call->sessionId)) return session->user;
  }
  return "anonymous";
}

std::string CurrentSession() {
  const Lumo::ServedCall* call = Lumo::CurrentCall();
  return call != nullptr ? call->sessionId : std::string();
}

std::string Indexed(const std::string& path, int index) {
  return path + "[" + std::to_string(index) + "]";
}

Ref<Zel::Profile::ProfileId> MakeId(const std::string& uniqueId) {
  auto id = MakeRef<Zel::Profile::ProfileId>();
  id->SetUniqueId(uniqueId);
  return id;
}

void CommitChanges(ServiceCore& core, const ChangeSet& changes, const QuotaUse& adds,
                   void (*refuse)(const std::string& message)) {
  const std::string session = CurrentSession();
  QuotaUse held{core.state.ProfileCount(), core.state.Associations().size(),
                core.state.Results().size()};
  core.quotas.Check(session, adds, held, refuse);
  try {
    core.state.Commit(changes);
  } catch (const StoreError& e) {
    Faults::ProfileStorage(std::string("the change was not stored: ") + e.what());
  }
  core.quotas.Charge(session, adds);
}

const InventoryHub* FindHub(const Inventory& inventory, const Zel::Placement::PlacementHub& hub) {
  const InventoryHub* found = inventory.FindHub(hub.GetHubId());
  return found != nullptr && found->type == hub.GetHubType() ? found : nullptr;
}

std::vector<const InventoryHub*> RequireHubs(
    const Inventory& inventory, const Lumo::DataArray<Zel::Placement::PlacementHub>* hubs,
    const std::string& path, bool refuseLegacy) {
  if (hubs == nullptr || hubs->IsEmpty()) Faults::InvalidArgument(path, "no hubs given");
  std::vector<const InventoryHub*> found;
  auto missing = MakeRef<Lumo::DataArray<Zel::Placement::PlacementHub>>();
  auto legacy = MakeRef<Lumo::DataArray<Zel::Placement::PlacementHub>>();
  std::string names;
  for (int i = 0; i < hubs->GetLength(); ++i) {
    const Zel::Placement::PlacementHub* hub = hubs->Get(i);
    if (hub == nullptr) Faults::InvalidArgument(Indexed(path, i), "no hub given");
    const InventoryHub* one = FindHub(inventory, *hub);
    if (one == nullptr) {
      missing->Append(hub->_Clone());
      names += (names.empty() ? "" : ", ") + hub->GetHubType() + ":" + hub->GetHubId();
    } else if (refuseLegacy && one->legacy) {
      legacy->Append(hub->_Clone());
    }
    found.push_back(one);
  }
  if (!missing->IsEmpty()) {
    auto fault = MakeRef<Zel::Fault::NonExistentHubs>();
    fault->SetHubs(missing.Get());
    fault->SetMsg("the inventory has no hub " + names);
    throw Zel::Fault::NonExistentHubs::Exception(fault.Get());
  }
  if (!legacy->IsEmpty()) {
    auto fault = MakeRef<Zel::Fault::LegacyHubsNotSupported>();
    fault->SetHubs(legacy.Get());
    fault->SetMsg("legacy hubs take no default profile");
    throw Zel::Fault::LegacyHubsNotSupported::Exception(fault.Get());
  }
  return found;
}

Ref<Zel::Placement::PlacementHub> MakeHub(const InventoryHub& hub) {
  auto made = MakeRef<Zel::Placement::PlacementHub>();
  made->SetHubType(hub.type);
  made->SetHubId(hub.id);
  return made;
}

Ref<Zel::Compliance::ComplianceResult> ComputeCompliance(
    const Inventory& inventory, const Zel::ServerObjectRef& entity,
    const Zel::Profile::CapabilityBasedProfile& profile) {
  using Zel::Compliance::ComplianceResult;
  auto result = MakeRef<ComplianceResult>();
  result->SetEntity(entity._Clone());
  result->SetProfile(profile.GetProfileId()->_Clone());
  result->SetMismatch(false);
  result->SetCheckTime(Now());
  const InventoryHub* hub = inventory.HubOf(entity.GetObjectType(), entity.GetKey());
  if (hub == nullptr) {
    result->SetComplianceStatus(ComplianceResult::COMPLIANCESTATUS_UNKNOWN);
    result->SetComplianceTaskStatus(
        Kestrum::Optional<std::string>(ComplianceResult::COMPLIANCETASKSTATUS_FAILED));
    result->GetErrorCause()->Append(
        Faults::MakeNotFound("the inventory puts " + EntityKey(entity) + " on no hub").Get());
    return result;
  }
  Evaluation evaluation = Evaluate(*hub, profile.GetConstraints());
  result->SetComplianceStatus(evaluation.meets ? ComplianceResult::COMPLIANCESTATUS_COMPLIANT
                                               : ComplianceResult::COMPLIANCESTATUS_NONCOMPLIANT);
  if (!evaluation.meets) result->SetViolatedPolicies(evaluation.violated.Get());
  result->SetComplianceTaskStatus(
      Kestrum::Optional<std::string>(ComplianceResult::COMPLIANCETASKSTATUS_SUCCESS));
  auto operational = MakeRef<Zel::Compliance::OperationalStatus>();
  operational->SetHealthy(Kestrum::Optional<bool>(hub->accessibility == "accessible"));
  result->SetOperationalStatus(operational.Get());
  return result;
}

}  // namespace ZelSample
