// zel.placement.PlacementSolver: which hubs of the inventory fit a profile,
// a create spec or a list of requirements, and why the others do not.
#include <Lumo/Primitive.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/ExtendedElementDescription.h>
#include <Olyx/Zel/Fault/CapabilityProfilePropertyMismatchFault.h>
#include <Olyx/Zel/Fault/NonExistentHubs.h>
#include <Olyx/Zel/Fault/ZELFault.h>
#include <Olyx/Zel/Placement/CapabilityConstraintsRequirement.h>
#include <Olyx/Zel/Placement/CapabilityProfileRequirement.h>
#include <Olyx/Zel/Placement/CapacityRequirement.h>
#include <Olyx/Zel/Placement/ComputeResourceRequirement.h>
#include <Olyx/Zel/Placement/ResourceUtilization.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>

#include <optional>

#include "objects/Managers.h"
#include "domain/Matching.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Zel::Placement::CompatibilityResult;
using Zel::Placement::PlacementHub;
using HubArray = Lumo::DataArray<PlacementHub>;
using ResultArray = Lumo::DataArray<CompatibilityResult>;

namespace {

// A hub with less free space than this share of its total is short of space.
constexpr int64_t kLowSpacePercent = 10;

Ref<Lumo::MethodFault> ZelFault(const std::string& message) {
  auto fault = MakeRef<Zel::Fault::ZELFault>();
  fault->SetMsg(message);
  return Ref<Lumo::MethodFault>(fault.Get());
}

Ref<Zel::ExtendedElementDescription> Text(const std::string& key, const std::string& label) {
  auto text = MakeRef<Zel::ExtendedElementDescription>();
  text->SetLabel(label);
  text->SetSummary(label);
  text->SetKey(key);
  text->SetMessageCatalogKeyPrefix("sample.placement");
  return text;
}

// The state of the hub itself: accessibility, legacy, space.
void AddHubState(const InventoryHub& hub, CompatibilityResult& result) {
  if (hub.accessibility == "notAccessible") {
    result.GetError()->Append(ZelFault(hub.id + " is not accessible").Get());
  } else if (hub.accessibility == "partiallyAccessible") {
    result.GetWarning()->Append(ZelFault(hub.id + " is only partially accessible").Get());
  }
  if (hub.legacy) {
    result.GetWarning()->Append(ZelFault(hub.id + " is a legacy hub").Get());
  }
  if (hub.totalMB > 0 && hub.freeMB * 100 < hub.totalMB * kLowSpacePercent) {
    result.GetWarning()->Append(ZelFault(hub.id +
                                         " is short of space: " + std::to_string(hub.freeMB) +
                                         " MB free of " + std::to_string(hub.totalMB) + " MB")
                                    .Get());
  }
  auto space = MakeRef<Zel::Placement::ResourceUtilization>();
  space->SetName(Text("space", "Space").Get());
  space->SetDescription(Text("space.megabytes", "Space in megabytes").Get());
  space->SetAvailableBefore(Kestrum::Optional<int64_t>(hub.freeMB));
  space->SetTotal(Kestrum::Optional<int64_t>(hub.totalMB));
  result.GetUtilization()->Append(space.Get());
}

// One error per property the constraints' closest sub-profile asks and the
// hub does not meet.
void AddConstraintErrors(const InventoryHub& hub,
                         const Zel::Profile::CapabilityConstraints* constraints,
                         CompatibilityResult& result) {
  Evaluation evaluation = Evaluate(hub, constraints);
  if (evaluation.meets) return;
  if (evaluation.subProfile < 0) {
    result.GetError()->Append(ZelFault("the constraints name no sub-profile").Get());
    return;
  }
  for (int v = 0; v < evaluation.violated->GetLength(); ++v) {
    const auto* status = evaluation.violated->Get(v);
    const auto* expected = status->GetExpectedValue();
    const auto* offered = status->GetCurrentValue();
    const auto* properties = expected->GetPtrConstraint()->Get(0)->GetPtrPropertyInstance();
    for (int p = 0; properties != nullptr && p < properties->GetLength(); ++p) {
      const Zel::Capability::PropertyInstance* wanted = properties->Get(p);
      const Zel::Capability::PropertyInstance* has = nullptr;
      const auto* offers =
          offered ? offered->GetPtrConstraint()->Get(0)->GetPtrPropertyInstance() : nullptr;
      for (int o = 0; offers != nullptr && o < offers->GetLength(); ++o) {
        if (offers->Get(o)->GetId() == wanted->GetId()) has = offers->Get(o);
      }
      if (has != nullptr && Satisfies(has->GetValue(), *wanted)) continue;
      auto fault = MakeRef<Zel::Fault::CapabilityProfilePropertyMismatchFault>();
      fault->SetHub(MakeHub(hub).Get());
      fault->SetCapabilityInstanceId(expected->GetId()->_Clone());
      fault->SetRequirementPropertyInstance(wanted->_Clone());
      const std::string& capability = expected->GetId()->GetId();
      std::string message =
          hub.id + ": wanted " + capability +
          (capability == wanted->GetId() ? std::string() : "." + wanted->GetId()) + " " +
          DescribeValue(wanted->GetValue());
      if (has != nullptr) {
        fault->SetResourcePropertyInstance(has->_Clone());
        message += ", offered " + DescribeValue(has->GetValue());
      } else {
        auto none = MakeRef<Zel::Capability::PropertyInstance>();
        none->SetId(wanted->GetId());
        fault->SetResourcePropertyInstance(none.Get());
        message += ", offered nothing";
      }
      fault->SetMsg(message);
      result.GetError()->Append(fault.Get());
    }
  }
}

Ref<CompatibilityResult> NewResult(const PlacementHub& hub) {
  auto result = MakeRef<CompatibilityResult>();
  result->SetHub(hub._Clone());
  return result;
}

Ref<HubArray> AllHubs(const Inventory& inventory) {
  auto all = MakeRef<HubArray>();
  for (const InventoryHub& hub : inventory.GetHubs()) all->Append(MakeHub(hub).Get());
  return all;
}

Ref<HubArray> MatchingHubs(const ResultArray& results) {
  auto hubs = MakeRef<HubArray>();
  for (int i = 0; i < results.GetLength(); ++i) {
    const auto* errors = results.Get(i)->GetPtrError();
    if (errors == nullptr || errors->IsEmpty()) hubs->Append(results.Get(i)->GetHub()->_Clone());
  }
  return hubs;
}

}  // namespace

Ref<CompatibilityResult> Compatibility(const InventoryHub& hub,
                                       const Zel::Profile::CapabilityConstraints* constraints) {
  Ref<CompatibilityResult> result = NewResult(*MakeHub(hub));
  AddHubState(hub, *result);
  AddConstraintErrors(hub, constraints, *result);
  return result;
}

Ref<ResultArray> CompatibilityThroughFinders(
    ServiceCore& core, const HubArray* hubsToSearch, const Zel::Profile::ProfileId* profile,
    const Zel::Profile::CapabilityBasedProfileCreateSpec* spec) {
  Ref<const HubArray> hubs(hubsToSearch);
  if (!hubs) hubs = AllHubs(core.inventory);
  core.quotas.CheckEntityCount(static_cast<size_t>(hubs->GetLength()), "hubsToSearch");
  auto results = MakeRef<ResultArray>();
  for (int i = 0; i < hubs->GetLength(); ++i) {
    const PlacementHub* hub = hubs->Get(i);
    if (hub == nullptr) Faults::InvalidArgument(Indexed("hubsToSearch", i), "no hub given");
    if (FindHub(core.inventory, *hub) == nullptr) {
      Ref<CompatibilityResult> missing = NewResult(*hub);
      auto fault = MakeRef<Zel::Fault::NonExistentHubs>();
      fault->GetHubs()->Append(hub->_Clone());
      fault->SetMsg("the inventory has no hub " + hub->GetHubType() + ":" + hub->GetHubId());
      missing->GetError()->Append(fault.Get());
      results->Append(missing.Get());
      continue;
    }
    Lumo::ManagedObject* finder = HubFinderFor(core, hub->GetHubType());
    if (finder == nullptr) {
      Ref<CompatibilityResult> unserved = NewResult(*hub);
      unserved->GetError()->Append(
          ZelFault("no hub finder of this process serves hubs of type " + hub->GetHubType()).Get());
      results->Append(unserved.Get());
      continue;
    }
    auto one = MakeRef<HubArray>();
    one->Append(hub->_Clone());
    Ref<ResultArray> answer =
        profile != nullptr
            ? ProviderAnswer<ResultArray>(finder, "findMatchingHub",
                                          {Ref<Lumo::Any>(one), Ref<Lumo::Any>(profile->_Clone())})
            : ProviderAnswer<ResultArray>(finder, "findMatchingHubWithSpec",
                                          {Ref<Lumo::Any>(one), Ref<Lumo::Any>(spec->_Clone())});
    for (int r = 0; r < answer->GetLength(); ++r) results->Append(answer->Get(r));
  }
  return results;
}

// ---- zel.placement.PlacementSolver ----------------------------------------------------------

PlacementSolverImpl::PlacementSolverImpl(const char* id, ServiceCore& core)
    : Served(id), _core(core) {}

namespace {

void RequireProfile(ServiceCore& core, const Zel::Profile::ProfileId* profile, bool declared) {
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  std::lock_guard<std::mutex> lock(core.state.mutex);
  if (core.state.FindProfile(profile->GetUniqueId()) != nullptr) return;
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
    std::lock_guard<std::mutex> lock(_core.state.mutex);
    for (int i = 0; requirements != nullptr && i < requirements->GetLength(); ++i) {
      const Requirement* requirement = requirements->Get(i);
      const std::string path = Indexed("placementSubjectRequirement", i);
      if (auto* byProfile = dynamic_cast<const CapabilityProfileRequirement*>(requirement)) {
        const auto* stored = _core.state.FindProfile(byProfile->GetProfileId()->GetUniqueId());
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
      if (const auto* association = _core.state.FindAssociation(EntityKey(*placementSubjectRef))) {
        constraints.emplace_back(
            _core.state.FindProfile(association->profileId)->profile->GetConstraints());
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
    Ref<CompatibilityResult> one = NewResult(*asked);
    const InventoryHub* hub = FindHub(_core.inventory, *asked);
    if (hub == nullptr) {
      one->GetError()->Append(ZelFault("the inventory has no hub " + asked->GetHubId()).Get());
      result->Append(one.Get());
      continue;
    }
    AddHubState(*hub, *one);
    for (const auto& c : constraints) AddConstraintErrors(*hub, c.Get(), *one);
    if (capacityMB && *capacityMB > hub->freeMB) {
      one->GetError()->Append(ZelFault(hub->id + " has " + std::to_string(hub->freeMB) +
                                       " MB free, " + std::to_string(*capacityMB) + " MB are asked")
                                  .Get());
    }
    if (computeAsked) {
      one->GetWarning()->Append(
          ZelFault("the inventory does not model compute resources: not checked").Get());
    }
    result->Append(one.Get());
  }
}

}  // namespace ZelSample
