// Compliance results: computing one, checking entities through the
// compliance providers and storing the results, and reading them back.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/DataArray.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <ZelSample/Inventory.h>

#include <string>

#include "objects/ServiceCore.h"

namespace ZelSample {

// A profile's compliance for one entity, from the hub the inventory puts the
// entity on; "unknown" with an error cause when it puts it on none.
Kestrum::Ref<Zel::Compliance::ComplianceResult> ComputeCompliance(
    const Inventory& inventory, const Zel::ServerObjectRef& entity,
    const Zel::Profile::CapabilityBasedProfile& profile);

// Checks entities (checked by the caller) against the given profile or their
// associated ones through the compliance providers, and stores the results.
// Locks the state twice: to plan, then to store; the providers are called
// in between, unlocked.
Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> CheckComplianceOf(
    ServiceCore& core, const Lumo::DataArray<Zel::ServerObjectRef>& entities,
    const Zel::Profile::ProfileId* profile);
// The stored results of entities, as CheckComplianceOf would have answered.
Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> FetchComplianceOf(
    ServiceCore& core, const Lumo::DataArray<Zel::ServerObjectRef>& entities,
    const Zel::Profile::ProfileId* profile);
// The stored result of an entity for a profile (its associated one when
// null): notApplicable without a profile, unknown when never checked,
// outOfDate when the profile changed since.
Kestrum::Ref<Zel::Compliance::ComplianceResult> StoredCompliance(const LockedState& state,
                                                                 const Zel::ServerObjectRef& entity,
                                                                 const std::string* profileId);

}  // namespace ZelSample
