#include "DemoValues.h"

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

namespace ZelDemo {
namespace Detail {

Ref<Lumo::Any> Int(int32_t v) { return Ref<Lumo::Any>(new Lumo::Primitive<int32_t>(v)); }
Ref<Lumo::Any> Bool(bool v) { return Ref<Lumo::Any>(Lumo::BoxBool(v)); }
Ref<Lumo::Any> Text(const char* v) { return Ref<Lumo::Any>(new Lumo::Primitive<std::string>(v)); }

Ref<Lumo::Any> IntRange(int32_t lo, int32_t hi) {
  Ref<Zel::Capability::Types::Range> range(new Zel::Capability::Types::Range);
  range->SetMin(Int(lo).Get());
  range->SetMax(Int(hi).Get());
  return Ref<Lumo::Any>(range.Get());
}

Ref<Lumo::Any> TextSet(std::initializer_list<const char*> values) {
  Ref<Zel::Capability::Types::DiscreteSet> set(new Zel::Capability::Types::DiscreteSet);
  for (const char* v : values) set->GetValues()->Append(Text(v).Get());
  return Ref<Lumo::Any>(set.Get());
}

Ref<Zel::Capability::CapabilityInstance> Capability(const char* id, Ref<Lumo::Any> value) {
  Ref<Zel::Capability::PropertyInstance> property(new Zel::Capability::PropertyInstance);
  property->SetId(id);
  property->SetValue(value.Get());
  Ref<Zel::Capability::ConstraintInstance> constraint(new Zel::Capability::ConstraintInstance);
  constraint->GetPropertyInstance()->Append(property.Get());
  Ref<Zel::Capability::CapabilityMetadata::UniqueId> uid(
      new Zel::Capability::CapabilityMetadata::UniqueId);
  uid->SetNamespace(kNamespace);
  uid->SetId(id);
  Ref<Zel::Capability::CapabilityInstance> capability(new Zel::Capability::CapabilityInstance);
  capability->SetId(uid.Get());
  capability->GetConstraint()->Append(constraint.Get());
  return capability;
}

Ref<SubProfile> Sub(const char* name,
                    std::vector<Ref<Zel::Capability::CapabilityInstance>> capabilities) {
  Ref<SubProfile> sub(new SubProfile);
  sub->SetName(name);
  for (auto& capability : capabilities) sub->GetCapability()->Append(capability.Get());
  return sub;
}

Ref<Zel::Profile::ResourceType> Storage() {
  Ref<Zel::Profile::ResourceType> type(new Zel::Profile::ResourceType);
  type->SetResourceType(Zel::Profile::RESOURCETYPEENUM_STORAGE);
  return type;
}

Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> Spec(const char* name, const char* description,
                                                         std::vector<Ref<SubProfile>> subs) {
  Ref<Zel::Profile::SubProfileCapabilityConstraints> constraints(
      new Zel::Profile::SubProfileCapabilityConstraints);
  for (auto& sub : subs) constraints->GetSubProfiles()->Append(sub.Get());
  Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> spec(
      new Zel::Profile::CapabilityBasedProfileCreateSpec);
  spec->SetName(name);
  spec->SetDescription(Kestrum::Optional<std::string>(description));
  spec->SetResourceType(Storage().Get());
  spec->SetConstraints(constraints.Get());
  return spec;
}

Ref<Zel::ServerObjectRef> Entity(const char* type, const char* key) {
  Ref<Zel::ServerObjectRef> entity(new Zel::ServerObjectRef);
  entity->SetObjectType(type);
  entity->SetKey(key);
  return entity;
}

Ref<Zel::Profile::ProfileId> Id(const std::string& uniqueId) {
  Ref<Zel::Profile::ProfileId> id(new Zel::Profile::ProfileId);
  id->SetUniqueId(uniqueId);
  return id;
}

}  // namespace Detail
}  // namespace ZelDemo
