#include <Lumo/Primitive.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Capability/Types/DiscreteSet.h>
#include <Olyx/Zel/Capability/Types/Range.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/ResourceTypeEnum.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <ZelSample/ProfileSpecs.h>

namespace ZelSample {
namespace Build {

Ref<Lumo::Any> Int(int32_t value) { return Ref<Lumo::Any>(new Lumo::Primitive<int32_t>(value)); }

Ref<Lumo::Any> Text(const std::string& value) {
  return Ref<Lumo::Any>(new Lumo::Primitive<std::string>(value));
}

Ref<Lumo::Any> Bool(bool value) { return Ref<Lumo::Any>(Lumo::BoxBool(value)); }

Ref<Lumo::Any> IntRange(int32_t lo, int32_t hi) {
  auto range = MakeRef<Zel::Capability::Types::Range>();
  range->SetMin(Int(lo).Get());
  range->SetMax(Int(hi).Get());
  return Ref<Lumo::Any>(range.Get());
}

Ref<Lumo::Any> TextSet(std::initializer_list<const char*> values) {
  auto set = MakeRef<Zel::Capability::Types::DiscreteSet>();
  for (const char* value : values) set->GetValues()->Append(Text(value).Get());
  return Ref<Lumo::Any>(set.Get());
}

Ref<Zel::Capability::CapabilityInstance> Capability(const std::string& id, Ref<Lumo::Any> value,
                                                    const std::string& ns,
                                                    const std::string& property) {
  auto instance = MakeRef<Zel::Capability::PropertyInstance>();
  instance->SetId(property.empty() ? id : property);
  instance->SetValue(value.Get());
  auto constraint = MakeRef<Zel::Capability::ConstraintInstance>();
  constraint->GetPropertyInstance()->Append(instance.Get());
  auto uid = MakeRef<Zel::Capability::CapabilityMetadata::UniqueId>();
  uid->SetNamespace(ns);
  uid->SetId(id);
  auto capability = MakeRef<Zel::Capability::CapabilityInstance>();
  capability->SetId(uid.Get());
  capability->GetConstraint()->Append(constraint.Get());
  return capability;
}

Ref<SubProfile> Sub(const std::string& name,
                    std::vector<Ref<Zel::Capability::CapabilityInstance>> capabilities) {
  auto sub = MakeRef<SubProfile>();
  sub->SetName(name);
  for (auto& capability : capabilities) sub->GetCapability()->Append(capability.Get());
  return sub;
}

Ref<Zel::Profile::SubProfileCapabilityConstraints> Constraints(std::vector<Ref<SubProfile>> subs) {
  auto constraints = MakeRef<Zel::Profile::SubProfileCapabilityConstraints>();
  for (auto& sub : subs) constraints->GetSubProfiles()->Append(sub.Get());
  return constraints;
}

Ref<Zel::Profile::ResourceType> Storage() {
  auto type = MakeRef<Zel::Profile::ResourceType>();
  type->SetResourceType(Zel::Profile::RESOURCETYPEENUM_STORAGE);
  return type;
}

Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> Spec(
    const std::string& name, std::vector<Ref<SubProfile>> subs,
    const Kestrum::Optional<std::string>& description) {
  auto spec = MakeRef<Zel::Profile::CapabilityBasedProfileCreateSpec>();
  spec->SetName(name);
  if (description.IsSet()) spec->SetDescription(description);
  spec->SetResourceType(Storage().Get());
  spec->SetConstraints(Constraints(std::move(subs)).Get());
  return spec;
}

Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> GoldSpec(const std::string& name) {
  return Spec(name, {Sub("replicated", {Capability("replicaCount", Int(2)),
                                        Capability("encryption", Bool(true))}),
                     Sub("fast", {Capability("performanceTier", TextSet({"gold"})),
                                  Capability("stripeWidth", IntRange(2, 8))})});
}

Ref<Zel::ServerObjectRef> Entity(const char* type, const std::string& key) {
  auto entity = MakeRef<Zel::ServerObjectRef>();
  entity->SetObjectType(type);
  entity->SetKey(key);
  return entity;
}

Ref<Zel::ServerObjectRef> Vm(const std::string& key) {
  return Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE, key);
}

Ref<Zel::ServerObjectRef> Disk(const std::string& key) {
  return Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID, key);
}

Ref<Zel::Profile::ProfileId> Id(const std::string& uniqueId) {
  auto id = MakeRef<Zel::Profile::ProfileId>();
  id->SetUniqueId(uniqueId);
  return id;
}

}  // namespace Build
}  // namespace ZelSample
