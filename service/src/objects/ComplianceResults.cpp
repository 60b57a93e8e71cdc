#include "objects/ComplianceResults.h"

#include <Olyx/Zel/Compliance/OperationalStatus.h>

#include <map>
#include <utility>
#include <vector>

#include "Support.h"
#include "domain/Matching.h"
#include "objects/Arguments.h"
#include "objects/ProviderCalls.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Zel::Compliance::ComplianceResult;
using EntityArray = Lumo::DataArray<Zel::ServerObjectRef>;
using ResultArray = Lumo::DataArray<ComplianceResult>;

namespace {

Ref<ComplianceResult> NewResult(const Zel::ServerObjectRef& entity, const std::string* profileId,
                                const char* status) {
  auto result = MakeRef<ComplianceResult>();
  result->SetEntity(entity._Clone());
  if (profileId != nullptr) result->SetProfile(MakeId(*profileId).Get());
  result->SetMismatch(false);
  result->SetComplianceStatus(status);
  return result;
}

Ref<ComplianceResult> Failed(const Zel::ServerObjectRef& entity, const std::string& profileId,
                             Lumo::MethodFault* cause) {
  Ref<ComplianceResult> result =
      NewResult(entity, &profileId, ComplianceResult::COMPLIANCESTATUS_UNKNOWN);
  result->SetCheckTime(Now());
  result->SetComplianceTaskStatus(
      Kestrum::Optional<std::string>(ComplianceResult::COMPLIANCETASKSTATUS_FAILED));
  result->GetErrorCause()->Append(cause);
  return result;
}

// An entity with no profile to check it against is notApplicable only when
// the inventory lists it: one it does not list (a mistyped key, a machine
// since removed) is unknown, with the reason, so that a client can tell the
// two apart.
Ref<ComplianceResult> WithoutProfile(const Inventory& inventory,
                                     const Zel::ServerObjectRef& entity) {
  if (inventory.Lists(entity.GetObjectType(), entity.GetKey())) {
    return NewResult(entity, nullptr, ComplianceResult::COMPLIANCESTATUS_NOTAPPLICABLE);
  }
  Ref<ComplianceResult> result =
      NewResult(entity, nullptr, ComplianceResult::COMPLIANCESTATUS_UNKNOWN);
  result->SetComplianceTaskStatus(
      Kestrum::Optional<std::string>(ComplianceResult::COMPLIANCETASKSTATUS_FAILED));
  result->GetErrorCause()->Append(Faults::MakeNotFound("the inventory lists no " +
                                                       entity.GetObjectType() + " " +
                                                       entity.GetKey())
                                      .Get());
  return result;
}

// What one entity of a check is checked against.
struct Planned {
  std::string checked;     // the profile; empty for none
  std::string associated;  // the associated profile; empty for none
  int64_t generation = 0;
  Ref<ComplianceResult> result;
};

void RequireKnownProfile(const ProfileState& state, const Zel::Profile::ProfileId* profile) {
  if (profile != nullptr && state.FindProfile(profile->GetUniqueId()) == nullptr) {
    Faults::NotFound("no profile has the id " + profile->GetUniqueId());
  }
}

}  // namespace

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

ComplianceCheck CheckComplianceOf(ServiceCore& core, const EntityArray& entities,
                                  const Zel::Profile::ProfileId* profile) {
  const int count = entities.GetLength();
  std::vector<Planned> plan(static_cast<size_t>(count));
  {
    SharedState state = core.state.LockShared();
    RequireKnownProfile(*state, profile);
    for (int i = 0; i < count; ++i) {
      Planned& one = plan[static_cast<size_t>(i)];
      if (const auto* association = state->FindAssociation(EntityKey(*entities.Get(i)))) {
        one.associated = association->profileId;
      }
      one.checked = profile != nullptr ? profile->GetUniqueId() : one.associated;
      one.generation = state->GenerationOf(one.checked);
    }
  }
  // One provider call per profile and entity type, outside the lock: the
  // provider reads what it needs itself.
  std::map<std::pair<std::string, std::string>, std::vector<int>> groups;
  for (int i = 0; i < count; ++i) {
    const Planned& one = plan[static_cast<size_t>(i)];
    if (one.checked.empty()) {
      plan[static_cast<size_t>(i)].result = WithoutProfile(core.inventory, *entities.Get(i));
      continue;
    }
    groups[{one.checked, entities.Get(i)->GetObjectType()}].push_back(i);
  }
  for (const auto& [group, members] : groups) {
    const auto& [profileId, entityType] = group;
    auto asked = MakeRef<EntityArray>();
    for (int i : members) asked->Append(const_cast<Zel::ServerObjectRef*>(entities.Get(i)));
    Ref<ResultArray> answered;
    Ref<Lumo::MethodFault> cause;
    try {
      Lumo::ManagedObject* provider = ComplianceProviderFor(core, entityType);
      if (provider == nullptr) {
        Faults::ZelFault("no compliance provider of this process serves " + entityType);
      }
      answered = ProviderAnswer<ResultArray>(provider, "checkCompliance",
                                             {Ref<Lumo::Any>(asked), MakeId(profileId)});
      if (answered->GetLength() != asked->GetLength()) {
        Faults::ZelFault("the compliance provider answered " +
                         std::to_string(answered->GetLength()) + " results for " +
                         std::to_string(asked->GetLength()) + " entities");
      }
    } catch (const Lumo::MethodFault::Exception& refused) {
      cause = refused.GetFault();
    }
    for (size_t m = 0; m < members.size(); ++m) {
      Planned& one = plan[static_cast<size_t>(members[m])];
      one.result = cause ? Failed(*entities.Get(members[m]), profileId, cause.Get())
                         : Ref<ComplianceResult>(answered->Get(static_cast<int>(m)));
      one.result->SetMismatch(!one.associated.empty() && one.associated != one.checked);
    }
  }
  ComplianceCheck check;
  check.results = MakeRef<ResultArray>();
  for (int i = 0; i < count; ++i) {
    const Planned& one = plan[static_cast<size_t>(i)];
    check.results->Append(one.result.Get());
    const std::string* task = one.result->PeekComplianceTaskStatus();
    if (one.checked.empty() ||
        (task != nullptr && *task != ComplianceResult::COMPLIANCETASKSTATUS_SUCCESS)) {
      continue;
    }
    check.kept.push_back(ComplianceCheck::Kept{EntityKey(*entities.Get(i)), one.checked,
                                               one.generation,
                                               Ref<ComplianceResult>(one.result->_Clone())});
  }
  return check;
}

void StoreCompliance(ServiceCore& core, const ComplianceCheck& check,
                     const Lumo::ManagedMethod& method, const Lumo::Any* answer) {
  // Outside the lock: the answer is made from the check alone.
  core.quotas.CheckAnswer(method, answer);
  ChangeSet changes;
  QuotaUse adds;
  ChangingState state = core.state.LockForChange();
  for (const ComplianceCheck::Kept& one : check.kept) {
    if (state->FindProfile(one.profileId) == nullptr) continue;
    if (state->FindResult(one.entityKey, one.profileId) == nullptr) ++adds.results;
    changes.push_back(ResultRecord{one.entityKey, one.profileId, one.generation, one.result});
  }
  CommitChanges(core, state, std::move(changes), adds, &Faults::ZelFault);
}

Ref<ResultArray> FetchComplianceOf(ServiceCore& core, const EntityArray& entities,
                                   const Zel::Profile::ProfileId* profile) {
  auto results = MakeRef<ResultArray>();
  SharedState state = core.state.LockShared();
  RequireKnownProfile(*state, profile);
  for (int i = 0; i < entities.GetLength(); ++i) {
    const Zel::ServerObjectRef& entity = *entities.Get(i);
    if (profile == nullptr && state->FindAssociation(EntityKey(entity)) == nullptr) {
      results->Append(WithoutProfile(core.inventory, entity).Get());
      continue;
    }
    results->Append(
        StoredCompliance(*state, entity, profile ? &profile->GetUniqueId() : nullptr).Get());
  }
  return results;
}

Ref<ComplianceResult> StoredCompliance(const ProfileState& state,
                                       const Zel::ServerObjectRef& entity,
                                       const std::string* profileId) {
  const std::string key = EntityKey(entity);
  const auto* association = state.FindAssociation(key);
  const std::string* associated = association ? &association->profileId : nullptr;
  const std::string* wanted = profileId != nullptr ? profileId : associated;
  if (wanted == nullptr) {
    return NewResult(entity, nullptr, ComplianceResult::COMPLIANCESTATUS_NOTAPPLICABLE);
  }
  const auto* stored = state.FindResult(key, *wanted);
  if (stored == nullptr) {
    // Never checked: the check time stays at the epoch.
    return NewResult(entity, wanted, ComplianceResult::COMPLIANCESTATUS_UNKNOWN);
  }
  Ref<ComplianceResult> copy(stored->result->_Clone());
  if (state.GenerationOf(*wanted) != stored->generation) {
    copy->SetComplianceStatus(ComplianceResult::COMPLIANCESTATUS_OUTOFDATE);
  }
  copy->SetMismatch(associated != nullptr && *associated != *wanted);
  return copy;
}

}  // namespace ZelSample
