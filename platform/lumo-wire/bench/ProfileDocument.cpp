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

namespace ProfileDocument {

namespace {

using Kestrum::Ref;
using namespace Zel;

constexpr int kSubProfiles = 2;
constexpr int kCapabilities = 3;
constexpr int kConstraints = 4;
constexpr int kProperties = 3;

const char* const kPropertyIds[kProperties] = {"hostFailuresToTolerate", "proportionalCapacity",
                                               "stripeWidth"};

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
  Ref<Lumo::DataArray<Capability::PropertyInstance>> properties(
      new Lumo::DataArray<Capability::PropertyInstance>());
  properties->Reserve(kProperties);
  for (int k = 0; k < kProperties; ++k) {
    Ref<Capability::PropertyInstance> property(new Capability::PropertyInstance());
    property->SetId(std::string(kPropertyIds[k]));
    if (k == 1) property->SetOperator(std::string("NOT"));
    property->SetValue(Value(seed + k).Get());
    properties->Append(property.Get());
  }
  Ref<Capability::ConstraintInstance> constraint(new Capability::ConstraintInstance());
  constraint->SetPropertyInstance(properties.Get());
  return constraint;
}

Ref<Capability::CapabilityInstance> CapabilityOf(int seed, int c) {
  Ref<Capability::CapabilityMetadata::UniqueId> id(new Capability::CapabilityMetadata::UniqueId());
  id->SetNamespace(std::string("VSAN"));
  id->SetId("capability-" + std::to_string(c));
  Ref<Lumo::DataArray<Capability::ConstraintInstance>> constraints(
      new Lumo::DataArray<Capability::ConstraintInstance>());
  constraints->Reserve(kConstraints);
  for (int k = 0; k < kConstraints; ++k) {
    constraints->Append(Constraint(seed + c * kConstraints + k).Get());
  }
  Ref<Capability::CapabilityInstance> capability(new Capability::CapabilityInstance());
  capability->SetId(id.Get());
  capability->SetConstraint(constraints.Get());
  return capability;
}

Ref<Profile::CapabilityBasedProfile> ProfileOf(int p) {
  using SubProfile = Profile::SubProfileCapabilityConstraints::SubProfile;
  Kestrum::System::DateTime when =
      Kestrum::System::DateTime::FromLocal(2024, 3, 1 + p % 28, 10, 20, 30, 123456, 60);
  Ref<Profile::ProfileId> id(new Profile::ProfileId());
  id->SetUniqueId("aa6d5a82-1c88-45da-85d3-" + std::to_string(100000000000 + p));
  Ref<Profile::ResourceType> resourceType(new Profile::ResourceType());
  resourceType->SetResourceType(std::string("STORAGE"));
  Ref<Lumo::DataArray<SubProfile>> subProfiles(new Lumo::DataArray<SubProfile>());
  subProfiles->Reserve(kSubProfiles);
  for (int s = 0; s < kSubProfiles; ++s) {
    Ref<Lumo::DataArray<Capability::CapabilityInstance>> capabilities(
        new Lumo::DataArray<Capability::CapabilityInstance>());
    capabilities->Reserve(kCapabilities);
    for (int c = 0; c < kCapabilities; ++c) capabilities->Append(CapabilityOf(p + s, c).Get());
    Ref<SubProfile> sub(new SubProfile());
    sub->SetName("Rule-Set " + std::to_string(s + 1));
    sub->SetCapability(capabilities.Get());
    subProfiles->Append(sub.Get());
  }
  Ref<Profile::SubProfileCapabilityConstraints> constraints(
      new Profile::SubProfileCapabilityConstraints());
  constraints->SetSubProfiles(subProfiles.Get());

  Ref<Profile::CapabilityBasedProfile> profile(new Profile::CapabilityBasedProfile());
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
  Ref<Lumo::DataArray<Profile::Profile>> profiles(new Lumo::DataArray<Profile::Profile>());
  profiles->Reserve(count);
  for (int p = 0; p < count; ++p) profiles->Append(ProfileOf(p).Get());
  return Kestrum::Ref<Lumo::Any>(profiles.Get());
}

}  // namespace ProfileDocument
