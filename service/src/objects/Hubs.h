// The hubs of the inventory as calls name them, and how a hub fits
// capability constraints (its compatibility), directly or through the
// registered hub finders.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/DataArray.h>
#include <Olyx/Zel/Placement/CompatibilityResult.h>
#include <Olyx/Zel/Placement/PlacementHub.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/CapabilityConstraints.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <ZelSample/Inventory.h>

#include <string>
#include <vector>

#include "objects/ServiceCore.h"

namespace ZelSample {

// The hub of the inventory a placement hub names; null when there is none of
// that id and type.
const InventoryHub* FindHub(const Inventory& inventory, const Zel::Placement::PlacementHub& hub);
// The inventory hubs a list names, in its order. Refuses a missing entry
// (InvalidArgument), hubs the inventory lacks (zel.fault.NonExistentHubs,
// carrying them all) and, with refuseLegacy, legacy hubs
// (zel.fault.LegacyHubsNotSupported).
std::vector<const InventoryHub*> RequireHubs(
    const Inventory& inventory, const Lumo::DataArray<Zel::Placement::PlacementHub>* hubs,
    const std::string& path, bool refuseLegacy);
Kestrum::Ref<Zel::Placement::PlacementHub> MakeHub(const InventoryHub& hub);
// Every hub of the inventory, in its order.
Kestrum::Ref<Lumo::DataArray<Zel::Placement::PlacementHub>> AllHubs(const Inventory& inventory);

// A result for the hub with nothing found yet.
Kestrum::Ref<Zel::Placement::CompatibilityResult> EmptyCompatibility(
    const Zel::Placement::PlacementHub& hub);
// The state of the hub itself: an error for a hub that is not accessible,
// warnings for one partly accessible, legacy or short of space, and its
// space.
void AddHubState(const InventoryHub& hub, Zel::Placement::CompatibilityResult& result);
// An error for each property that the closest sub-profile of the
// constraints asks and the hub does not meet.
void AddConstraintErrors(const InventoryHub& hub,
                         const Zel::Profile::CapabilityConstraints* constraints,
                         Zel::Placement::CompatibilityResult& result);
// How a hub fits constraints: its state and the constraints' errors.
Kestrum::Ref<Zel::Placement::CompatibilityResult> Compatibility(
    const InventoryHub& hub, const Zel::Profile::CapabilityConstraints* constraints);
// The compatibility of each hub asked (every hub of the inventory when none
// is), through the hub finder registered for its type.
Kestrum::Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>> CompatibilityThroughFinders(
    ServiceCore& core, const Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
    const Zel::Profile::ProfileId* profile,
    const Zel::Profile::CapabilityBasedProfileCreateSpec* spec);

}  // namespace ZelSample
