#include "domain/Matching.h"

#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/Types/DiscreteSet.h>
#include <Olyx/Zel/Capability/Types/Range.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>

#include <climits>
#include <vector>

#include "domain/Catalogue.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Zel::Capability::CapabilityInstance;
using Zel::Capability::ConstraintInstance;
using Zel::Capability::PropertyInstance;
using Zel::Capability::Types::DiscreteSet;
using Zel::Capability::Types::Range;

Ref<Lumo::Any> OfferedValue(const InventoryHub& hub, const std::string& ns,
                            const std::string& capability, const std::string& property) {
  for (const InventoryOffer& offer : hub.offers) {
    if (offer.ns == ns && offer.capability == capability && offer.property == property) {
      return offer.value;
    }
  }
  return Ref<Lumo::Any>();
}

bool Satisfies(const Lumo::Any* offered, const PropertyInstance& wanted) {
  if (offered == nullptr) return false;
  const Lumo::Any* value = wanted.GetValue();
  bool met = false;
  if (auto wantedSeconds = SpanSeconds(value)) {
    // A time span is met by one no longer (snapshots at least as often).
    auto offeredSeconds = SpanSeconds(offered);
    met = offeredSeconds && *offeredSeconds <= *wantedSeconds;
  } else if (auto* range = dynamic_cast<const Range*>(value)) {
    auto v = AsInteger(offered);
    auto lo = AsInteger(range->GetMin());
    auto hi = AsInteger(range->GetMax());
    met = v && lo && hi && *lo <= *v && *v <= *hi;
  } else if (auto* set = dynamic_cast<const DiscreteSet*>(value)) {
    const auto* values = set->GetPtrValues();
    for (int i = 0; values != nullptr && i < values->GetLength() && !met; ++i) {
      met = SameValue(values->GetAt(i), offered);
    }
  } else {
    met = SameValue(value, offered);
  }
  const std::string* op = wanted.PeekOperator();
  if (op != nullptr && *op == "NOT") met = !met;
  return met;
}

bool Satisfies(const InventoryHub& hub, const CapabilityInstance& capability) {
  const auto* uid = capability.GetId();
  const auto* constraints = capability.GetPtrConstraint();
  if (uid == nullptr || constraints == nullptr) return false;
  for (int c = 0; c < constraints->GetLength(); ++c) {
    const auto* properties = constraints->Get(c)->GetPtrPropertyInstance();
    if (properties == nullptr || properties->IsEmpty()) continue;
    bool all = true;
    for (int p = 0; p < properties->GetLength() && all; ++p) {
      const PropertyInstance* wanted = properties->Get(p);
      Ref<Lumo::Any> offered =
          OfferedValue(hub, uid->GetNamespace(), uid->GetId(), wanted->GetId());
      all = Satisfies(offered.Get(), *wanted);
    }
    if (all) return true;
  }
  return false;
}

Ref<CapabilityInstance> OfferedInstance(const InventoryHub& hub, const CapabilityInstance& wanted) {
  const auto* uid = wanted.GetId();
  if (uid == nullptr) return Ref<CapabilityInstance>();
  auto constraint = MakeRef<ConstraintInstance>();
  std::vector<std::string> seen;
  const auto* constraints = wanted.GetPtrConstraint();
  for (int c = 0; constraints != nullptr && c < constraints->GetLength(); ++c) {
    const auto* properties = constraints->Get(c)->GetPtrPropertyInstance();
    for (int p = 0; properties != nullptr && p < properties->GetLength(); ++p) {
      const std::string& id = properties->Get(p)->GetId();
      bool known = false;
      for (const std::string& s : seen) known = known || s == id;
      if (known) continue;
      seen.push_back(id);
      Ref<Lumo::Any> offered = OfferedValue(hub, uid->GetNamespace(), uid->GetId(), id);
      if (!offered) continue;
      auto property = MakeRef<PropertyInstance>();
      property->SetId(id);
      property->SetValue(offered.Get());
      constraint->GetPropertyInstance()->Append(property.Get());
    }
  }
  if (constraint->GetPropertyInstance()->IsEmpty()) return Ref<CapabilityInstance>();
  auto instance = MakeRef<CapabilityInstance>();
  instance->SetId(uid->_Clone());
  instance->GetConstraint()->Append(constraint.Get());
  return instance;
}

Evaluation Evaluate(const InventoryHub& hub,
                    const Zel::Profile::CapabilityConstraints* constraints) {
  const auto* sub = dynamic_cast<const Zel::Profile::SubProfileCapabilityConstraints*>(constraints);
  const auto* subProfiles = sub ? sub->GetPtrSubProfiles() : nullptr;
  Evaluation evaluation;
  evaluation.violated = new Lumo::DataArray<Zel::Compliance::PolicyStatus>;
  int fewest = INT_MAX;
  for (int s = 0; subProfiles != nullptr && s < subProfiles->GetLength(); ++s) {
    const auto* capabilities = subProfiles->Get(s)->GetPtrCapability();
    auto violated = MakeRef<Lumo::DataArray<Zel::Compliance::PolicyStatus>>();
    for (int c = 0; capabilities != nullptr && c < capabilities->GetLength(); ++c) {
      const CapabilityInstance* wanted = capabilities->Get(c);
      if (Satisfies(hub, *wanted)) continue;
      auto status = MakeRef<Zel::Compliance::PolicyStatus>();
      status->SetExpectedValue(wanted->_Clone());
      Ref<CapabilityInstance> offered = OfferedInstance(hub, *wanted);
      if (offered) status->SetCurrentValue(offered.Get());
      violated->Append(status.Get());
    }
    if (violated->GetLength() < fewest) {
      fewest = violated->GetLength();
      evaluation.subProfile = s;
      evaluation.violated = violated;
    }
  }
  evaluation.meets = evaluation.subProfile >= 0 && evaluation.violated->IsEmpty();
  return evaluation;
}

}  // namespace ZelSample
