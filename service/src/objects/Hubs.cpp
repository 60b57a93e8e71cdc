#include "objects/Hubs.h"

#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/ExtendedElementDescription.h>
#include <Olyx/Zel/Fault/CapabilityProfilePropertyMismatchFault.h>
#include <Olyx/Zel/Fault/LegacyHubsNotSupported.h>
#include <Olyx/Zel/Fault/NonExistentHubs.h>
#include <Olyx/Zel/Placement/ResourceUtilization.h>

#include "Support.h"
#include "domain/Catalogue.h"
#include "domain/Matching.h"
#include "objects/Arguments.h"
#include "objects/ProviderCalls.h"

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

Ref<Zel::ExtendedElementDescription> Text(const std::string& key, const std::string& label) {
  auto text = MakeRef<Zel::ExtendedElementDescription>();
  text->SetLabel(label);
  text->SetSummary(label);
  text->SetKey(key);
  text->SetMessageCatalogKeyPrefix("sample.placement");
  return text;
}

}  // namespace

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

Ref<CompatibilityResult> EmptyCompatibility(const PlacementHub& hub) {
  auto result = MakeRef<CompatibilityResult>();
  result->SetHub(hub._Clone());
  return result;
}

Ref<HubArray> AllHubs(const Inventory& inventory) {
  auto all = MakeRef<HubArray>();
  for (const InventoryHub& hub : inventory.GetHubs()) all->Append(MakeHub(hub).Get());
  return all;
}

void AddHubState(const InventoryHub& hub, CompatibilityResult& result) {
  if (hub.accessibility == "notAccessible") {
    result.GetError()->Append(Faults::MakeZelFault(hub.id + " is not accessible").Get());
  } else if (hub.accessibility == "partiallyAccessible") {
    result.GetWarning()->Append(
        Faults::MakeZelFault(hub.id + " is only partially accessible").Get());
  }
  if (hub.legacy) {
    result.GetWarning()->Append(Faults::MakeZelFault(hub.id + " is a legacy hub").Get());
  }
  if (hub.totalMB > 0 && hub.freeMB * 100 < hub.totalMB * kLowSpacePercent) {
    result.GetWarning()->Append(
        Faults::MakeZelFault(hub.id + " is short of space: " + std::to_string(hub.freeMB) +
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

void AddConstraintErrors(const InventoryHub& hub,
                         const Zel::Profile::CapabilityConstraints* constraints,
                         CompatibilityResult& result) {
  Evaluation evaluation = Evaluate(hub, constraints);
  if (evaluation.meets) return;
  if (evaluation.subProfile < 0) {
    result.GetError()->Append(Faults::MakeZelFault("the constraints name no sub-profile").Get());
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

Ref<CompatibilityResult> Compatibility(const InventoryHub& hub,
                                       const Zel::Profile::CapabilityConstraints* constraints) {
  Ref<CompatibilityResult> result = EmptyCompatibility(*MakeHub(hub));
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
      Ref<CompatibilityResult> missing = EmptyCompatibility(*hub);
      auto fault = MakeRef<Zel::Fault::NonExistentHubs>();
      fault->GetHubs()->Append(hub->_Clone());
      fault->SetMsg("the inventory has no hub " + hub->GetHubType() + ":" + hub->GetHubId());
      missing->GetError()->Append(fault.Get());
      results->Append(missing.Get());
      continue;
    }
    Lumo::ManagedObject* finder = HubFinderFor(core, hub->GetHubType());
    if (finder == nullptr) {
      Ref<CompatibilityResult> unserved = EmptyCompatibility(*hub);
      unserved->GetError()->Append(
          Faults::MakeZelFault("no hub finder of this process serves hubs of type " +
                               hub->GetHubType())
              .Get());
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

}  // namespace ZelSample
