// The managed objects of the sample service and the state they share.
#pragma once

#include <Olyx/Zel/Association/AssociationProviderRegistry.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Capability/CapabilityMetadataManager.h>
#include <Olyx/Zel/Compliance/ComplianceManager.h>
#include <Olyx/Zel/Compliance/ComplianceProviderRegistry.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Placement/HubFinderRegistry.h>
#include <Olyx/Zel/Placement/PlacementSolver.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ProfileProviderRegistry.h>
#include <Olyx/Zel/Replication/ReplicationManager.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelSample/IssuerKeys.h>
#include <ZelSample/Sessions.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "Catalogue.h"
#include "Support.h"

namespace ZelSample {

// Profiles, their associations with entities and the compliance results; one
// mutex guards all three, since every change to a profile touches the others.
struct ProfileState {
  struct StoredProfile {
    Kestrum::Ref<Zel::Profile::CapabilityBasedProfile> profile;
    uint64_t sequence;
  };
  struct Association {
    Kestrum::Ref<Zel::ServerObjectRef> entity;
    std::string profileId;
  };
  struct StoredResult {
    Kestrum::Ref<Zel::Compliance::ComplianceResult> result;
    int64_t generation;
  };

  std::mutex mutex;
  uint64_t nextSequence = 1;
  uint64_t nextTask = 1;
  std::map<std::string, StoredProfile> profiles;    // by profile id
  std::map<std::string, Association> associations;  // by entity key
  std::map<std::string, StoredResult> results;      // by ResultKey
};

// The key of an entity: its type, key and server, as one string.
std::string EntityKey(const Zel::ServerObjectRef& entity);
std::string ResultKey(const std::string& entityKey, const std::string& profileId);
// Refuses (InvalidArgument at path) a missing entity, an unknown object type
// or an empty key.
void CheckEntity(const Zel::ServerObjectRef* entity, const std::string& path);
// The user of the current call's session; "anonymous" without one.
std::string CurrentUser(SessionTable& sessions);

class ServiceInstanceImpl : public Served<Zel::ServiceInstance> {
 public:
  ServiceInstanceImpl(const char* id, Zel::ServiceInstanceContent* content);

  void GetContent(Kestrum::Ref<Zel::ServiceInstanceContent>& result) override;
  void RetrieveContent(Kestrum::Ref<Zel::ServiceInstanceContent>& result) override;
  void QueryAtomFeedQsProviderIds(const std::string& providerType,
                                  Kestrum::Ref<Lumo::Array<std::string>>& result) override;
  void GetZelDebugManager(Kestrum::Ref<Lumo::MoRef>& result) override;

 private:
  const Kestrum::Ref<Zel::ServiceInstanceContent> _content;  // never changed
};

class SessionManagerImpl : public Served<Zel::Auth::SessionManager> {
 public:
  SessionManagerImpl(const char* id, SessionTable& sessions,
                     std::shared_ptr<const TrustedIssuers> trusted);

  void LoginByToken(const std::string& delegatedTokenXml) override;
  void Logout() override;

 private:
  SessionTable& _sessions;
  std::shared_ptr<const TrustedIssuers> _trusted;
};

class ProfileManagerImpl : public Served<Zel::Profile::ProfileManager> {
 public:
  ProfileManagerImpl(const char* id, Catalogue& catalogue, ProfileState& state,
                     SessionTable& sessions);

  // Served.
  void FetchResourceType(
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::ResourceType>>& result) override;
  void FetchVendorInfo(
      Zel::Profile::ResourceType* resourceType,
      Kestrum::Ref<Lumo::DataArray<
          Zel::Capability::Provider::CapabilityObjectSchema::VendorResourceTypeInfo>>& result)
      override;
  void FetchCapabilityMetadata(
      Zel::Profile::ResourceType* resourceType, const Kestrum::Optional<std::string>& vendorUuid,
      Kestrum::Ref<Lumo::DataArray<Zel::Capability::Provider::CapabilityObjectMetadataPerCategory>>&
          result) override;
  void FetchCapabilitySchema(
      const Kestrum::Optional<std::string>& vendorUuid, Lumo::Array<std::string>* lineOfService,
      Kestrum::Ref<Lumo::DataArray<Zel::Capability::Provider::CapabilityObjectSchema>>& result)
      override;
  void Create(Zel::Profile::CapabilityBasedProfileCreateSpec* createSpec,
              Kestrum::Ref<Zel::Profile::ProfileId>& result) override;
  void Update(Zel::Profile::ProfileId* profileId,
              Zel::Profile::CapabilityBasedProfileUpdateSpec* updateSpec) override;
  void Delete(
      Lumo::DataArray<Zel::Profile::ProfileId>* profileId,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>>& result) override;
  void Associate(Zel::ServerObjectRef* entity, Zel::Profile::ProfileId* profile,
                 Hox::Vm::Replication::ReplicationSpec* replSpec) override;
  void Dissociate(Zel::ServerObjectRef* entity, Zel::Profile::ProfileId* profile) override;
  void QueryProfile(Zel::Profile::ResourceType* resourceType,
                    const Kestrum::Optional<std::string>& profileCategory,
                    Kestrum::Ref<Lumo::DataArray<Zel::Profile::ProfileId>>& result) override;
  void RetrieveContent(Lumo::DataArray<Zel::Profile::ProfileId>* profileIds,
                       Kestrum::Ref<Lumo::DataArray<Zel::Profile::Profile>>& result) override;
  void QueryAssociatedProfiles(
      Lumo::DataArray<Zel::ServerObjectRef>* entities,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>>& result) override;
  void QueryAssociatedProfile(
      Zel::ServerObjectRef* entity,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::ProfileId>>& result) override;
  void QueryAssociatedEntity(Zel::Profile::ProfileId* profile,
                             const Kestrum::Optional<std::string>& entityType,
                             Kestrum::Ref<Lumo::DataArray<Zel::ServerObjectRef>>& result) override;
  void ApplyAssociated(
      Lumo::DataArray<Zel::ServerObjectRef>* entities,
      const Kestrum::Optional<bool>& applyOnChildren,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::ReconfigOutcome>>& result) override;
  void ApplyProfile(
      Lumo::DataArray<Zel::Profile::ProfileId>* profiles,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::ApplyProfileOutcome>>& result) override;

  // Not served: NotSupported.
  void ReconfigEntityAssociations(Lumo::DataArray<Zel::Profile::ChangeAssociationOp>* ops,
                                  Zel::Profile::UserAuth* userAuth) override;
  void QueryDefaultCapabilityValues(
      Zel::ServerObjectRef* entity, Lumo::Array<std::string>* lodeType,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::ProfileId>>& result) override;
  Kestrum::Optional<std::string> RetrieveContentAsString(
      Zel::Profile::ProfileId* profileId, Zel::Placement::PlacementHub* hub,
      Hox::Vm::Replication::ReplicationSpec* spec) override;
  void RetrieveContentForHub(Zel::Profile::ProfileId* profileId, Zel::Placement::PlacementHub* hub,
                             Kestrum::Ref<Zel::Profile::Profile>& result) override;
  Kestrum::Optional<std::string> RetrieveContentAsStringBySpec(
      Zel::Profile::CapabilityBasedProfileCreateSpec* profileSpec,
      Zel::Placement::PlacementHub* hub) override;
  void QueryDefaultRequirementProfile(Zel::Placement::PlacementHub* hub,
                                      Kestrum::Ref<Zel::Profile::ProfileId>& result) override;
  void ResetDefaultRequirementProfile(Zel::Profile::ProfileId* profile) override;
  void ConfigureErrorMode(bool enable, const Kestrum::Optional<std::string>& methodToFail,
                          const Kestrum::Optional<std::string>& fault) override;
  void AssignDefaultRequirementProfile(
      Zel::Profile::ProfileId* profile,
      Lumo::DataArray<Zel::Placement::PlacementHub>* datastores) override;
  void FindApplicableDefaultProfile(
      Lumo::DataArray<Zel::Placement::PlacementHub>* datastores,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::Profile>>& result) override;
  void QueryDefaultRequirementProfiles(
      Lumo::DataArray<Zel::Placement::PlacementHub>* datastores,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::DefaultProfileInfo>>& result) override;
  void ResetKoruDefaultProfile() override;
  void QuerySpaceStatsForStorageContainer(
      Zel::ServerObjectRef* datastore,
      Lumo::DataArray<Zel::Profile::ProfileId>* capabilityProfileId,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::Provider::DatastoreSpaceStatistics>>& result)
      override;
  void QueryIOFiltersFromProfileId(
      Lumo::DataArray<Zel::Profile::ProfileId>* profileIds,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::ProfileToIofilterMap>>& result) override;
  void QueryIOFilterInfo(
      Lumo::Array<std::string>* kitIds,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::IofilterInfo>>& result) override;
  void QueryAssociatedEntities(
      Lumo::DataArray<Zel::Profile::ProfileId>* profiles,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>>& result) override;
  void QueryParentStoragePolicies(
      Lumo::DataArray<Zel::Profile::ProfileId>* policy,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::DataServiceToPoliciesMap>>& result) override;
  void QueryOrinPolicies(
      Lumo::DataArray<Zel::ServerObjectRef>* entities,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::QueryOrinPolicyResult>>& result) override;
  void QueryPolicySummary(
      Lumo::DataArray<Zel::Profile::ProfileId>* policy,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::PolicySummaryResult>>& result) override;
  void PreProvisionProcess(Zel::Profile::EntityAssociations* entityAssociations,
                           Kestrum::Ref<Zel::Profile::EntityAssociations>& result) override;
  void FindTargetProfileCapabilityValues(
      Lumo::DataArray<Zel::Capability::AssociatedPolicyCapabilities>* associatedPolicyCapabilities,
      Kestrum::Ref<Lumo::DataArray<Zel::Capability::AssociatedPolicyCapabilities>>& result)
      override;
  void QueryPmemPolicyInfo(
      Lumo::DataArray<Zel::Profile::ProfileId>* profileIds,
      Kestrum::Ref<Lumo::DataArray<Zel::Profile::PmemPolicyInfo>>& result) override;

 private:
  // Refuses (InvalidArgument at path) constraints that are not sub-profile
  // constraints of known capabilities with suitable values.
  void CheckConstraints(const Zel::Profile::CapabilityConstraints* constraints,
                        const std::string& path) const;

  Catalogue& _catalogue;
  ProfileState& _state;
  SessionTable& _sessions;
};

class CapabilityMetadataManagerImpl : public Served<Zel::Capability::CapabilityMetadataManager> {
 public:
  CapabilityMetadataManagerImpl(const char* id, Catalogue& catalogue);

  void RegisterCapabilityMetadata(
      Zel::Capability::Provider::CapabilityProviderInfo* info,
      Zel::Capability::Provider::CapabilityObjectMetadataInfo* capabilityMetadata) override;
  void UnregisterCapabilityMetadata(
      Zel::Capability::Provider::CapabilityProviderInfo* info) override;
  void QueryAtomFeedQsProviderIds(Kestrum::Ref<Lumo::Array<std::string>>& result) override;
  bool RemoveAllCapabilityMetadataDocuments() override;

 private:
  Catalogue& _catalogue;
};

class ComplianceManagerImpl : public Served<Zel::Compliance::ComplianceManager> {
 public:
  ComplianceManagerImpl(const char* id, ProfileState& state);

  void CheckCompliance(
      Lumo::DataArray<Zel::ServerObjectRef>* entities, Zel::Profile::ProfileId* profile,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>>& result) override;
  void FetchComplianceResult(
      Lumo::DataArray<Zel::ServerObjectRef>* entities, Zel::Profile::ProfileId* profile,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>>& result) override;

  void CheckRollupCompliance(
      Lumo::DataArray<Zel::ServerObjectRef>* entity,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>>& result) override;
  void FetchRollupComplianceResult(
      Lumo::DataArray<Zel::ServerObjectRef>* entity,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>>& result) override;
  void QueryAtomFeedQsProviderIds(Kestrum::Ref<Lumo::Array<std::string>>& result) override;
  void QueryByRollupComplianceStatus(
      const std::string& status,
      Kestrum::Ref<Lumo::DataArray<Zel::ServerObjectRef>>& result) override;
  void QueryOutOfDateEntities(Kestrum::Ref<Lumo::DataArray<Zel::ServerObjectRef>>& result) override;
  void QueryByRollupComplianceStatusEx(
      const std::string& status,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>>& result) override;
  void QueryByComplianceStatus(
      const std::string& status, Zel::Profile::ProfileId* profileId,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>>& result) override;
  void FetchEntityHealthStatus(
      Lumo::DataArray<Zel::ServerObjectRef>* entities,
      Kestrum::Ref<Lumo::DataArray<Zel::Compliance::EntityHealthStatus>>& result) override;

 private:
  ProfileState& _state;
};

class PlacementSolverImpl : public Served<Zel::Placement::PlacementSolver> {
 public:
  explicit PlacementSolverImpl(const char* id);

  void QueryMatchingHub(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch, Zel::Profile::ProfileId* profile,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::PlacementHub>>& result) override;
  void QueryMatchingHubWithSpec(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
      Zel::Profile::CapabilityBasedProfileCreateSpec* createSpec,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::PlacementHub>>& result) override;
  void CheckCompatibility(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch, Zel::Profile::ProfileId* profile,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>& result) override;
  void CheckCompatibilityWithSpec(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
      Zel::Profile::CapabilityBasedProfileCreateSpec* profileSpec,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>& result) override;
  void CheckRequirements(
      Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
      Zel::ServerObjectRef* placementSubjectRef,
      Lumo::DataArray<Zel::Placement::Requirement>* placementSubjectRequirement,
      Kestrum::Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>& result) override;
};

class ReplicationManagerImpl : public Served<Zel::Replication::ReplicationManager> {
 public:
  explicit ReplicationManagerImpl(const char* id);

  void QueryReplicationGroups(
      Lumo::DataArray<Zel::ServerObjectRef>* entities,
      Kestrum::Ref<Lumo::DataArray<Zel::Replication::QueryReplicationGroupResult>>& result)
      override;
};

// The registrations of one registry: provider records by unique id.
class ProviderTable {
 public:
  // Keeps a copy of the record. A second registration of an id is refused
  // with zel.fault.AlreadyExists.
  void Add(const std::string& uniqueId, const Lumo::Any& record);
  // zel.fault.NotFound for an unknown id.
  void Remove(const std::string& uniqueId);
  size_t Count() const;

 private:
  mutable std::mutex _mutex;
  std::map<std::string, Kestrum::Ref<Lumo::Any>> _records;
};

class ProfileProviderRegistryImpl : public Served<Zel::Profile::ProfileProviderRegistry> {
 public:
  explicit ProfileProviderRegistryImpl(const char* id);
  void RegisterProfileProvider(Zel::Profile::Provider::ProfileProviderInfo* providerInfo) override;
  void UnregisterProfileProvider(const std::string& providerUid) override;

 private:
  ProviderTable _table;
};

class ComplianceProviderRegistryImpl : public Served<Zel::Compliance::ComplianceProviderRegistry> {
 public:
  explicit ComplianceProviderRegistryImpl(const char* id);
  void RegisterComplianceProvider(
      Zel::Compliance::Provider::ComplianceProviderInfo* providerInfo) override;
  void UnregisterComplianceProvider(const std::string& uniqueId) override;

 private:
  ProviderTable _table;
};

class HubFinderRegistryImpl : public Served<Zel::Placement::HubFinderRegistry> {
 public:
  explicit HubFinderRegistryImpl(const char* id);
  void RegisterPlacementHubFinder(Zel::Placement::PlacementHubFinder::Info* finderInfo) override;
  void UnregisterPlacementHubFinder(const std::string& uniqueId) override;

 private:
  ProviderTable _table;
};

class AssociationProviderRegistryImpl
    : public Served<Zel::Association::AssociationProviderRegistry> {
 public:
  explicit AssociationProviderRegistryImpl(const char* id);
  void RegisterAssociationProvider(
      Zel::Association::Provider::AssociationProviderInfo* providerInfo) override;
  void UnregisterAssociationProvider(const std::string& uniqueId) override;

 private:
  ProviderTable _table;
};

}  // namespace ZelSample
