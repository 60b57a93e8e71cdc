// zel.profile.ProfileManager (ProfileManager.h): the capability catalogue,
// the profiles, their associations and the error mode.
#include "objects/ProfileManager.h"

#include <Lumo/Fault/NotSupported.h>
#include <Lumo/Primitive.h>
#include <Lumo/Type.h>
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

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "domain/Catalogue.h"
#include "objects/Arguments.h"
#include "objects/ProviderCalls.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Zel::Capability::Provider::CapabilityObjectMetadataPerCategory;
using Zel::Capability::Provider::CapabilityObjectSchema;
using Zel::Profile::CapabilityBasedProfile;
using Zel::Profile::ProfileId;

namespace {

constexpr size_t kMaxNameBytes = 256;

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

bool VendorMatches(const CapabilityObjectSchema& schema,
                   const Kestrum::Optional<std::string>& vendorUuid) {
  return !vendorUuid.IsSet() || (schema.GetVendorInfo() != nullptr &&
                                 schema.GetVendorInfo()->GetVendorUuid() == vendorUuid.GetValue());
}

}  // namespace

ProfileManagerImpl::ProfileManagerImpl(const char* id, ServiceCore& core)
    : Served(id),
      _core(core),
      _catalogue(core.catalogue),
      _state(core.state),
      _sessions(core.sessions) {}

// ---- the catalogue ------------------------------------------------------------------------

void ProfileManagerImpl::FetchResourceType(
    Ref<Lumo::DataArray<Zel::Profile::ResourceType>>& result) {
  result = new Lumo::DataArray<Zel::Profile::ResourceType>;
  auto storage = MakeRef<Zel::Profile::ResourceType>();
  storage->SetResourceType(Zel::Profile::RESOURCETYPEENUM_STORAGE);
  result->Append(storage.Get());
}

void ProfileManagerImpl::FetchVendorInfo(
    Zel::Profile::ResourceType* resourceType,
    Ref<Lumo::DataArray<CapabilityObjectSchema::VendorResourceTypeInfo>>& result) {
  result = new Lumo::DataArray<CapabilityObjectSchema::VendorResourceTypeInfo>;
  if (resourceType != nullptr && !IsStorage(resourceType)) return;
  auto info = MakeRef<CapabilityObjectSchema::VendorResourceTypeInfo>();
  info->SetResourceType(Zel::Profile::RESOURCETYPEENUM_STORAGE);
  for (const auto& schema : _catalogue.GetSchemas()) {
    auto pair = MakeRef<CapabilityObjectSchema::VendorNamespaceInfo>();
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

void ProfileManagerImpl::Create(Zel::Profile::CapabilityBasedProfileCreateSpec* createSpec,
                                Ref<ProfileId>& result) {
  if (createSpec == nullptr) Faults::InvalidArgument("createSpec", "no create spec given");
  CheckName(createSpec->GetName(), "createSpec.name");
  if (!IsStorage(createSpec->GetResourceType())) {
    Faults::InvalidArgument("createSpec.resourceType", "the resource type must be STORAGE");
  }
  std::string category = CapabilityBasedProfile::PROFILECATEGORYENUM_REQUIREMENT;
  if (const std::string* given = createSpec->PeekCategory()) {
    if (!IsValueOf<CapabilityBasedProfile::ProfileCategoryEnum>(*given)) {
      Faults::InvalidArgument("createSpec.category", "unknown profile category \"" + *given + "\"");
    }
    category = *given;
  }
  if (const std::string* description = createSpec->PeekDescription()) {
    _core.quotas.CheckDescription(*description, "createSpec.description");
  }
  CheckConstraints(_catalogue, createSpec->GetConstraints(), "createSpec.constraints");

  const std::string user = CurrentUser(_sessions);
  const auto now = Now();
  auto profile = MakeRef<CapabilityBasedProfile>();
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

  const std::string& id = profile->GetProfileId()->GetUniqueId();
  ChangingState state = _state.LockForChange();
  if (state->FindProfileByName(profile->GetName()) != nullptr) {
    Faults::DuplicateName(profile->GetName());
  }
  QuotaUse adds;
  adds.profiles = 1;
  CommitChanges(_core, state, {ProfileRecord{id, state->NextSequence(), profile}}, adds,
                &Faults::ProfileStorage);
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
  if (const std::string* description = updateSpec->PeekDescription()) {
    _core.quotas.CheckDescription(*description, "updateSpec.description");
  }
  if (updateSpec->GetConstraints() != nullptr) {
    CheckConstraints(_catalogue, updateSpec->GetConstraints(), "updateSpec.constraints");
  }
  const std::string user = CurrentUser(_sessions);

  ChangingState state = _state.LockForChange();
  const ProfileState::StoredProfile* stored = state->FindProfile(profileId->GetUniqueId());
  if (stored == nullptr) {
    Faults::InvalidArgument("profileId", "no profile has the id " + profileId->GetUniqueId());
  }
  const std::string* holder = name != nullptr ? state->FindProfileByName(*name) : nullptr;
  if (holder != nullptr && *holder != profileId->GetUniqueId()) {
    Faults::InvalidArgument("updateSpec.name",
                            "another profile is already named \"" + *name + "\"");
  }
  // Change a copy, so that readers holding the stored profile never see a
  // half-made change.
  Ref<CapabilityBasedProfile> changed(stored->profile->_Clone());
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
  CommitChanges(_core, state, {ProfileRecord{profileId->GetUniqueId(), stored->sequence, changed}},
                {}, &Faults::ProfileStorage);
}

void ProfileManagerImpl::Delete(
    Lumo::DataArray<ProfileId>* profileId,
    Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>>& result) {
  if (profileId == nullptr) Faults::InvalidArgument("profileId", "no profiles given");
  auto outcomes = MakeRef<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>>();
  _core.quotas.CheckEntityCount(static_cast<size_t>(profileId->GetLength()), "profileId");
  ChangeSet changes;
  std::set<std::string> dropped;
  ChangingState state = _state.LockForChange();
  for (int i = 0; i < profileId->GetLength(); ++i) {
    const std::string& id = profileId->Get(i)->GetUniqueId();
    auto outcome = MakeRef<Zel::Profile::ProfileOperationOutcome>();
    outcome->SetProfileId(MakeId(id).Get());
    if (state->FindProfile(id) == nullptr || dropped.count(id) != 0) {
      outcome->SetFault(Faults::MakeNotFound("no profile has the id " + id).Get());
    } else {
      dropped.insert(id);
      changes.push_back(DropProfile{id});
    }
    outcomes->Append(outcome.Get());
  }
  _core.quotas.CheckAnswer(*_GetType()->FindMethod("delete"), outcomes.Get());
  CommitChanges(_core, state, std::move(changes), {}, &Faults::ProfileStorage);
  result = outcomes;
}

void ProfileManagerImpl::QueryProfile(Zel::Profile::ResourceType* resourceType,
                                      const Kestrum::Optional<std::string>& profileCategory,
                                      Ref<Lumo::DataArray<ProfileId>>& result) {
  if (!IsStorage(resourceType)) {
    Faults::InvalidArgument("resourceType", "the resource type must be STORAGE");
  }
  auto ids = MakeRef<Lumo::DataArray<ProfileId>>();
  SharedState state = _state.LockShared();
  for (const auto& [sequence, id] : state->ProfilesInOrder()) {
    if (profileCategory.IsSet() &&
        state->FindProfile(id)->profile->GetProfileCategory() != profileCategory.GetValue()) {
      continue;
    }
    ids->Append(MakeId(id).Get());
  }
  result = ids;
}

void ProfileManagerImpl::RetrieveContent(Lumo::DataArray<ProfileId>* profileIds,
                                         Ref<Lumo::DataArray<Zel::Profile::Profile>>& result) {
  if (profileIds == nullptr) Faults::InvalidArgument("profileIds", "no profiles given");
  auto profiles = MakeRef<Lumo::DataArray<Zel::Profile::Profile>>();
  _core.quotas.CheckEntityCount(static_cast<size_t>(profileIds->GetLength()), "profileIds");
  SharedState state = _state.LockShared();
  for (int i = 0; i < profileIds->GetLength(); ++i) {
    const std::string& id = profileIds->Get(i)->GetUniqueId();
    const ProfileState::StoredProfile* stored = state->FindProfile(id);
    if (stored == nullptr) {
      Faults::InvalidArgument(Indexed("profileIds", i), "no profile has the id " + id);
    }
    profiles->Append(stored->profile->_Clone());
  }
  result = profiles;
}

// ---- associations ---------------------------------------------------------------------------

void ProfileManagerImpl::Associate(Zel::ServerObjectRef* entity, ProfileId* profile,
                                   Hox::Vm::Replication::ReplicationSpec* replSpec) {
  CheckEntity(entity, "entity");
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  if (replSpec != nullptr) {
    auto fault = Kestrum::MakeRef<Lumo::Fault::NotSupported>();
    fault->SetMsg("the sample service does not replicate: associate without replSpec");
    fault->Throw();
  }
  const std::string key = EntityKey(*entity);
  ChangingState state = _state.LockForChange();
  if (state->FindProfile(profile->GetUniqueId()) == nullptr) {
    Faults::NotFound("no profile has the id " + profile->GetUniqueId());
  }
  QuotaUse adds;
  adds.associations = state->FindAssociation(key) == nullptr ? 1 : 0;
  CommitChanges(
      _core, state,
      {AssociationRecord{key, Ref<Zel::ServerObjectRef>(entity->_Clone()), profile->GetUniqueId()}},
      adds, &Faults::ZelFault);
}

void ProfileManagerImpl::Dissociate(Zel::ServerObjectRef* entity, ProfileId* profile) {
  CheckEntity(entity, "entity");
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  const std::string key = EntityKey(*entity);
  ChangingState state = _state.LockForChange();
  const ProfileState::Association* association = state->FindAssociation(key);
  if (association == nullptr || association->profileId != profile->GetUniqueId()) {
    Faults::InvalidArgument(
        "profile",
        "the entity " + key + " is not associated with the profile " + profile->GetUniqueId());
  }
  CommitChanges(_core, state, {DropAssociation{key}}, {}, &Faults::ZelFault);
}

// The association queries are answered by the registered association
// provider.
namespace {

Lumo::ManagedObject* RequireAssociationProvider(ServiceCore& core) {
  Lumo::ManagedObject* provider = AnyAssociationProvider(core);
  if (provider == nullptr) {
    Faults::ZelFault("no association provider of this process is registered");
  }
  return provider;
}

}  // namespace

void ProfileManagerImpl::QueryAssociatedProfiles(
    Lumo::DataArray<Zel::ServerObjectRef>* entities,
    Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>>& result) {
  if (entities == nullptr) Faults::InvalidArgument("entities", "no entities given");
  _core.quotas.CheckEntityCount(static_cast<size_t>(entities->GetLength()), "entities");
  result = ProviderAnswer<Lumo::DataArray<Zel::Profile::QueryProfileResult>>(
      RequireAssociationProvider(_core), "queryAssociatedProfiles", {Ref<Lumo::Any>(entities)});
}

void ProfileManagerImpl::QueryAssociatedProfile(Zel::ServerObjectRef* entity,
                                                Ref<Lumo::DataArray<ProfileId>>& result) {
  CheckEntity(entity, "entity");
  result = ProviderAnswer<Lumo::DataArray<ProfileId>>(
      RequireAssociationProvider(_core), "queryAssociatedProfile", {Ref<Lumo::Any>(entity)});
}

void ProfileManagerImpl::QueryAssociatedEntity(ProfileId* profile,
                                               const Kestrum::Optional<std::string>& entityType,
                                               Ref<Lumo::DataArray<Zel::ServerObjectRef>>& result) {
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  Ref<Lumo::Any> type;
  if (entityType.IsSet()) type = new Lumo::Primitive<std::string>(entityType.GetValue());
  result = ProviderAnswer<Lumo::DataArray<Zel::ServerObjectRef>>(
      RequireAssociationProvider(_core), "queryAssociatedEntity", {Ref<Lumo::Any>(profile), type});
}

void ProfileManagerImpl::ApplyAssociated(
    Lumo::DataArray<Zel::ServerObjectRef>* entities, const Kestrum::Optional<bool>& applyOnChildren,
    Ref<Lumo::DataArray<Zel::Profile::ReconfigOutcome>>& result) {
  // The children of a virtual machine are the disks the inventory lists for
  // it; those with an associated profile are applied with it.
  if (entities == nullptr) Faults::InvalidArgument("entities", "no entities given");
  _core.quotas.CheckEntityCount(static_cast<size_t>(entities->GetLength()), "entities");
  const bool children = applyOnChildren.IsSet() && applyOnChildren.GetValue();
  auto outcomes = MakeRef<Lumo::DataArray<Zel::Profile::ReconfigOutcome>>();
  SharedState state = _state.LockShared();
  auto apply = [&](const Zel::ServerObjectRef& entity, bool required) {
    const bool associated = state->FindAssociation(EntityKey(entity)) != nullptr;
    if (!associated && !required) return;
    auto outcome = MakeRef<Zel::Profile::ReconfigOutcome>();
    outcome->SetEntity(entity._Clone());
    if (!associated) {
      outcome->SetFault(
          Faults::MakeNotFound("the entity " + EntityKey(entity) + " has no associated profile")
              .Get());
    } else {
      outcome->SetTaskMoid(std::string("task-") + std::to_string(state->NextTask()));
    }
    outcomes->Append(outcome.Get());
  };
  for (int i = 0; i < entities->GetLength(); ++i) {
    const Zel::ServerObjectRef* entity = entities->Get(i);
    CheckEntity(entity, Indexed("entities", i));
    apply(*entity, true);
    const InventoryEntity* vm = _core.inventory.FindVm(entity->GetKey());
    if (!children || vm == nullptr ||
        entity->GetObjectType() == Zel::ServerObjectRef::OBJECTTYPE_DATASTORE) {
      continue;
    }
    for (const std::string& key : vm->disks) {
      auto disk = MakeRef<Zel::ServerObjectRef>();
      disk->SetObjectType(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID);
      disk->SetKey(key);
      apply(*disk, false);
    }
  }
  result = outcomes;
}

void ProfileManagerImpl::ApplyProfile(
    Lumo::DataArray<ProfileId>* profiles,
    Ref<Lumo::DataArray<Zel::Profile::ApplyProfileOutcome>>& result) {
  if (profiles == nullptr) Faults::InvalidArgument("profiles", "no profiles given");
  auto outcomes = MakeRef<Lumo::DataArray<Zel::Profile::ApplyProfileOutcome>>();
  SharedState state = _state.LockShared();
  for (int i = 0; i < profiles->GetLength(); ++i) {
    const std::string& id = profiles->Get(i)->GetUniqueId();
    auto outcome = MakeRef<Zel::Profile::ApplyProfileOutcome>();
    outcome->SetProfileId(MakeId(id).Get());
    if (state->FindProfile(id) == nullptr) {
      outcome->SetFault(Faults::MakeNotFound("no profile has the id " + id).Get());
    } else if (const std::set<std::string>* keys = state->EntitiesOf(id)) {
      for (const std::string& key : *keys) {
        auto reconfig = MakeRef<Zel::Profile::ReconfigOutcome>();
        reconfig->SetEntity(state->FindAssociation(key)->entity->_Clone());
        reconfig->SetTaskMoid(std::string("task-") + std::to_string(state->NextTask()));
        outcome->GetReconfigOutcome()->Append(reconfig.Get());
      }
    }
    outcomes->Append(outcome.Get());
  }
  result = outcomes;
}

// ---- the error mode ------------------------------------------------------------------------

void ProfileManagerImpl::ConfigureErrorMode(bool enable,
                                            const Kestrum::Optional<std::string>& methodToFail,
                                            const Kestrum::Optional<std::string>& fault) {
  std::string why;
  if (!enable) {
    if (methodToFail.IsSet()) {
      Lumo::ManagedMethod* method = MethodNamed(methodToFail.GetValue(), why);
      _core.faults.Clear(method ? method->GetQualifiedName() : methodToFail.GetValue());
    } else {
      _core.faults.ClearAll();
    }
    return;
  }
  if (!methodToFail.IsSet()) Faults::InvalidArgument("methodToFail", "no method named");
  Lumo::ManagedMethod* method = MethodNamed(methodToFail.GetValue(), why);
  if (method == nullptr) Faults::InvalidArgument("methodToFail", why);
  if (method == _GetType()->FindMethod("configureErrorMode")) {
    Faults::NotSupported("the error mode cannot fail configureErrorMode itself");
  }
  const std::string faultName = fault.IsSet() ? fault.GetValue() : "zel.fault.ZELFault";
  auto* faultType = dynamic_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(faultName));
  if (faultType == nullptr || !faultType->IsA(Lumo::FindTypeByName("olyx.MethodFault"))) {
    Faults::InvalidArgument("fault", "no fault type is named \"" + faultName + "\"");
  }
  _core.faults.SetErrorMode(method->GetQualifiedName(), faultName);
}

}  // namespace ZelSample
