// The values the demo conversation sends, built with the generated setters.
#pragma once

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

namespace ZelDemo {
namespace Detail {

using Kestrum::Ref;
using SubProfile = Zel::Profile::SubProfileCapabilityConstraints::SubProfile;

// The capability namespace of the sample service's catalogue.
constexpr char kNamespace[] = "sample.storage";

Ref<Lumo::Any> Int(int32_t v);
Ref<Lumo::Any> Bool(bool v);
Ref<Lumo::Any> Text(const char* v);
Ref<Lumo::Any> IntRange(int32_t lo, int32_t hi);
Ref<Lumo::Any> TextSet(std::initializer_list<const char*> values);
// A capability constrained by one property of the same id.
Ref<Zel::Capability::CapabilityInstance> Capability(const char* id, Ref<Lumo::Any> value);
Ref<SubProfile> Sub(const char* name,
                    std::vector<Ref<Zel::Capability::CapabilityInstance>> capabilities);
Ref<Zel::Profile::ResourceType> Storage();
Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> Spec(const char* name, const char* description,
                                                         std::vector<Ref<SubProfile>> subs);
Ref<Zel::ServerObjectRef> Entity(const char* type, const char* key);
Ref<Zel::Profile::ProfileId> Id(const std::string& uniqueId);

template <class T>
Ref<Lumo::DataArray<T>> ArrayOf(std::vector<Ref<T>> items) {
  Ref<Lumo::DataArray<T>> array(new Lumo::DataArray<T>);
  for (auto& item : items) array->Append(item.Get());
  return array;
}

}  // namespace Detail
}  // namespace ZelDemo
