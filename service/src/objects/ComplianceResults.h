// Compliance results: computing one, checking entities through the
// compliance providers and storing the results, and reading them back.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/DataArray.h>
#include <Lumo/ManagedMethod.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <ZelSample/Inventory.h>

#include <cstdint>
#include <string>
#include <vector>

#include "objects/ServiceCore.h"

namespace ZelSample {

// A profile's compliance for one entity, from the hub the inventory puts the
// entity on; "unknown" with an error cause when it puts it on none.
Kestrum::Ref<Zel::Compliance::ComplianceResult> ComputeCompliance(
    const Inventory& inventory, const Zel::ServerObjectRef& entity,
    const Zel::Profile::CapabilityBasedProfile& profile);

// The results of a compliance check, computed and not yet stored.
struct ComplianceCheck {
  struct Kept {
    std::string entityKey;
    std::string profileId;
    int64_t generation = 0;
    Kestrum::Ref<Zel::Compliance::ComplianceResult> result;
  };
  // One per entity, in the order they were named.
  Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
  // The successful results for profiles: what StoreCompliance keeps.
  std::vector<Kept> kept;
};

// Checks entities (checked by the caller) against the given profile or their
// associated ones through the compliance providers. Locks the state to plan;
// the providers are called after, unlocked. Stores nothing.
ComplianceCheck CheckComplianceOf(ServiceCore& core,
                                  const Lumo::DataArray<Zel::ServerObjectRef>& entities,
                                  const Zel::Profile::ProfileId* profile);
// Stores the results of a check, for profiles that still exist, once the
// answer the call will give (made from them) is known to be sendable
// (QuotaTable::CheckAnswer): a call whose answer cannot be sent stores none.
void StoreCompliance(ServiceCore& core, const ComplianceCheck& check,
                     const Lumo::ManagedMethod& method, const Lumo::Any* answer);
// The stored results of entities, as CheckComplianceOf would have answered.
Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> FetchComplianceOf(
    ServiceCore& core, const Lumo::DataArray<Zel::ServerObjectRef>& entities,
    const Zel::Profile::ProfileId* profile);
// The stored result of an entity for a profile (its associated one when
// null): notApplicable without a profile, unknown when never checked,
// outOfDate when the profile changed since.
Kestrum::Ref<Zel::Compliance::ComplianceResult> StoredCompliance(const ProfileState& state,
                                                                 const Zel::ServerObjectRef& entity,
                                                                 const std::string* profileId);

}  // namespace ZelSample
