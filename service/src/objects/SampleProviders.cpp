// The sample providers: objects of this process that implement the provider
// interfaces and register with the service's registries at start, the way
// providers elsewhere would. The managers reach them only through their
// registration records and their type records (CallProvider).
#include "objects/SampleProviders.h"

#include <Lumo/Fault/NotSupported.h>
#include <Lumo/Primitive.h>
#include <Olyx/Zel/Association/AssociationMetadata.h>
#include <Olyx/Zel/Association/Provider/AssociationProvider.h>
#include <Olyx/Zel/Association/Provider/AssociationProviderInfo.h>
#include <Olyx/Zel/Compliance/Provider/ComplianceProvider.h>
#include <Olyx/Zel/Compliance/Provider/ComplianceProviderInfo.h>
#include <Olyx/Zel/Placement/PlacementHubFinder.h>
#include <Olyx/Zel/Placement/PlacementHubInfo.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileType.h>
#include <Olyx/Zel/Profile/Provider/DatastoreSpaceStatistics.h>
#include <Olyx/Zel/Profile/Provider/ProfileProvider.h>
#include <Olyx/Zel/Profile/Provider/ProfileProviderInfo.h>
#include <Olyx/Zel/Profile/QueryProfileResult.h>

#include <set>
#include <vector>

#include "Support.h"
#include "domain/Matching.h"
#include "objects/Arguments.h"
#include "objects/ComplianceResults.h"
#include "objects/Hubs.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;

namespace {

[[noreturn]] void NotCalled(const char* method) {
  Faults::NotSupported(std::string(method) + " is not called by the sample service");
}

// ---- compliance --------------------------------------------------------------------------

class SampleComplianceProvider : public Served<Zel::Compliance::Provider::ComplianceProvider> {
 public:
  SampleComplianceProvider(const char* id, ServiceCore& core) : Served(id), _core(core) {}

  void CheckCompliance(Lumo::DataArray<Zel::ServerObjectRef>* entities,
                       Zel::Profile::ProfileId* profile,
                       Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>>& result) override {
    CheckEntities(entities, "entities", _core.quotas);
    if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
    Ref<Zel::Profile::CapabilityBasedProfile> checked;
    {
      SharedState state = _core.state.LockShared();
      const auto* stored = state->FindProfile(profile->GetUniqueId());
      if (stored == nullptr) Faults::NotFound("no profile has the id " + profile->GetUniqueId());
      checked = stored->profile;
    }
    result = new Lumo::DataArray<Zel::Compliance::ComplianceResult>;
    for (int i = 0; i < entities->GetLength(); ++i) {
      result->Append(ComputeCompliance(_core.inventory, *entities->Get(i), *checked).Get());
    }
  }

 private:
  ServiceCore& _core;
};

// ---- hub finding ---------------------------------------------------------------------------

class SampleHubFinder : public Served<Zel::Placement::PlacementHubFinder> {
 public:
  SampleHubFinder(const char* id, ServiceCore& core) : Served(id), _core(core) {}

  void FindMatchingHub(Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
                       Zel::Profile::ProfileId* profile,
                       Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>& result) override {
    if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
    Ref<Zel::Profile::CapabilityBasedProfile> wanted;
    {
      SharedState state = _core.state.LockShared();
      const auto* stored = state->FindProfile(profile->GetUniqueId());
      if (stored == nullptr) Faults::NotFound("no profile has the id " + profile->GetUniqueId());
      wanted = stored->profile;
    }
    result = Find(hubsToSearch, wanted->GetConstraints());
  }

  void FindMatchingHubWithSpec(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
      Zel::Profile::CapabilityBasedProfileCreateSpec* createSpec,
      Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>& result) override {
    if (createSpec == nullptr) Faults::InvalidArgument("createSpec", "no create spec given");
    CheckConstraints(_core.catalogue, createSpec->GetConstraints(), "createSpec.constraints");
    result = Find(hubsToSearch, createSpec->GetConstraints());
  }

 private:
  Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>> Find(
      const Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
      const Zel::Profile::CapabilityConstraints* constraints) {
    auto results = MakeRef<Lumo::DataArray<Zel::Placement::CompatibilityResult>>();
    if (hubsToSearch == nullptr) {
      for (const InventoryHub& hub : _core.inventory.GetHubs()) {
        results->Append(Compatibility(hub, constraints).Get());
      }
      return results;
    }
    for (const InventoryHub* hub :
         RequireHubs(_core.inventory, hubsToSearch, "hubsToSearch", false)) {
      results->Append(Compatibility(*hub, constraints).Get());
    }
    return results;
  }

  ServiceCore& _core;
};

// ---- associations ----------------------------------------------------------------------------

class SampleAssociationProvider : public Served<Zel::Association::Provider::AssociationProvider> {
 public:
  SampleAssociationProvider(const char* id, ServiceCore& core) : Served(id), _core(core) {}

  void QueryAssociatedProfiles(
      Lumo::DataArray<Zel::ServerObjectRef>* entities,
      Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>>& result) override {
    if (entities == nullptr) Faults::InvalidArgument("entities", "no entities given");
    result = new Lumo::DataArray<Zel::Profile::QueryProfileResult>;
    SharedState state = _core.state.LockShared();
    for (int i = 0; i < entities->GetLength(); ++i) {
      const Zel::ServerObjectRef* entity = entities->Get(i);
      auto one = MakeRef<Zel::Profile::QueryProfileResult>();
      if (entity != nullptr) one->SetObject(entity->_Clone());
      try {
        CheckEntity(entity, Indexed("entities", i));
        if (const auto* association = state->FindAssociation(EntityKey(*entity))) {
          one->GetProfileId()->Append(MakeId(association->profileId).Get());
        }
      } catch (const Lumo::MethodFault::Exception& refused) {
        one->SetFault(refused.GetFault());
      }
      result->Append(one.Get());
    }
  }

  void QueryAssociatedProfile(Zel::ServerObjectRef* entity,
                              Ref<Lumo::DataArray<Zel::Profile::ProfileId>>& result) override {
    CheckEntity(entity, "entity");
    result = new Lumo::DataArray<Zel::Profile::ProfileId>;
    SharedState state = _core.state.LockShared();
    if (const auto* association = state->FindAssociation(EntityKey(*entity))) {
      result->Append(MakeId(association->profileId).Get());
    }
  }

  void QueryAssociatedEntity(Zel::Profile::ProfileId* profile,
                             const Kestrum::Optional<std::string>& entityType,
                             Ref<Lumo::DataArray<Zel::ServerObjectRef>>& result) override {
    if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
    result = new Lumo::DataArray<Zel::ServerObjectRef>;
    SharedState state = _core.state.LockShared();
    if (state->FindProfile(profile->GetUniqueId()) == nullptr) {
      Faults::NotFound("no profile has the id " + profile->GetUniqueId());
    }
    const std::set<std::string>* keys = state->EntitiesOf(profile->GetUniqueId());
    for (auto it = keys ? keys->begin() : std::set<std::string>::const_iterator();
         keys != nullptr && it != keys->end(); ++it) {
      const auto* association = state->FindAssociation(*it);
      if (entityType.IsSet() && association->entity->GetObjectType() != entityType.GetValue()) {
        continue;
      }
      result->Append(association->entity->_Clone());
    }
  }

 private:
  ServiceCore& _core;
};

// ---- profiles ------------------------------------------------------------------------------

class SampleProfileProvider : public Served<Zel::Profile::Provider::ProfileProvider> {
 public:
  SampleProfileProvider(const char* id, ServiceCore& core) : Served(id), _core(core) {}

  // A profile can be the default of hubs that all meet it.
  void ValidateDefaultPolicyForHubs(Zel::Profile::CapabilityBasedProfile* profile,
                                    Lumo::DataArray<Zel::Placement::PlacementHub>* hubs) override {
    if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
    if (profile->GetProfileCategory() !=
        Zel::Profile::CapabilityBasedProfile::PROFILECATEGORYENUM_REQUIREMENT) {
      Faults::InvalidArgument("profile", "only a requirement profile can be a default profile");
    }
    std::vector<const InventoryHub*> found = RequireHubs(_core.inventory, hubs, "hubs", true);
    for (size_t i = 0; i < found.size(); ++i) {
      Evaluation evaluation = Evaluate(*found[i], profile->GetConstraints());
      if (!evaluation.meets) {
        Faults::InvalidArgument(
            Indexed("hubs", static_cast<int>(i)),
            "the hub " + found[i]->id + " does not meet the profile " + profile->GetName());
      }
    }
  }

  // The space of a datastore, once per profile asked (once without).
  void QuerySpaceStatsForStorageContainer(
      Zel::ServerObjectRef* datastore,
      Lumo::DataArray<Zel::Profile::ProfileId>* capabilityProfileId,
      Ref<Lumo::DataArray<Zel::Profile::Provider::DatastoreSpaceStatistics>>& result) override {
    using Zel::Profile::Provider::DatastoreSpaceStatistics;
    CheckEntity(datastore, "datastore");
    if (datastore->GetObjectType() != Zel::ServerObjectRef::OBJECTTYPE_DATASTORE) {
      Faults::InvalidArgument("datastore.objectType", "the entity is not a datastore");
    }
    const InventoryHub* hub = _core.inventory.FindHub(datastore->GetKey());
    if (hub == nullptr) Faults::NotFound("the inventory has no datastore " + datastore->GetKey());
    auto stats = [&](const std::string* profileId) {
      auto one = MakeRef<DatastoreSpaceStatistics>();
      if (profileId != nullptr) one->SetProfileId(Kestrum::Optional<std::string>(*profileId));
      one->SetPhysicalTotalInMB(hub->totalMB);
      one->SetPhysicalFreeInMB(hub->freeMB);
      one->SetPhysicalUsedInMB(hub->totalMB - hub->freeMB);
      one->SetLogicalFreeInMB(hub->freeMB);
      one->SetLogicalUsedInMB(hub->totalMB - hub->freeMB);
      return one;
    };
    result = new Lumo::DataArray<DatastoreSpaceStatistics>;
    if (capabilityProfileId == nullptr || capabilityProfileId->IsEmpty()) {
      result->Append(stats(nullptr).Get());
      return;
    }
    SharedState state = _core.state.LockShared();
    for (int i = 0; i < capabilityProfileId->GetLength(); ++i) {
      const std::string& id = capabilityProfileId->Get(i)->GetUniqueId();
      if (state->FindProfile(id) == nullptr) {
        Faults::InvalidArgument(Indexed("capabilityProfileId", i), "no profile has the id " + id);
      }
      result->Append(stats(&id).Get());
    }
  }

  // The candidates that every hub meets.
  void SearchApplicableDefaultProfile(
      Lumo::DataArray<Zel::Profile::Profile>* profiles,
      Lumo::DataArray<Zel::Placement::PlacementHubInfo>* hubInfo,
      Ref<Lumo::DataArray<Zel::Profile::Profile>>& result) override {
    if (profiles == nullptr) Faults::InvalidArgument("profiles", "no profiles given");
    if (hubInfo == nullptr || hubInfo->IsEmpty()) {
      Faults::InvalidArgument("hubInfo", "no hubs given");
    }
    auto hubs = MakeRef<Lumo::DataArray<Zel::Placement::PlacementHub>>();
    for (int i = 0; i < hubInfo->GetLength(); ++i) hubs->Append(hubInfo->Get(i)->GetHub());
    std::vector<const InventoryHub*> found =
        RequireHubs(_core.inventory, hubs.Get(), "hubInfo", true);
    result = new Lumo::DataArray<Zel::Profile::Profile>;
    for (int p = 0; p < profiles->GetLength(); ++p) {
      const auto* candidate =
          dynamic_cast<const Zel::Profile::CapabilityBasedProfile*>(profiles->Get(p));
      if (candidate == nullptr) continue;
      bool all = true;
      for (const InventoryHub* hub : found) {
        all = all && Evaluate(*hub, candidate->GetConstraints()).meets;
      }
      if (all) result->Append(candidate->_Clone());
    }
  }

  void FetchProfile(Zel::Profile::ResourceType*, const std::string&,
                    Ref<Lumo::DataArray<Zel::Profile::ProfileId>>&) override {
    NotCalled(METHOD_FETCHPROFILE);
  }
  void FetchDefaultProfile(Zel::ServerObjectRef*, Lumo::Array<std::string>*,
                           Ref<Lumo::DataArray<Zel::Profile::ProfileId>>&) override {
    NotCalled(METHOD_FETCHDEFAULTPROFILE);
  }
  void FetchContent(Lumo::DataArray<Zel::Profile::ProfileId>*,
                    Ref<Lumo::DataArray<Zel::Profile::Profile>>&) override {
    NotCalled(METHOD_FETCHCONTENT);
  }
  std::string FetchContentAsString(Zel::Profile::ProfileId*, Zel::Placement::PlacementHub*,
                                   Hox::Vm::Replication::ReplicationSpec*) override {
    NotCalled(METHOD_FETCHCONTENTASSTRING);
  }
  void FetchContentForHub(Zel::Profile::ProfileId*, Zel::Placement::PlacementHub*,
                          Ref<Zel::Profile::Profile>&) override {
    NotCalled(METHOD_FETCHCONTENTFORHUB);
  }
  std::string FetchContentAsStringBySpec(Zel::Profile::CapabilityBasedProfileCreateSpec*,
                                         Zel::Placement::PlacementHub*) override {
    NotCalled(METHOD_FETCHCONTENTASSTRINGBYSPEC);
  }
  void QueryAtomFeedQsProviderIds(Ref<Lumo::Array<std::string>>&) override {
    NotCalled(METHOD_QUERYATOMFEEDQSPROVIDERIDS);
  }

 private:
  ServiceCore& _core;
};

template <class T>
T* Keep(ServiceCore& core, T* provider) {
  Ref<Kestrum::Object> owner(provider);
  core.providers.AddLocal(provider, owner);
  return provider;
}

Ref<Zel::Association::AssociationMetadata> Metadata(const char* entityType) {
  auto metadata = MakeRef<Zel::Association::AssociationMetadata>();
  metadata->SetAssociableEntityType(entityType);
  metadata->SetAssociableProfileType("CapabilityBasedProfile");
  return metadata;
}

}  // namespace

void RegisterSampleProviders(ServiceCore& core) {
  const char* location = "in-process:zel-sample-service";
  auto* compliance = Keep(core, new SampleComplianceProvider("SampleComplianceProvider", core));
  for (const char* type : {Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE,
                           Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINEANDDISKS,
                           Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID,
                           Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKUUID,
                           Zel::ServerObjectRef::OBJECTTYPE_DATASTORE}) {
    auto info = MakeRef<Zel::Compliance::Provider::ComplianceProviderInfo>();
    info->SetUniqueId(std::string("sample-compliance-") + type);
    info->SetLocation(location);
    info->SetMetadata(Metadata(type).Get());
    info->SetProvider(compliance->_GetRef()->_Clone());
    core.providers.compliance.Add(info->GetUniqueId(), *info);
  }

  auto* finder = Keep(core, new SampleHubFinder("SampleHubFinder", core));
  std::set<std::string> hubTypes;
  for (const InventoryHub& hub : core.inventory.GetHubs()) hubTypes.insert(hub.type);
  for (const std::string& type : hubTypes) {
    auto info = MakeRef<Zel::Placement::PlacementHubFinder::Info>();
    info->SetUniqueId("sample-hub-finder-" + type);
    info->SetLocation(location);
    info->SetFinderType("sample");
    info->SetSupportedHubType(type);
    info->SetFinder(finder->_GetRef()->_Clone());
    core.providers.hubFinders.Add(info->GetUniqueId(), *info);
  }

  auto* associations = Keep(core, new SampleAssociationProvider("SampleAssociationProvider", core));
  auto associationInfo = MakeRef<Zel::Association::Provider::AssociationProviderInfo>();
  associationInfo->SetUniqueId("sample-association-provider");
  associationInfo->SetLocation(location);
  associationInfo->SetProvider(associations->_GetRef()->_Clone());
  core.providers.associations.Add(associationInfo->GetUniqueId(), *associationInfo);

  auto* profiles = Keep(core, new SampleProfileProvider("SampleProfileProvider", core));
  auto profileInfo = MakeRef<Zel::Profile::Provider::ProfileProviderInfo>();
  profileInfo->SetUniqueId("sample-profile-provider");
  profileInfo->SetLocation(location);
  auto type = MakeRef<Zel::Profile::ProfileType>();
  type->SetUniqueId("CapabilityBasedProfile");
  profileInfo->GetProfileType()->Append(type.Get());
  profileInfo->SetProvider(profiles->_GetRef()->_Clone());
  core.providers.profiles.Add(profileInfo->GetUniqueId(), *profileInfo);
}

}  // namespace ZelSample
