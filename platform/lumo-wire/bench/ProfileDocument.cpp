#include "ProfileDocument.h"

#include <Kestrum/DateTime.h>
#include <Lumo/Primitive.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>

#include <string>

#include "ProfileShape.h"

namespace ProfileDocument {

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using namespace Zel;

using namespace ProfileShape;

Ref<Lumo::Any> Value(int i) {
  switch (i % 4) {
    case 0:
      return Ref<Lumo::Any>(new Lumo::Primitive<int32_t>(i * 17));
    case 1:
      return Ref<Lumo::Any>(new Lumo::Primitive<std::string>("thin <" + std::to_string(i) + ">"));
    case 2:
      return Ref<Lumo::Any>(Lumo::BoxBool(i % 3 == 0));
    default:
      return Ref<Lumo::Any>(new Lumo::Primitive<int64_t>(int64_t{1} << 36 | i));
  }
}

Ref<Capability::ConstraintInstance> Constraint(int seed) {
  auto properties = MakeRef<Lumo::DataArray<Capability::PropertyInstance>>();
  properties->Reserve(kProperties);
  for (int k = 0; k < kProperties; ++k) {
    auto property = MakeRef<Capability::PropertyInstance>();
    property->SetId(std::string(kPropertyIds[k]));
    if (k == 1) property->SetOperator(std::string("NOT"));
    property->SetValue(Value(seed + k).Get());
    properties->Append(property.Get());
  }
  auto constraint = MakeRef<Capability::ConstraintInstance>();
  constraint->SetPropertyInstance(properties.Get());
  return constraint;
}

Ref<Capability::CapabilityInstance> CapabilityOf(int seed, int c) {
  auto id = MakeRef<Capability::CapabilityMetadata::UniqueId>();
  id->SetNamespace(std::string(kCapabilityNamespace));
  id->SetId("capability-" + std::to_string(c));
  auto constraints = MakeRef<Lumo::DataArray<Capability::ConstraintInstance>>();
  constraints->Reserve(kConstraints);
  for (int k = 0; k < kConstraints; ++k) {
    constraints->Append(Constraint(seed + c * kConstraints + k).Get());
  }
  auto capability = MakeRef<Capability::CapabilityInstance>();
  capability->SetId(id.Get());
  capability->SetConstraint(constraints.Get());
  return capability;
}

Ref<Profile::CapabilityBasedProfile> ProfileOf(int p) {
  using SubProfile = Profile::SubProfileCapabilityConstraints::SubProfile;
  Kestrum::System::DateTime when =
      Kestrum::System::DateTime::FromLocal(2024, 3, 1 + p % 28, 10, 20, 30, 123456, 60);
  auto id = MakeRef<Profile::ProfileId>();
  id->SetUniqueId("aa6d5a82-1c88-45da-85d3-" + std::to_string(100000000000 + p));
  auto resourceType = MakeRef<Profile::ResourceType>();
  resourceType->SetResourceType(std::string("STORAGE"));
  auto subProfiles = MakeRef<Lumo::DataArray<SubProfile>>();
  subProfiles->Reserve(kSubProfiles);
  for (int s = 0; s < kSubProfiles; ++s) {
    auto capabilities = MakeRef<Lumo::DataArray<Capability::CapabilityInstance>>();
    capabilities->Reserve(kCapabilities);
    for (int c = 0; c < kCapabilities; ++c) capabilities->Append(CapabilityOf(p + s, c).Get());
    auto sub = MakeRef<SubProfile>();
    sub->SetName("Rule-Set " + std::to_string(s + 1));
    sub->SetCapability(capabilities.Get());
    subProfiles->Append(sub.Get());
  }
  auto constraints = MakeRef<Profile::SubProfileCapabilityConstraints>();
  constraints->SetSubProfiles(subProfiles.Get());

  auto profile = MakeRef<Profile::CapabilityBasedProfile>();
  profile->SetProfileId(id.Get());
  profile->SetName("Gold policy & replication #" + std::to_string(p));
  profile->SetDescription(
      std::string("Storage policy for tier-1 databases, FTT=1 with <mirroring>"));
  profile->SetCreationTime(when);
  profile->SetCreatedBy(std::string("Temporary user handle"));
  profile->SetLastUpdatedTime(when);
  profile->SetLastUpdatedBy(std::string("Temporary user handle"));
  profile->SetProfileCategory(std::string("REQUIREMENT"));
  profile->SetResourceType(resourceType.Get());
  profile->SetConstraints(constraints.Get());
  profile->SetGenerationId(int64_t{p});
  profile->SetIsDefault(p % 10 == 0);
  return profile;
}

}  // namespace

int ObjectsPerProfile() {
  constexpr int constraint = 2 + 2 * kProperties;            // it, its array; instances, values
  constexpr int capability = 3 + kConstraints * constraint;  // it, its id, its array
  constexpr int sub = 2 + kCapabilities * capability;        // it and its array
  return 5 + kSubProfiles * sub;  // profile, id, resource type, constraints, array
}

Kestrum::Ref<Lumo::Any> Build(int count) {
  auto profiles = MakeRef<Lumo::DataArray<Profile::Profile>>();
  profiles->Reserve(count);
  for (int p = 0; p < count; ++p) profiles->Append(ProfileOf(p).Get());
  return Kestrum::Ref<Lumo::Any>(profiles.Get());
}

}  // namespace ProfileDocument
