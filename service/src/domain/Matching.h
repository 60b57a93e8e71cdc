// Capability matching: what the storage of a hub offers against what a
// profile or a capability instance asks for. Compliance and placement both
// decide through these functions, so they never disagree.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/DataArray.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Compliance/PolicyStatus.h>
#include <Olyx/Zel/Profile/CapabilityConstraints.h>
#include <ZelSample/Inventory.h>

#include <string>

namespace ZelSample {

// What a hub offers for a property of a capability; null for one it knows
// nothing of.
Kestrum::Ref<Lumo::Any> OfferedValue(const InventoryHub& hub, const std::string& ns,
                                     const std::string& capability, const std::string& property);
// Whether an offered value meets a wanted property instance: equal to a plain
// value, inside a range, one of a set; the operator NOT turns the answer. An
// unknown offer meets nothing.
bool Satisfies(const Lumo::Any* offered, const Zel::Capability::PropertyInstance& wanted);
// Whether a hub meets a capability instance: one of its constraints has every
// property instance met.
bool Satisfies(const InventoryHub& hub, const Zel::Capability::CapabilityInstance& capability);
// The capability instance a hub offers for the properties a wanted instance
// names (one constraint); null when it offers none of them.
Kestrum::Ref<Zel::Capability::CapabilityInstance> OfferedInstance(
    const InventoryHub& hub, const Zel::Capability::CapabilityInstance& wanted);

// A hub against a profile's constraints. The sub-profiles are alternatives:
// the hub meets the constraints when it meets every capability of one of
// them. Otherwise the violations are those of the sub-profile that came
// closest (the first of the closest).
struct Evaluation {
  bool meets = false;
  // The sub-profile met, or the closest one; -1 when there is none.
  int subProfile = -1;
  // What the closest sub-profile asks and the hub does not offer; empty when met.
  Kestrum::Ref<Lumo::DataArray<Zel::Compliance::PolicyStatus>> violated;
};
Evaluation Evaluate(const InventoryHub& hub,
                    const Zel::Profile::CapabilityConstraints* constraints);

}  // namespace ZelSample
