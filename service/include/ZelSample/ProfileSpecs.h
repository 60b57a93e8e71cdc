// Builders of what clients of the sample service send: values, capability
// constraints, profile specifications, entities and ids. Shared by the
// demo, the tests and the benchmarks, so that each builds requests the same
// way.
#pragma once

#include <Kestrum/Optional.h>
#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/DataArray.h>
#include <Olyx/Zel/Capability/CapabilityInstance-decl.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec-decl.h>
#include <Olyx/Zel/Profile/ProfileId-decl.h>
#include <Olyx/Zel/Profile/ResourceType-decl.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints-decl.h>
#include <Olyx/Zel/ServerObjectRef-decl.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace ZelSample {
namespace Build {

using Kestrum::MakeRef;
using Kestrum::Ref;
using SubProfile = Zel::Profile::SubProfileCapabilityConstraints::SubProfile;

// The capability namespace of the sample catalogue.
inline constexpr char kSampleNamespace[] = "sample.storage";

Ref<Lumo::Any> Int(int32_t value);
Ref<Lumo::Any> Text(const std::string& value);
Ref<Lumo::Any> Bool(bool value);
Ref<Lumo::Any> IntRange(int32_t lo, int32_t hi);
Ref<Lumo::Any> TextSet(std::initializer_list<const char*> values);

// A capability constrained by one property (of the capability's id unless
// `property` names another).
Ref<Zel::Capability::CapabilityInstance> Capability(const std::string& id, Ref<Lumo::Any> value,
                                                    const std::string& ns = kSampleNamespace,
                                                    const std::string& property = "");
Ref<SubProfile> Sub(const std::string& name,
                    std::vector<Ref<Zel::Capability::CapabilityInstance>> capabilities);
Ref<Zel::Profile::SubProfileCapabilityConstraints> Constraints(std::vector<Ref<SubProfile>> subs);
Ref<Zel::Profile::ResourceType> Storage();
// A storage profile of these sub-profiles.
Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> Spec(
    const std::string& name, std::vector<Ref<SubProfile>> subs,
    const Kestrum::Optional<std::string>& description = Kestrum::Optional<std::string>());
// "Gold": two replicas and encryption, or the gold tier striped 2 to 8 wide.
Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> GoldSpec(const std::string& name = "Gold");

Ref<Zel::ServerObjectRef> Entity(const char* type, const std::string& key);
Ref<Zel::ServerObjectRef> Vm(const std::string& key);
Ref<Zel::ServerObjectRef> Disk(const std::string& key);
Ref<Zel::Profile::ProfileId> Id(const std::string& uniqueId);

template <class T>
Ref<Lumo::DataArray<T>> ArrayOf(std::vector<Ref<T>> items) {
  auto array = MakeRef<Lumo::DataArray<T>>();
  for (auto& item : items) array->Append(item.Get());
  return array;
}

}  // namespace Build
}  // namespace ZelSample
