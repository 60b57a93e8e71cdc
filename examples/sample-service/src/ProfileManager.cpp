// zel.profile.ProfileManager: the capability catalogue, the profiles and their
// associations.
#include <Lumo/Fault/NotSupported.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectMetadataPerCategory.h>
#include <Olyx/Zel/Capability/Provider/LineOfServiceInfo.h>
#include <Olyx/Zel/Profile/ApplyProfileOutcome.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileUpdateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <Olyx/Zel/Profile/QueryProfileResult.h>
#include <Olyx/Zel/Profile/ReconfigOutcome.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/ResourceTypeEnum.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>

#include <algorithm>
#include <set>
#include <vector>

#include "Managers.h"

namespace ZelSample {

using Kestrum::Ref;
using Zel::Capability::Provider::CapabilityObjectMetadataPerCategory;
using Zel::Capability::Provider::CapabilityObjectSchema;
using Zel::Profile::CapabilityBasedProfile;
using Zel::Profile::ProfileId;
using Zel::Profile::SubProfileCapabilityConstraints;

namespace {

constexpr size_t kMaxNameBytes = 256;

std::string Indexed(const std::string& path, int index) {
  return path + "[" + std::to_string(index) + "]";
}

bool IsStorage(const Zel::Profile::ResourceType* type) {
  return type != nullptr && type->GetResourceType() == Zel::Profile::RESOURCETYPEENUM_STORAGE;
}

void CheckName(const std::string& name, const std::string& path) {
  if (name.find_first_not_of(" \t\r\n") == std::string::npos) {
    Faults::InvalidArgument(path, "the profile name is empty");
  }
  if (name.size() > kMaxNameBytes) {
    Faults::InvalidArgument(
        path, "the profile name is longer than " + std::to_string(kMaxNameBytes) + " bytes");
  }
}

Ref<ProfileId> MakeId(const std::string& uniqueId) {
  Ref<ProfileId> id(new ProfileId);
  id->SetUniqueId(uniqueId);
  return id;
}

bool NameInUse(const ProfileState& state, const std::string& name, const std::string& except) {
  for (const auto& [id, stored] : state.profiles) {
    if (id != except && stored.profile->GetName() == name) return true;
  }
  return false;
}

// Ids of profiles in the order of their creation.
std::vector<const ProfileState::StoredProfile*> InCreationOrder(const ProfileState& state) {
  std::vector<const ProfileState::StoredProfile*> all;
  for (const auto& entry : state.profiles) all.push_back(&entry.second);
  std::sort(all.begin(), all.end(), [](auto* a, auto* b) { return a->sequence < b->sequence; });
  return all;
}

void DropProfileLocked(ProfileState& state, const std::string& profileId) {
  state.profiles.erase(profileId);
  for (auto it = state.associations.begin(); it != state.associations.end();) {
    it = it->second.profileId == profileId ? state.associations.erase(it) : std::next(it);
  }
  const std::string suffix = "\n" + profileId;
  for (auto it = state.results.begin(); it != state.results.end();) {
    const std::string& key = it->first;
    bool ofProfile = key.size() >= suffix.size() &&
                     key.compare(key.size() - suffix.size(), suffix.size(), suffix) == 0;
    it = ofProfile ? state.results.erase(it) : std::next(it);
  }
}

bool VendorMatches(const CapabilityObjectSchema& schema,
                   const Kestrum::Optional<std::string>& vendorUuid) {
  return !vendorUuid.IsSet() || (schema.GetVendorInfo() != nullptr &&
                                 schema.GetVendorInfo()->GetVendorUuid() == vendorUuid.GetValue());
}

}  // namespace

ProfileManagerImpl::ProfileManagerImpl(const char* id, Catalogue& catalogue, ProfileState& state,
                                       SessionTable& sessions)
    : Served(id), _catalogue(catalogue), _state(state), _sessions(sessions) {}

// ---- the catalogue ------------------------------------------------------------------------

void ProfileManagerImpl::FetchResourceType(
    Ref<Lumo::DataArray<Zel::Profile::ResourceType>>& result) {
  result = new Lumo::DataArray<Zel::Profile::ResourceType>;
  Ref<Zel::Profile::ResourceType> storage(new Zel::Profile::ResourceType);
  storage->SetResourceType(Zel::Profile::RESOURCETYPEENUM_STORAGE);
  result->Append(storage.Get());
}

void ProfileManagerImpl::FetchVendorInfo(
    Zel::Profile::ResourceType* resourceType,
    Ref<Lumo::DataArray<CapabilityObjectSchema::VendorResourceTypeInfo>>& result) {
  result = new Lumo::DataArray<CapabilityObjectSchema::VendorResourceTypeInfo>;
  if (resourceType != nullptr && !IsStorage(resourceType)) return;
  Ref<CapabilityObjectSchema::VendorResourceTypeInfo> info(
      new CapabilityObjectSchema::VendorResourceTypeInfo);
  info->SetResourceType(Zel::Profile::RESOURCETYPEENUM_STORAGE);
  for (const auto& schema : _catalogue.GetSchemas()) {
    Ref<CapabilityObjectSchema::VendorNamespaceInfo> pair(
        new CapabilityObjectSchema::VendorNamespaceInfo);
    pair->SetVendorInfo(schema->GetVendorInfo()->_Clone());
    pair->SetNamespaceInfo(schema->GetNamespaceInfo()->_Clone());
    info->GetVendorNamespaceInfo()->Append(pair.Get());
  }
  result->Append(info.Get());
}

void ProfileManagerImpl::FetchCapabilityMetadata(
    Zel::Profile::ResourceType* resourceType, const Kestrum::Optional<std::string>& vendorUuid,
    Ref<Lumo::DataArray<CapabilityObjectMetadataPerCategory>>& result) {
  result = new Lumo::DataArray<CapabilityObjectMetadataPerCategory>;
  if (resourceType != nullptr && !IsStorage(resourceType)) return;
  for (const auto& schema : _catalogue.GetSchemas()) {
    if (!VendorMatches(*schema, vendorUuid)) continue;
    const auto* categories = schema->GetPtrCapabilityMetadataPerCategory();
    for (int i = 0; categories != nullptr && i < categories->GetLength(); ++i) {
      result->Append(categories->Get(i)->_Clone());
    }
  }
}

void ProfileManagerImpl::FetchCapabilitySchema(
    const Kestrum::Optional<std::string>& vendorUuid, Lumo::Array<std::string>* lineOfService,
    Ref<Lumo::DataArray<CapabilityObjectSchema>>& result) {
  result = new Lumo::DataArray<CapabilityObjectSchema>;
  for (const auto& schema : _catalogue.GetSchemas()) {
    if (!VendorMatches(*schema, vendorUuid)) continue;
    if (lineOfService != nullptr && !lineOfService->empty()) {
      const auto* line = schema->GetLineOfService();
      if (line == nullptr) continue;
      const auto& wanted = lineOfService->GetValues();
      if (std::find(wanted.begin(), wanted.end(), line->GetLineOfService()) == wanted.end()) {
        continue;
      }
    }
    result->Append(schema->_Clone());
  }
}

// ---- profiles -------------------------------------------------------------------------------

void ProfileManagerImpl::CheckConstraints(const Zel::Profile::CapabilityConstraints* constraints,
                                          const std::string& path) const {
  if (constraints == nullptr) Faults::InvalidArgument(path, "no constraints given");
  auto* subProfiles = dynamic_cast<const SubProfileCapabilityConstraints*>(constraints);
  if (subProfiles == nullptr) {
    Faults::InvalidArgument(path, "the service takes constraints as sub-profiles only");
  }
  const auto* list = subProfiles->GetPtrSubProfiles();
  if (list == nullptr || list->IsEmpty()) Faults::InvalidArgument(path, "no sub-profile given");
  SchemaList schemas = _catalogue.GetSchemas();
  std::set<std::string> names;
  for (int s = 0; s < list->GetLength(); ++s) {
    const auto* sub = list->Get(s);
    std::string subPath = Indexed(path + ".subProfiles", s);
    if (sub->GetName().empty()) Faults::InvalidArgument(subPath + ".name", "the name is empty");
    if (!names.insert(sub->GetName()).second) {
      Faults::InvalidArgument(subPath + ".name",
                              "two sub-profiles are named \"" + sub->GetName() + "\"");
    }
    const auto* capabilities = sub->GetPtrCapability();
    if (capabilities == nullptr || capabilities->IsEmpty()) {
      Faults::InvalidArgument(subPath + ".capability", "the sub-profile names no capability");
    }
    std::set<std::string> seen;
    for (int c = 0; c < capabilities->GetLength(); ++c) {
      const auto* capability = capabilities->Get(c);
      std::string capPath = Indexed(subPath + ".capability", c);
      const auto* uid = capability->GetId();
      if (uid == nullptr) Faults::InvalidArgument(capPath + ".id", "no capability id given");
      const auto* metadata = FindCapability(schemas, uid->GetNamespace(), uid->GetId());
      if (metadata == nullptr) {
        Faults::InvalidArgument(capPath + ".id",
                                "unknown capability " + uid->GetNamespace() + "." + uid->GetId());
      }
      if (!seen.insert(uid->GetNamespace() + "." + uid->GetId()).second) {
        Faults::InvalidArgument(capPath + ".id", "the capability " + uid->GetId() +
                                                     " is constrained twice in one sub-profile");
      }
      const auto* constraintList = capability->GetPtrConstraint();
      if (constraintList == nullptr || constraintList->IsEmpty()) {
        Faults::InvalidArgument(capPath + ".constraint", "the capability has no constraint");
      }
      for (int k = 0; k < constraintList->GetLength(); ++k) {
        std::string conPath = Indexed(capPath + ".constraint", k);
        const auto* properties = constraintList->Get(k)->GetPtrPropertyInstance();
        if (properties == nullptr || properties->IsEmpty()) {
          Faults::InvalidArgument(conPath + ".propertyInstance", "the constraint is empty");
        }
        for (int p = 0; p < properties->GetLength(); ++p) {
          const auto* property = properties->Get(p);
          std::string propPath = Indexed(conPath + ".propertyInstance", p);
          const auto* propertyMetadata = FindProperty(*metadata, property->GetId());
          if (propertyMetadata == nullptr) {
            Faults::InvalidArgument(propPath + ".id", "the capability " + uid->GetId() +
                                                          " has no property \"" +
                                                          property->GetId() + "\"");
          }
          const std::string* op = property->PeekOperator();
          if (op != nullptr && *op != "NOT") {
            Faults::InvalidArgument(propPath + ".operator", "unknown operator \"" + *op + "\"");
          }
          std::string reason;
          if (!CheckValue(*propertyMetadata, property->GetValue(), reason)) {
            Faults::InvalidArgument(propPath + ".value", reason);
          }
        }
      }
    }
  }
}

void ProfileManagerImpl::Create(Zel::Profile::CapabilityBasedProfileCreateSpec* createSpec,
                                Ref<ProfileId>& result) {
  if (createSpec == nullptr) Faults::InvalidArgument("createSpec", "no create spec given");
  CheckName(createSpec->GetName(), "createSpec.name");
  if (!IsStorage(createSpec->GetResourceType())) {
    Faults::InvalidArgument("createSpec.resourceType", "the resource type must be STORAGE");
  }
  std::string category = CapabilityBasedProfile::PROFILECATEGORYENUM_REQUIREMENT;
  if (const std::string* given = createSpec->PeekCategory()) {
    if (*given != CapabilityBasedProfile::PROFILECATEGORYENUM_REQUIREMENT &&
        *given != CapabilityBasedProfile::PROFILECATEGORYENUM_RESOURCE &&
        *given != CapabilityBasedProfile::PROFILECATEGORYENUM_DATA_SERVICE_POLICY) {
      Faults::InvalidArgument("createSpec.category", "unknown profile category \"" + *given + "\"");
    }
    category = *given;
  }
  CheckConstraints(createSpec->GetConstraints(), "createSpec.constraints");

  const std::string user = CurrentUser(_sessions);
  const auto now = Now();
  Ref<CapabilityBasedProfile> profile(new CapabilityBasedProfile);
  profile->SetProfileId(MakeId(RandomUuid()).Get());
  profile->SetName(createSpec->GetName());
  profile->SetDescription(createSpec->GetDescription());
  profile->SetCreationTime(now);
  profile->SetCreatedBy(user);
  profile->SetLastUpdatedTime(now);
  profile->SetLastUpdatedBy(user);
  profile->SetProfileCategory(category);
  profile->SetResourceType(createSpec->GetResourceType()->_Clone());
  profile->SetConstraints(createSpec->GetConstraints()->_Clone());
  profile->SetGenerationId(Kestrum::Optional<int64_t>(0));
  profile->SetIsDefault(false);

  std::lock_guard<std::mutex> lock(_state.mutex);
  if (NameInUse(_state, profile->GetName(), "")) Faults::DuplicateName(profile->GetName());
  const std::string& id = profile->GetProfileId()->GetUniqueId();
  _state.profiles[id] = ProfileState::StoredProfile{profile, _state.nextSequence++};
  result = MakeId(id);
}

void ProfileManagerImpl::Update(ProfileId* profileId,
                                Zel::Profile::CapabilityBasedProfileUpdateSpec* updateSpec) {
  if (profileId == nullptr) Faults::InvalidArgument("profileId", "no profile given");
  if (updateSpec == nullptr) Faults::InvalidArgument("updateSpec", "no update spec given");
  const std::string* name = updateSpec->PeekName();
  if (name == nullptr && updateSpec->PeekDescription() == nullptr &&
      updateSpec->GetConstraints() == nullptr) {
    Faults::InvalidArgument("updateSpec", "the update spec changes nothing");
  }
  if (name != nullptr) CheckName(*name, "updateSpec.name");
  if (updateSpec->GetConstraints() != nullptr) {
    CheckConstraints(updateSpec->GetConstraints(), "updateSpec.constraints");
  }
  const std::string user = CurrentUser(_sessions);

  std::lock_guard<std::mutex> lock(_state.mutex);
  auto it = _state.profiles.find(profileId->GetUniqueId());
  if (it == _state.profiles.end()) {
    Faults::InvalidArgument("profileId", "no profile has the id " + profileId->GetUniqueId());
  }
  if (name != nullptr && NameInUse(_state, *name, it->first)) {
    Faults::InvalidArgument("updateSpec.name",
                            "another profile is already named \"" + *name + "\"");
  }
  // Change a copy, so that readers holding the stored profile never see a
  // half-made change.
  Ref<CapabilityBasedProfile> changed(it->second.profile->_Clone());
  if (name != nullptr) changed->SetName(*name);
  if (updateSpec->PeekDescription() != nullptr) {
    changed->SetDescription(updateSpec->GetDescription());
  }
  if (updateSpec->GetConstraints() != nullptr) {
    changed->SetConstraints(updateSpec->GetConstraints()->_Clone());
  }
  int64_t generation = 0;
  changed->GetGenerationId(generation);
  changed->SetGenerationId(Kestrum::Optional<int64_t>(generation + 1));
  changed->SetLastUpdatedTime(Now());
  changed->SetLastUpdatedBy(user);
  it->second.profile = changed;
}

void ProfileManagerImpl::Delete(
    Lumo::DataArray<ProfileId>* profileId,
    Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>>& result) {
  if (profileId == nullptr) Faults::InvalidArgument("profileId", "no profiles given");
  Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes(
      new Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>);
  std::lock_guard<std::mutex> lock(_state.mutex);
  for (int i = 0; i < profileId->GetLength(); ++i) {
    const std::string& id = profileId->Get(i)->GetUniqueId();
    Ref<Zel::Profile::ProfileOperationOutcome> outcome(new Zel::Profile::ProfileOperationOutcome);
    outcome->SetProfileId(MakeId(id).Get());
    if (_state.profiles.count(id) == 0) {
      outcome->SetFault(Faults::MakeNotFound("no profile has the id " + id).Get());
    } else {
      DropProfileLocked(_state, id);
    }
    outcomes->Append(outcome.Get());
  }
  result = outcomes;
}

void ProfileManagerImpl::QueryProfile(Zel::Profile::ResourceType* resourceType,
                                      const Kestrum::Optional<std::string>& profileCategory,
                                      Ref<Lumo::DataArray<ProfileId>>& result) {
  if (!IsStorage(resourceType)) {
    Faults::InvalidArgument("resourceType", "the resource type must be STORAGE");
  }
  Ref<Lumo::DataArray<ProfileId>> ids(new Lumo::DataArray<ProfileId>);
  std::lock_guard<std::mutex> lock(_state.mutex);
  for (const auto* stored : InCreationOrder(_state)) {
    if (profileCategory.IsSet() &&
        stored->profile->GetProfileCategory() != profileCategory.GetValue()) {
      continue;
    }
    ids->Append(MakeId(stored->profile->GetProfileId()->GetUniqueId()).Get());
  }
  result = ids;
}

void ProfileManagerImpl::RetrieveContent(Lumo::DataArray<ProfileId>* profileIds,
                                         Ref<Lumo::DataArray<Zel::Profile::Profile>>& result) {
  if (profileIds == nullptr) Faults::InvalidArgument("profileIds", "no profiles given");
  Ref<Lumo::DataArray<Zel::Profile::Profile>> profiles(new Lumo::DataArray<Zel::Profile::Profile>);
  std::lock_guard<std::mutex> lock(_state.mutex);
  for (int i = 0; i < profileIds->GetLength(); ++i) {
    const std::string& id = profileIds->Get(i)->GetUniqueId();
    auto it = _state.profiles.find(id);
    if (it == _state.profiles.end()) {
      Faults::InvalidArgument(Indexed("profileIds", i), "no profile has the id " + id);
    }
    profiles->Append(it->second.profile->_Clone());
  }
  result = profiles;
}

// ---- associations ---------------------------------------------------------------------------

void ProfileManagerImpl::Associate(Zel::ServerObjectRef* entity, ProfileId* profile,
                                   Hox::Vm::Replication::ReplicationSpec* replSpec) {
  CheckEntity(entity, "entity");
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  if (replSpec != nullptr) {
    Kestrum::Ref<Lumo::Fault::NotSupported> fault(new Lumo::Fault::NotSupported);
    fault->SetMsg("the sample service does not replicate: associate without replSpec");
    fault->Throw();
  }
  const std::string key = EntityKey(*entity);
  std::lock_guard<std::mutex> lock(_state.mutex);
  if (_state.profiles.count(profile->GetUniqueId()) == 0) {
    Faults::NotFound("no profile has the id " + profile->GetUniqueId());
  }
  _state.associations[key] = ProfileState::Association{Ref<Zel::ServerObjectRef>(entity->_Clone()),
                                                       profile->GetUniqueId()};
}

void ProfileManagerImpl::Dissociate(Zel::ServerObjectRef* entity, ProfileId* profile) {
  CheckEntity(entity, "entity");
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  const std::string key = EntityKey(*entity);
  std::lock_guard<std::mutex> lock(_state.mutex);
  auto it = _state.associations.find(key);
  if (it == _state.associations.end() || it->second.profileId != profile->GetUniqueId()) {
    Faults::InvalidArgument(
        "profile",
        "the entity " + key + " is not associated with the profile " + profile->GetUniqueId());
  }
  _state.associations.erase(it);
}

void ProfileManagerImpl::QueryAssociatedProfiles(
    Lumo::DataArray<Zel::ServerObjectRef>* entities,
    Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>>& result) {
  if (entities == nullptr) Faults::InvalidArgument("entities", "no entities given");
  Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>> results(
      new Lumo::DataArray<Zel::Profile::QueryProfileResult>);
  std::lock_guard<std::mutex> lock(_state.mutex);
  for (int i = 0; i < entities->GetLength(); ++i) {
    const Zel::ServerObjectRef* entity = entities->Get(i);
    Ref<Zel::Profile::QueryProfileResult> one(new Zel::Profile::QueryProfileResult);
    one->SetObject(entity->_Clone());
    try {
      CheckEntity(entity, Indexed("entities", i));
      auto it = _state.associations.find(EntityKey(*entity));
      if (it != _state.associations.end()) {
        one->GetProfileId()->Append(MakeId(it->second.profileId).Get());
      }
    } catch (const Lumo::MethodFault::Exception& refused) {
      one->SetFault(refused.GetFault());
    }
    results->Append(one.Get());
  }
  result = results;
}

void ProfileManagerImpl::QueryAssociatedProfile(Zel::ServerObjectRef* entity,
                                                Ref<Lumo::DataArray<ProfileId>>& result) {
  CheckEntity(entity, "entity");
  Ref<Lumo::DataArray<ProfileId>> ids(new Lumo::DataArray<ProfileId>);
  std::lock_guard<std::mutex> lock(_state.mutex);
  auto it = _state.associations.find(EntityKey(*entity));
  if (it != _state.associations.end()) ids->Append(MakeId(it->second.profileId).Get());
  result = ids;
}

void ProfileManagerImpl::QueryAssociatedEntity(ProfileId* profile,
                                               const Kestrum::Optional<std::string>& entityType,
                                               Ref<Lumo::DataArray<Zel::ServerObjectRef>>& result) {
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  Ref<Lumo::DataArray<Zel::ServerObjectRef>> entities(new Lumo::DataArray<Zel::ServerObjectRef>);
  std::lock_guard<std::mutex> lock(_state.mutex);
  if (_state.profiles.count(profile->GetUniqueId()) == 0) {
    Faults::NotFound("no profile has the id " + profile->GetUniqueId());
  }
  for (const auto& [key, association] : _state.associations) {
    if (association.profileId != profile->GetUniqueId()) continue;
    if (entityType.IsSet() && association.entity->GetObjectType() != entityType.GetValue()) {
      continue;
    }
    entities->Append(association.entity->_Clone());
  }
  result = entities;
}

void ProfileManagerImpl::ApplyAssociated(
    Lumo::DataArray<Zel::ServerObjectRef>* entities, const Kestrum::Optional<bool>&,
    Ref<Lumo::DataArray<Zel::Profile::ReconfigOutcome>>& result) {
  // The sample inventory has no child entities, so applyOnChildren changes
  // nothing.
  if (entities == nullptr) Faults::InvalidArgument("entities", "no entities given");
  Ref<Lumo::DataArray<Zel::Profile::ReconfigOutcome>> outcomes(
      new Lumo::DataArray<Zel::Profile::ReconfigOutcome>);
  std::lock_guard<std::mutex> lock(_state.mutex);
  for (int i = 0; i < entities->GetLength(); ++i) {
    const Zel::ServerObjectRef* entity = entities->Get(i);
    Ref<Zel::Profile::ReconfigOutcome> outcome(new Zel::Profile::ReconfigOutcome);
    outcome->SetEntity(entity->_Clone());
    if (_state.associations.count(EntityKey(*entity)) == 0) {
      outcome->SetFault(
          Faults::MakeNotFound("the entity " + EntityKey(*entity) + " has no associated profile")
              .Get());
    } else {
      outcome->SetTaskMoid(std::string("task-") + std::to_string(_state.nextTask++));
    }
    outcomes->Append(outcome.Get());
  }
  result = outcomes;
}

void ProfileManagerImpl::ApplyProfile(
    Lumo::DataArray<ProfileId>* profiles,
    Ref<Lumo::DataArray<Zel::Profile::ApplyProfileOutcome>>& result) {
  if (profiles == nullptr) Faults::InvalidArgument("profiles", "no profiles given");
  Ref<Lumo::DataArray<Zel::Profile::ApplyProfileOutcome>> outcomes(
      new Lumo::DataArray<Zel::Profile::ApplyProfileOutcome>);
  std::lock_guard<std::mutex> lock(_state.mutex);
  for (int i = 0; i < profiles->GetLength(); ++i) {
    const std::string& id = profiles->Get(i)->GetUniqueId();
    Ref<Zel::Profile::ApplyProfileOutcome> outcome(new Zel::Profile::ApplyProfileOutcome);
    outcome->SetProfileId(MakeId(id).Get());
    if (_state.profiles.count(id) == 0) {
      outcome->SetFault(Faults::MakeNotFound("no profile has the id " + id).Get());
    } else {
      for (const auto& [key, association] : _state.associations) {
        if (association.profileId != id) continue;
        Ref<Zel::Profile::ReconfigOutcome> reconfig(new Zel::Profile::ReconfigOutcome);
        reconfig->SetEntity(association.entity->_Clone());
        reconfig->SetTaskMoid(std::string("task-") + std::to_string(_state.nextTask++));
        outcome->GetReconfigOutcome()->Append(reconfig.Get());
      }
    }
    outcomes->Append(outcome.Get());
  }
  result = outcomes;
}

// ---- not served --------------------------------------------------------------------------

void ProfileManagerImpl::ReconfigEntityAssociations(
    Lumo::DataArray<Zel::Profile::ChangeAssociationOp>*, Zel::Profile::UserAuth*) {
  Faults::NotServed(METHOD_RECONFIGENTITYASSOCIATIONS);
}

void ProfileManagerImpl::QueryDefaultCapabilityValues(Zel::ServerObjectRef*,
                                                      Lumo::Array<std::string>*,
                                                      Ref<Lumo::DataArray<ProfileId>>&) {
  Faults::NotServed(METHOD_QUERYDEFAULTCAPABILITYVALUES);
}

Kestrum::Optional<std::string> ProfileManagerImpl::RetrieveContentAsString(
    ProfileId*, Zel::Placement::PlacementHub*, Hox::Vm::Replication::ReplicationSpec*) {
  Faults::NotServed(METHOD_RETRIEVECONTENTASSTRING);
}

void ProfileManagerImpl::RetrieveContentForHub(ProfileId*, Zel::Placement::PlacementHub*,
                                               Ref<Zel::Profile::Profile>&) {
  Faults::NotServed(METHOD_RETRIEVECONTENTFORHUB);
}

Kestrum::Optional<std::string> ProfileManagerImpl::RetrieveContentAsStringBySpec(
    Zel::Profile::CapabilityBasedProfileCreateSpec*, Zel::Placement::PlacementHub*) {
  Faults::NotServed(METHOD_RETRIEVECONTENTASSTRINGBYSPEC);
}

void ProfileManagerImpl::QueryDefaultRequirementProfile(Zel::Placement::PlacementHub*,
                                                        Ref<ProfileId>&) {
  Faults::NotServed(METHOD_QUERYDEFAULTREQUIREMENTPROFILE);
}

void ProfileManagerImpl::ResetDefaultRequirementProfile(ProfileId*) {
  Faults::NotServed(METHOD_RESETDEFAULTREQUIREMENTPROFILE);
}

void ProfileManagerImpl::ConfigureErrorMode(bool, const Kestrum::Optional<std::string>&,
                                            const Kestrum::Optional<std::string>&) {
  Faults::NotServed(METHOD_CONFIGUREERRORMODE);
}

void ProfileManagerImpl::AssignDefaultRequirementProfile(
    ProfileId*, Lumo::DataArray<Zel::Placement::PlacementHub>*) {
  Faults::NotServed(METHOD_ASSIGNDEFAULTREQUIREMENTPROFILE);
}

void ProfileManagerImpl::FindApplicableDefaultProfile(
    Lumo::DataArray<Zel::Placement::PlacementHub>*, Ref<Lumo::DataArray<Zel::Profile::Profile>>&) {
  Faults::NotServed(METHOD_FINDAPPLICABLEDEFAULTPROFILE);
}

void ProfileManagerImpl::QueryDefaultRequirementProfiles(
    Lumo::DataArray<Zel::Placement::PlacementHub>*,
    Ref<Lumo::DataArray<Zel::Profile::DefaultProfileInfo>>&) {
  Faults::NotServed(METHOD_QUERYDEFAULTREQUIREMENTPROFILES);
}

void ProfileManagerImpl::ResetKoruDefaultProfile() {
  Faults::NotServed(METHOD_RESETKORUDEFAULTPROFILE);
}

void ProfileManagerImpl::QuerySpaceStatsForStorageContainer(
    Zel::ServerObjectRef*, Lumo::DataArray<ProfileId>*,
    Ref<Lumo::DataArray<Zel::Profile::Provider::DatastoreSpaceStatistics>>&) {
  Faults::NotServed(METHOD_QUERYSPACESTATSFORSTORAGECONTAINER);
}

void ProfileManagerImpl::QueryIOFiltersFromProfileId(
    Lumo::DataArray<ProfileId>*, Ref<Lumo::DataArray<Zel::Profile::ProfileToIofilterMap>>&) {
  Faults::NotServed(METHOD_QUERYIOFILTERSFROMPROFILEID);
}

void ProfileManagerImpl::QueryIOFilterInfo(Lumo::Array<std::string>*,
                                           Ref<Lumo::DataArray<Zel::Profile::IofilterInfo>>&) {
  Faults::NotServed(METHOD_QUERYIOFILTERINFO);
}

void ProfileManagerImpl::QueryAssociatedEntities(
    Lumo::DataArray<ProfileId>*, Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>>&) {
  Faults::NotServed(METHOD_QUERYASSOCIATEDENTITIES);
}

void ProfileManagerImpl::QueryParentStoragePolicies(
    Lumo::DataArray<ProfileId>*, Ref<Lumo::DataArray<Zel::Profile::DataServiceToPoliciesMap>>&) {
  Faults::NotServed(METHOD_QUERYPARENTSTORAGEPOLICIES);
}

void ProfileManagerImpl::QueryOrinPolicies(
    Lumo::DataArray<Zel::ServerObjectRef>*,
    Ref<Lumo::DataArray<Zel::Profile::QueryOrinPolicyResult>>&) {
  Faults::NotServed(METHOD_QUERYORINPOLICIES);
}

void ProfileManagerImpl::QueryPolicySummary(
    Lumo::DataArray<ProfileId>*, Ref<Lumo::DataArray<Zel::Profile::PolicySummaryResult>>&) {
  Faults::NotServed(METHOD_QUERYPOLICYSUMMARY);
}

void ProfileManagerImpl::PreProvisionProcess(Zel::Profile::EntityAssociations*,
                                             Ref<Zel::Profile::EntityAssociations>&) {
  Faults::NotServed(METHOD_PREPROVISIONPROCESS);
}

void ProfileManagerImpl::FindTargetProfileCapabilityValues(
    Lumo::DataArray<Zel::Capability::AssociatedPolicyCapabilities>*,
    Ref<Lumo::DataArray<Zel::Capability::AssociatedPolicyCapabilities>>&) {
  Faults::NotServed(METHOD_FINDTARGETPROFILECAPABILITYVALUES);
}

void ProfileManagerImpl::QueryPmemPolicyInfo(Lumo::DataArray<ProfileId>*,
                                             Ref<Lumo::DataArray<Zel::Profile::PmemPolicyInfo>>&) {
  Faults::NotServed(METHOD_QUERYPMEMPOLICYINFO);
}

}  // namespace ZelSample
