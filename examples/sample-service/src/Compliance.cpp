// zel.compliance.ComplianceManager: checks the storage of entities against the
// profiles associated with them, and keeps the results.
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Compliance/OperationalStatus.h>
#include <Olyx/Zel/Compliance/PolicyStatus.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>

#include <climits>

#include "Managers.h"

namespace ZelSample {

using Kestrum::Ref;
using Zel::Compliance::ComplianceResult;

namespace {

void CheckEntities(const Lumo::DataArray<Zel::ServerObjectRef>* entities) {
  if (entities == nullptr || entities->IsEmpty()) {
    Faults::InvalidArgument("entities", "no entities given");
  }
  for (int i = 0; i < entities->GetLength(); ++i) {
    CheckEntity(entities->Get(i), "entities[" + std::to_string(i) + "]");
  }
}

Ref<ComplianceResult> NewResult(const Zel::ServerObjectRef& entity, const std::string* profileId) {
  Ref<ComplianceResult> result(new ComplianceResult);
  result->SetEntity(entity._Clone());
  if (profileId != nullptr) {
    Ref<Zel::Profile::ProfileId> id(new Zel::Profile::ProfileId);
    id->SetUniqueId(*profileId);
    result->SetProfile(id.Get());
  }
  result->SetMismatch(false);
  return result;
}

// Evaluates a profile on the storage of an entity. The sub-profiles are
// alternatives: the entity complies when its storage meets every capability
// of one of them. Otherwise the violations reported are those of the
// sub-profile that came closest.
void Evaluate(const Zel::ServerObjectRef& entity,
              const Zel::Profile::CapabilityBasedProfile& profile, ComplianceResult& result) {
  const auto* constraints =
      dynamic_cast<const Zel::Profile::SubProfileCapabilityConstraints*>(profile.GetConstraints());
  const auto* subProfiles = constraints ? constraints->GetPtrSubProfiles() : nullptr;
  Ref<Lumo::DataArray<Zel::Compliance::PolicyStatus>> closest;
  int fewest = INT_MAX;
  for (int s = 0; subProfiles != nullptr && s < subProfiles->GetLength(); ++s) {
    const auto* capabilities = subProfiles->Get(s)->GetPtrCapability();
    Ref<Lumo::DataArray<Zel::Compliance::PolicyStatus>> violated(
        new Lumo::DataArray<Zel::Compliance::PolicyStatus>);
    for (int c = 0; capabilities != nullptr && c < capabilities->GetLength(); ++c) {
      const auto* wanted = capabilities->Get(c);
      if (Satisfies(entity, *wanted)) continue;
      Ref<Zel::Compliance::PolicyStatus> status(new Zel::Compliance::PolicyStatus);
      status->SetExpectedValue(wanted->_Clone());
      Ref<Zel::Capability::CapabilityInstance> offered = OfferedInstance(entity, *wanted);
      if (offered) status->SetCurrentValue(offered.Get());
      violated->Append(status.Get());
    }
    if (violated->GetLength() < fewest) {
      fewest = violated->GetLength();
      closest = violated;
    }
  }
  if (closest && closest->IsEmpty()) {
    result.SetComplianceStatus(ComplianceResult::COMPLIANCESTATUS_COMPLIANT);
    return;
  }
  result.SetComplianceStatus(ComplianceResult::COMPLIANCESTATUS_NONCOMPLIANT);
  if (closest) result.SetViolatedPolicies(closest.Get());
}

}  // namespace

ComplianceManagerImpl::ComplianceManagerImpl(const char* id, ProfileState& state)
    : Served(id), _state(state) {}

void ComplianceManagerImpl::CheckCompliance(Lumo::DataArray<Zel::ServerObjectRef>* entities,
                                            Zel::Profile::ProfileId* profile,
                                            Ref<Lumo::DataArray<ComplianceResult>>& result) {
  CheckEntities(entities);
  Ref<Lumo::DataArray<ComplianceResult>> results(new Lumo::DataArray<ComplianceResult>);
  const auto now = Now();
  std::lock_guard<std::mutex> lock(_state.mutex);
  if (profile != nullptr && _state.profiles.count(profile->GetUniqueId()) == 0) {
    Faults::NotFound("no profile has the id " + profile->GetUniqueId());
  }
  for (int i = 0; i < entities->GetLength(); ++i) {
    const Zel::ServerObjectRef& entity = *entities->Get(i);
    const std::string key = EntityKey(entity);
    auto association = _state.associations.find(key);
    const std::string* associated =
        association == _state.associations.end() ? nullptr : &association->second.profileId;
    const std::string* checked = profile != nullptr ? &profile->GetUniqueId() : associated;

    Ref<ComplianceResult> one = NewResult(entity, checked);
    one->SetCheckTime(now);
    one->SetComplianceTaskStatus(
        Kestrum::Optional<std::string>(ComplianceResult::COMPLIANCETASKSTATUS_SUCCESS));
    if (checked == nullptr) {
      one->SetComplianceStatus(ComplianceResult::COMPLIANCESTATUS_NOTAPPLICABLE);
    } else {
      const auto& stored = _state.profiles.at(*checked);
      Evaluate(entity, *stored.profile, *one);
      one->SetMismatch(associated != nullptr && *associated != *checked);
      Ref<Zel::Compliance::OperationalStatus> operational(new Zel::Compliance::OperationalStatus);
      operational->SetHealthy(Kestrum::Optional<bool>(true));
      one->SetOperationalStatus(operational.Get());
      int64_t generation = 0;
      stored.profile->GetGenerationId(generation);
      _state.results[ResultKey(key, *checked)] =
          ProfileState::StoredResult{Ref<ComplianceResult>(one->_Clone()), generation};
    }
    results->Append(one.Get());
  }
  result = results;
}

void ComplianceManagerImpl::FetchComplianceResult(Lumo::DataArray<Zel::ServerObjectRef>* entities,
                                                  Zel::Profile::ProfileId* profile,
                                                  Ref<Lumo::DataArray<ComplianceResult>>& result) {
  CheckEntities(entities);
  Ref<Lumo::DataArray<ComplianceResult>> results(new Lumo::DataArray<ComplianceResult>);
  std::lock_guard<std::mutex> lock(_state.mutex);
  if (profile != nullptr && _state.profiles.count(profile->GetUniqueId()) == 0) {
    Faults::NotFound("no profile has the id " + profile->GetUniqueId());
  }
  for (int i = 0; i < entities->GetLength(); ++i) {
    const Zel::ServerObjectRef& entity = *entities->Get(i);
    const std::string key = EntityKey(entity);
    auto association = _state.associations.find(key);
    const std::string* associated =
        association == _state.associations.end() ? nullptr : &association->second.profileId;
    const std::string* wanted = profile != nullptr ? &profile->GetUniqueId() : associated;
    if (wanted == nullptr) {
      Ref<ComplianceResult> none = NewResult(entity, nullptr);
      none->SetComplianceStatus(ComplianceResult::COMPLIANCESTATUS_NOTAPPLICABLE);
      results->Append(none.Get());
      continue;
    }
    auto stored = _state.results.find(ResultKey(key, *wanted));
    if (stored == _state.results.end()) {
      // Never checked: the check time stays at the epoch.
      Ref<ComplianceResult> unknown = NewResult(entity, wanted);
      unknown->SetComplianceStatus(ComplianceResult::COMPLIANCESTATUS_UNKNOWN);
      results->Append(unknown.Get());
      continue;
    }
    Ref<ComplianceResult> copy(stored->second.result->_Clone());
    int64_t generation = 0;
    _state.profiles.at(*wanted).profile->GetGenerationId(generation);
    if (generation != stored->second.generation) {
      copy->SetComplianceStatus(ComplianceResult::COMPLIANCESTATUS_OUTOFDATE);
    }
    copy->SetMismatch(associated != nullptr && *associated != *wanted);
    results->Append(copy.Get());
  }
  result = results;
}

void ComplianceManagerImpl::CheckRollupCompliance(
    Lumo::DataArray<Zel::ServerObjectRef>*,
    Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>>&) {
  Faults::NotServed(METHOD_CHECKROLLUPCOMPLIANCE);
}

void ComplianceManagerImpl::FetchRollupComplianceResult(
    Lumo::DataArray<Zel::ServerObjectRef>*,
    Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>>&) {
  Faults::NotServed(METHOD_FETCHROLLUPCOMPLIANCERESULT);
}

void ComplianceManagerImpl::QueryAtomFeedQsProviderIds(Ref<Lumo::Array<std::string>>&) {
  Faults::NotServed(METHOD_QUERYATOMFEEDQSPROVIDERIDS);
}

void ComplianceManagerImpl::QueryByRollupComplianceStatus(
    const std::string&, Ref<Lumo::DataArray<Zel::ServerObjectRef>>&) {
  Faults::NotServed(METHOD_QUERYBYROLLUPCOMPLIANCESTATUS);
}

void ComplianceManagerImpl::QueryOutOfDateEntities(Ref<Lumo::DataArray<Zel::ServerObjectRef>>&) {
  Faults::NotServed(METHOD_QUERYOUTOFDATEENTITIES);
}

void ComplianceManagerImpl::QueryByRollupComplianceStatusEx(
    const std::string&, Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>>&) {
  Faults::NotServed(METHOD_QUERYBYROLLUPCOMPLIANCESTATUSEX);
}

void ComplianceManagerImpl::QueryByComplianceStatus(const std::string&, Zel::Profile::ProfileId*,
                                                    Ref<Lumo::DataArray<ComplianceResult>>&) {
  Faults::NotServed(METHOD_QUERYBYCOMPLIANCESTATUS);
}

void ComplianceManagerImpl::FetchEntityHealthStatus(
    Lumo::DataArray<Zel::ServerObjectRef>*,
    Ref<Lumo::DataArray<Zel::Compliance::EntityHealthStatus>>&) {
  Faults::NotServed(METHOD_FETCHENTITYHEALTHSTATUS);
}

}  // namespace ZelSample
