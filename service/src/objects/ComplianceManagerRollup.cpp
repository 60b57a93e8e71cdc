// zel.compliance.ComplianceManager: results rolled up per virtual machine
// (the machine and its disks), queries of stored results by status, and the
// health of entities.
#include <Olyx/Zel/Compliance/EntityHealthStatus.h>
#include <Olyx/Zel/Compliance/RollupComplianceResult.h>

#include <set>

#include "objects/Arguments.h"
#include "objects/ComplianceManager.h"
#include "objects/ComplianceResults.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Zel::Compliance::ComplianceResult;
using Zel::Compliance::RollupComplianceResult;
using EntityArray = Lumo::DataArray<Zel::ServerObjectRef>;
using RollupArray = Lumo::DataArray<RollupComplianceResult>;

namespace {

bool IsVm(const Zel::ServerObjectRef& entity) {
  return entity.GetObjectType() == Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE ||
         entity.GetObjectType() == Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINEANDDISKS;
}

Ref<Zel::ServerObjectRef> Entity(const char* type, const std::string& key) {
  auto entity = MakeRef<Zel::ServerObjectRef>();
  entity->SetObjectType(type);
  entity->SetKey(key);
  return entity;
}

void CheckStatus(const std::string& status) {
  if (!IsValueOf<ComplianceResult::ComplianceStatus>(status)) {
    Faults::InvalidArgument("status", "unknown compliance status \"" + status + "\"");
  }
}

// The virtual machines, each followed by its disks the inventory lists.
Ref<EntityArray> WithDisks(const Inventory& inventory, const EntityArray& vms,
                           std::vector<int>& firstOf) {
  auto all = MakeRef<EntityArray>();
  for (int i = 0; i < vms.GetLength(); ++i) {
    firstOf.push_back(all->GetLength());
    all->Append(const_cast<Zel::ServerObjectRef*>(vms.Get(i)));
    if (const InventoryEntity* vm = inventory.FindVm(vms.Get(i)->GetKey())) {
      for (const std::string& disk : vm->disks) {
        all->Append(Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID, disk).Get());
      }
    }
  }
  firstOf.push_back(all->GetLength());
  return all;
}

// The worst status first: what the roll-up of several results says.
int Rank(const std::string& status) {
  if (status == ComplianceResult::COMPLIANCESTATUS_NONCOMPLIANT) return 4;
  if (status == ComplianceResult::COMPLIANCESTATUS_OUTOFDATE) return 3;
  if (status == ComplianceResult::COMPLIANCESTATUS_UNKNOWN) return 2;
  if (status == ComplianceResult::COMPLIANCESTATUS_COMPLIANT) return 1;
  return 0;
}

Ref<RollupComplianceResult> RollUp(const Zel::ServerObjectRef& vm,
                                   const Lumo::DataArray<ComplianceResult>& results, int first,
                                   int end) {
  auto rollup = MakeRef<RollupComplianceResult>();
  rollup->SetEntity(vm._Clone());
  std::string overall = ComplianceResult::COMPLIANCESTATUS_NOTAPPLICABLE;
  int64_t oldest = 0;
  bool any = false;
  bool mismatch = false;
  bool failed = false;
  for (int i = first; i < end; ++i) {
    const ComplianceResult* one = results.Get(i);
    rollup->GetResult()->Append(const_cast<ComplianceResult*>(one));
    if (Rank(one->GetComplianceStatus()) > Rank(overall)) overall = one->GetComplianceStatus();
    if (one->GetProfile() != nullptr) {
      int64_t when = one->GetCheckTime().GetUtcTime();
      if (!any || when < oldest) oldest = when;
      any = true;
    }
    mismatch = mismatch || one->IsMismatch();
    const std::string* task = one->PeekComplianceTaskStatus();
    failed = failed || (task != nullptr && *task == ComplianceResult::COMPLIANCETASKSTATUS_FAILED);
  }
  rollup->SetOverallComplianceStatus(overall);
  rollup->SetOldestCheckTime(Kestrum::System::DateTime(oldest));
  rollup->SetProfileMismatch(mismatch);
  rollup->SetOverallComplianceTaskStatus(
      Kestrum::Optional<std::string>(failed ? ComplianceResult::COMPLIANCETASKSTATUS_FAILED
                                            : ComplianceResult::COMPLIANCETASKSTATUS_SUCCESS));
  return rollup;
}

Ref<RollupArray> RollUpAll(const EntityArray& vms, const Lumo::DataArray<ComplianceResult>& results,
                           const std::vector<int>& firstOf) {
  auto rollups = MakeRef<RollupArray>();
  for (int i = 0; i < vms.GetLength(); ++i) {
    rollups->Append(RollUp(*vms.Get(i), results, firstOf[static_cast<size_t>(i)],
                           firstOf[static_cast<size_t>(i) + 1])
                        .Get());
  }
  return rollups;
}

void CheckVms(const EntityArray* entities, const QuotaTable& quotas) {
  CheckEntities(entities, "entity", quotas);
  for (int i = 0; i < entities->GetLength(); ++i) {
    if (!IsVm(*entities->Get(i))) {
      Faults::InvalidArgument(
          Indexed("entity", i) + ".objectType",
          "results roll up per virtual machine, not per " + entities->Get(i)->GetObjectType());
    }
  }
}

// Every virtual machine the service knows: those of the inventory and those
// with an association or a stored result.
Ref<EntityArray> KnownVms(const Inventory& inventory, const ProfileState& state) {
  std::set<std::string> seen;
  auto vms = MakeRef<EntityArray>();
  auto add = [&](const Zel::ServerObjectRef& entity) {
    if (IsVm(entity) && seen.insert(EntityKey(entity)).second) vms->Append(entity._Clone());
  };
  for (const InventoryEntity& vm : inventory.GetVms()) {
    add(*Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE, vm.key));
  }
  for (const auto& [key, association] : state.Associations()) add(*association.entity);
  for (const auto& [key, stored] : state.Results()) add(*stored.result->GetEntity());
  return vms;
}

}  // namespace

void ComplianceManagerImpl::CheckRollupCompliance(EntityArray* entity, Ref<RollupArray>& result) {
  CheckVms(entity, _core.quotas);
  std::vector<int> firstOf;
  Ref<EntityArray> all = WithDisks(_core.inventory, *entity, firstOf);
  _core.quotas.CheckEntityCount(static_cast<size_t>(all->GetLength()), "entity");
  ComplianceCheck check = CheckComplianceOf(_core, *all, nullptr);
  result = RollUpAll(*entity, *check.results, firstOf);
  StoreCompliance(_core, check, *_GetType()->FindMethod("checkRollupCompliance"), result.Get());
}

void ComplianceManagerImpl::FetchRollupComplianceResult(EntityArray* entity,
                                                        Ref<RollupArray>& result) {
  CheckVms(entity, _core.quotas);
  std::vector<int> firstOf;
  Ref<EntityArray> all = WithDisks(_core.inventory, *entity, firstOf);
  result = RollUpAll(*entity, *FetchComplianceOf(_core, *all, nullptr), firstOf);
}

void ComplianceManagerImpl::QueryAtomFeedQsProviderIds(Ref<Lumo::Array<std::string>>& result) {
  result = StringArray(_core.providers.compliance.Ids());
}

void ComplianceManagerImpl::QueryByRollupComplianceStatus(const std::string& status,
                                                          Ref<EntityArray>& result) {
  Ref<RollupArray> rollups;
  QueryByRollupComplianceStatusEx(status, rollups);
  result = new EntityArray;
  for (int i = 0; i < rollups->GetLength(); ++i) result->Append(rollups->Get(i)->GetEntity());
}

void ComplianceManagerImpl::QueryByRollupComplianceStatusEx(const std::string& status,
                                                            Ref<RollupArray>& result) {
  CheckStatus(status);
  Ref<EntityArray> vms;
  auto results = MakeRef<Lumo::DataArray<ComplianceResult>>();
  std::vector<int> firstOf;
  {
    SharedState state = _state.LockShared();
    vms = KnownVms(_core.inventory, *state);
    Ref<EntityArray> all = WithDisks(_core.inventory, *vms, firstOf);
    for (int i = 0; i < all->GetLength(); ++i) {
      results->Append(StoredCompliance(*state, *all->Get(i), nullptr).Get());
    }
  }
  Ref<RollupArray> rollups = RollUpAll(*vms, *results, firstOf);
  result = new RollupArray;
  for (int i = 0; i < rollups->GetLength(); ++i) {
    if (rollups->Get(i)->GetOverallComplianceStatus() == status) result->Append(rollups->Get(i));
  }
}

void ComplianceManagerImpl::QueryOutOfDateEntities(Ref<EntityArray>& result) {
  result = new EntityArray;
  std::set<std::string> seen;
  SharedState state = _state.LockShared();
  for (const auto& [key, stored] : state->Results()) {
    if (state->GenerationOf(key.second) != stored.generation && seen.insert(key.first).second) {
      result->Append(stored.result->GetEntity()->_Clone());
    }
  }
}

void ComplianceManagerImpl::QueryByComplianceStatus(
    const std::string& status, Zel::Profile::ProfileId* profileId,
    Ref<Lumo::DataArray<ComplianceResult>>& result) {
  CheckStatus(status);
  result = new Lumo::DataArray<ComplianceResult>;
  SharedState state = _state.LockShared();
  if (profileId != nullptr && state->FindProfile(profileId->GetUniqueId()) == nullptr) {
    Faults::NotFound("no profile has the id " + profileId->GetUniqueId());
  }
  for (const auto& [key, stored] : state->Results()) {
    if (profileId != nullptr && key.second != profileId->GetUniqueId()) continue;
    Ref<ComplianceResult> one = StoredCompliance(*state, *stored.result->GetEntity(), &key.second);
    if (one->GetComplianceStatus() == status) result->Append(one.Get());
  }
}

void ComplianceManagerImpl::FetchEntityHealthStatus(
    EntityArray* entities, Ref<Lumo::DataArray<Zel::Compliance::EntityHealthStatus>>& result) {
  using Zel::Compliance::EntityHealthStatus;
  const Inventory& inventory = _core.inventory;
  Ref<EntityArray> asked(entities);
  if (!asked || asked->IsEmpty()) {
    asked = new EntityArray;
    for (const InventoryEntity& vm : inventory.GetVms()) {
      asked->Append(Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE, vm.key).Get());
    }
    for (const InventoryEntity& disk : inventory.GetDisks()) {
      asked->Append(Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID, disk.key).Get());
    }
  }
  CheckEntities(asked.Get(), "entities", _core.quotas);
  result = new Lumo::DataArray<EntityHealthStatus>;
  SharedState state = _state.LockShared();
  for (int i = 0; i < asked->GetLength(); ++i) {
    const Zel::ServerObjectRef& entity = *asked->Get(i);
    auto health = MakeRef<EntityHealthStatus>();
    if (state->FindAssociation(EntityKey(entity)) != nullptr) {
      health->SetCompliance(StoredCompliance(*state, entity, nullptr).Get());
    }
    const InventoryHub* hub = inventory.HubOf(entity.GetObjectType(), entity.GetKey());
    health->SetDatastoreAccessibilityStatus(
        hub != nullptr ? hub->accessibility
                       : EntityHealthStatus::DATASTOREACCESSIBILITYSTATUS_NOTACCESSIBLE);
    result->Append(health.Get());
  }
}

}  // namespace ZelSample
