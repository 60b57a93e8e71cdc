// zel.placement.PlacementSolver: which hubs of the inventory fit a profile,
// a create spec or a list of requirements, and why the others do not.
#include "objects/PlacementSolver.h"

#include <Olyx/Zel/Placement/CapabilityConstraintsRequirement.h>
#include <Olyx/Zel/Placement/CapabilityProfileRequirement.h>
#include <Olyx/Zel/Placement/CapacityRequirement.h>
#include <Olyx/Zel/Placement/ComputeResourceRequirement.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>

#include <optional>
#include <vector>

#include "objects/Arguments.h"
#include "objects/Hubs.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Zel::Placement::CompatibilityResult;
using Zel::Placement::PlacementHub;
using HubArray = Lumo::DataArray<PlacementHub>;
using ResultArray = Lumo::DataArray<CompatibilityResult>;

namespace {

Ref<HubArray> MatchingHubs(const ResultArray& results) {
  auto hubs = MakeRef<HubArray>();
  for (int i = 0; i < results.GetLength(); ++i) {
    const auto* errors = results.Get(i)->GetPtrError();
    if (errors == nullptr || errors->IsEmpty()) hubs->Append(results.Get(i)->GetHub()->_Clone());
  }
  return hubs;
}

}  // namespace

PlacementSolverImpl::PlacementSolverImpl(const char* id, ServiceCore& core)
    : Served(id), _core(core) {}

namespace {

void RequireProfile(ServiceCore& core, const Zel::Profile::ProfileId* profile, bool declared) {
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  if (core.state.LockShared()->FindProfile(profile->GetUniqueId()) != nullptr) return;
  const std::string message = "no profile has the id " + profile->GetUniqueId();
  // Methods that declare no fault refuse with the runtime's own.
  if (declared) Faults::NotFound(message);
  Faults::InvalidArgument("profile", message);
}

void RequireSpec(ServiceCore& core, const Zel::Profile::CapabilityBasedProfileCreateSpec* spec,
                 const std::string& path) {
  if (spec == nullptr) Faults::InvalidArgument(path, "no create spec given");
  CheckConstraints(core.catalogue, spec->GetConstraints(), path + ".constraints");
}

}  // namespace

void PlacementSolverImpl::QueryMatchingHub(HubArray* hubsToSearch, Zel::Profile::ProfileId* profile,
                                           Ref<HubArray>& result) {
  RequireProfile(_core, profile, true);
  result = MatchingHubs(*CompatibilityThroughFinders(_core, hubsToSearch, profile, nullptr));
}

void PlacementSolverImpl::QueryMatchingHubWithSpec(
    HubArray* hubsToSearch, Zel::Profile::CapabilityBasedProfileCreateSpec* createSpec,
    Ref<HubArray>& result) {
  RequireSpec(_core, createSpec, "createSpec");
  result = MatchingHubs(*CompatibilityThroughFinders(_core, hubsToSearch, nullptr, createSpec));
}

void PlacementSolverImpl::CheckCompatibility(HubArray* hubsToSearch,
                                             Zel::Profile::ProfileId* profile,
                                             Ref<ResultArray>& result) {
  RequireProfile(_core, profile, false);
  result = CompatibilityThroughFinders(_core, hubsToSearch, profile, nullptr);
}

void PlacementSolverImpl::CheckCompatibilityWithSpec(
    HubArray* hubsToSearch, Zel::Profile::CapabilityBasedProfileCreateSpec* profileSpec,
    Ref<ResultArray>& result) {
  RequireSpec(_core, profileSpec, "profileSpec");
  result = CompatibilityThroughFinders(_core, hubsToSearch, nullptr, profileSpec);
}

void PlacementSolverImpl::CheckRequirements(
    HubArray* hubsToSearch, Zel::ServerObjectRef* placementSubjectRef,
    Lumo::DataArray<Zel::Placement::Requirement>* placementSubjectRequirement,
    Ref<ResultArray>& result) {
  using namespace Zel::Placement;
  // What the hubs must meet: the constraints of each requirement, and the
  // profile associated with the subject.
  std::vector<Ref<const Zel::Profile::CapabilityConstraints>> constraints;
  std::optional<int64_t> capacityMB;
  bool computeAsked = false;
  const auto* requirements = placementSubjectRequirement;
  if (requirements != nullptr) {
    _core.quotas.CheckEntityCount(static_cast<size_t>(requirements->GetLength()),
                                  "placementSubjectRequirement");
  }
  {
    SharedState state = _core.state.LockShared();
    for (int i = 0; requirements != nullptr && i < requirements->GetLength(); ++i) {
      const Requirement* requirement = requirements->Get(i);
      const std::string path = Indexed("placementSubjectRequirement", i);
      if (auto* byProfile = dynamic_cast<const CapabilityProfileRequirement*>(requirement)) {
        const auto* stored = state->FindProfile(byProfile->GetProfileId()->GetUniqueId());
        if (stored == nullptr) {
          Faults::NotFound("no profile has the id " + byProfile->GetProfileId()->GetUniqueId());
        }
        constraints.emplace_back(stored->profile->GetConstraints());
      } else if (auto* direct =
                     dynamic_cast<const CapabilityConstraintsRequirement*>(requirement)) {
        CheckConstraints(_core.catalogue, direct->GetConstraints(), path + ".constraints");
        constraints.emplace_back(direct->GetConstraints());
      } else if (auto* capacity = dynamic_cast<const CapacityRequirement*>(requirement)) {
        int64_t megabytes = 0;
        if (capacity->GetCapacityInMB(megabytes)) {
          if (megabytes < 0) Faults::InvalidArgument(path + ".capacityInMB", "a negative size");
          capacityMB = capacityMB.value_or(0) + megabytes;
        }
      } else if (dynamic_cast<const ComputeResourceRequirement*>(requirement) != nullptr) {
        computeAsked = true;
      } else {
        Faults::InvalidArgument(path, "a requirement of a kind the service does not know");
      }
    }
    if (placementSubjectRef != nullptr) {
      CheckEntity(placementSubjectRef, "placementSubjectRef");
      if (const auto* association = state->FindAssociation(EntityKey(*placementSubjectRef))) {
        constraints.emplace_back(
            state->FindProfile(association->profileId)->profile->GetConstraints());
      }
    }
  }
  Ref<HubArray> hubs(hubsToSearch);
  if (!hubs) hubs = AllHubs(_core.inventory);
  _core.quotas.CheckEntityCount(static_cast<size_t>(hubs->GetLength()), "hubsToSearch");
  result = new ResultArray;
  for (int i = 0; i < hubs->GetLength(); ++i) {
    const PlacementHub* asked = hubs->Get(i);
    if (asked == nullptr) Faults::InvalidArgument(Indexed("hubsToSearch", i), "no hub given");
    Ref<CompatibilityResult> one = EmptyCompatibility(*asked);
    const InventoryHub* hub = FindHub(_core.inventory, *asked);
    if (hub == nullptr) {
      one->GetError()->Append(
          Faults::MakeZelFault("the inventory has no hub " + asked->GetHubId()).Get());
      result->Append(one.Get());
      continue;
    }
    AddHubState(*hub, *one);
    for (const auto& c : constraints) AddConstraintErrors(*hub, c.Get(), *one);
    if (capacityMB && *capacityMB > hub->freeMB) {
      one->GetError()->Append(Faults::MakeZelFault(hub->id + " has " + std::to_string(hub->freeMB) +
                                                   " MB free, " + std::to_string(*capacityMB) +
                                                   " MB are asked")
                                  .Get());
    }
    if (computeAsked) {
      one->GetWarning()->Append(
          Faults::MakeZelFault("the inventory does not model compute resources: not checked")
              .Get());
    }
    result->Append(one.Get());
  }
}

}  // namespace ZelSample
