// The managed objects of the sample service and the state they share.
#pragma once

#include <Lumo/BindingSupport.h>
#include <Olyx/Zel/Association/AssociationProviderRegistry.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Capability/CapabilityMetadataManager.h>
#include <Olyx/Zel/Compliance/ComplianceManager.h>
#include <Olyx/Zel/Compliance/ComplianceProviderRegistry.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Placement/CompatibilityResult.h>
#include <Olyx/Zel/Placement/HubFinderRegistry.h>
#include <Olyx/Zel/Placement/PlacementHub.h>
#include <Olyx/Zel/Placement/PlacementSolver.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ProfileProviderRegistry.h>
#include <Olyx/Zel/Replication/ReplicationManager.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <Olyx/Zel/ZelDebugManager.h>
#include <ZelSample/Inventory.h>
#include <ZelSample/IssuerKeys.h>
#include <ZelSample/Sessions.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "domain/Catalogue.h"
#include "store/Quotas.h"
#include "store/State.h"
#include "Support.h"

namespace ZelSample {

// The registrations of one registry: provider records by unique id, in the
// order of their registration.
class ProviderTable {
 public:
  static constexpr size_t kMaxRegistrations = 256;

  // Keeps a copy of the record. A second registration of an id is refused
  // with zel.fault.AlreadyExists, one past kMaxRegistrations with
  // olyx.fault.InvalidArgument.
  void Add(const std::string& uniqueId, const Lumo::Any& record);
  // zel.fault.NotFound for an unknown id.
  void Remove(const std::string& uniqueId);
  size_t Count() const;
  std::vector<std::string> Ids() const;
  std::vector<Kestrum::Ref<Lumo::Any>> Records() const;

 private:
  mutable std::mutex _mutex;
  std::vector<std::pair<std::string, Kestrum::Ref<Lumo::Any>>> _records;
};

// The provider registrations of the four registries, and the providers
// that live in this process: the service can call a registered provider
// only when its reference names one of those.
class ProviderDirectory {
 public:
  ProviderTable profiles;
  ProviderTable compliance;
  ProviderTable hubFinders;
  ProviderTable associations;

  // Filled at start, then only read.
  void AddLocal(Lumo::ManagedObject* provider, Kestrum::Ref<Kestrum::Object> owner);
  Lumo::ManagedObject* FindLocal(const Lumo::MoRef* ref) const;

 private:
  std::map<std::string, std::pair<Lumo::ManagedObject*, Kestrum::Ref<Kestrum::Object>>> _local;
};

// Methods failed on purpose (configureErrorMode): qualified method name to
// the wire name of the fault raised.
class ErrorMode {
 public:
  void Set(const std::string& method, const std::string& fault);
  void Clear(const std::string& method);
  void ClearAll();
  // Throws the configured fault when the method is to fail.
  void Check(const Lumo::ManagedMethod& method) const;

 private:
  mutable std::mutex _mutex;
  std::map<std::string, std::string> _failing;
};

// What the managers share.
struct ServiceCore {
  const Inventory& inventory;
  Catalogue& catalogue;
  ProfileState& state;
  SessionTable& sessions;
  QuotaTable& quotas;
  ProviderDirectory& providers;
  ErrorMode& errorMode;
};

// ---- helpers shared by the managers ------------------------------------------------

// The key of an entity: its type, key and server, as one string.
std::string EntityKey(const Zel::ServerObjectRef& entity);
// Refuses (InvalidArgument at path) a missing entity, an unknown object type
// or an empty key.
void CheckEntity(const Zel::ServerObjectRef* entity, const std::string& path);
// Refuses (InvalidArgument) a missing or empty list, a list longer than a
// call may name, and any entity CheckEntity refuses.
void CheckEntities(const Lumo::DataArray<Zel::ServerObjectRef>* entities, const std::string& path,
                   const QuotaTable& quotas, bool mayBeEmpty = false);
// The user of the current call's session; "anonymous" without one.
std::string CurrentUser(SessionTable& sessions);
// The session id of the current call; empty without one.
std::string CurrentSession();
std::string Indexed(const std::string& path, int index);
Kestrum::Ref<Zel::Profile::ProfileId> MakeId(const std::string& uniqueId);

// Commits a call's changes: refuses (with `refuse`) additions past a quota,
// turns a store failure into zel.fault.ProfileStorageFault, and counts the
// additions against the call's session. The caller holds the state's mutex.
void CommitChanges(ServiceCore& core, const ChangeSet& changes, const QuotaUse& adds,
                   void (*refuse)(const std::string& message));

// The hub of the inventory a placement hub names; null when there is none of
// that id and type.
const InventoryHub* FindHub(const Inventory& inventory, const Zel::Placement::PlacementHub& hub);
// The inventory hubs a list names, in its order. Refuses a missing entry
// (InvalidArgument), hubs the inventory lacks (zel.fault.NonExistentHubs,
// carrying them all) and, with refuseLegacy, legacy hubs
// (zel.fault.LegacyHubsNotSupported).
std::vector<const InventoryHub*> RequireHubs(
    const Inventory& inventory, const Lumo::DataArray<Zel::Placement::PlacementHub>* hubs,
    const std::string& path, bool refuseLegacy);
Kestrum::Ref<Zel::Placement::PlacementHub> MakeHub(const InventoryHub& hub);

// A profile's compliance for one entity, from the hub the inventory puts the
// entity on; "unknown" with an error cause when it puts it on none.
Kestrum::Ref<Zel::Compliance::ComplianceResult> ComputeCompliance(
    const Inventory& inventory, const Zel::ServerObjectRef& entity,
    const Zel::Profile::CapabilityBasedProfile& profile);

// Refuses (InvalidArgument at path) constraints that are not sub-profile
// constraints of known capabilities with suitable values.
void CheckConstraints(const Catalogue& catalogue,
                      const Zel::Profile::CapabilityConstraints* constraints,
                      const std::string& path);

// How a hub fits constraints: an error for each capability that the closest
// sub-profile asks and the hub lacks, an error for a hub that is not
// accessible, warnings for one partly accessible, legacy or short of space.
Kestrum::Ref<Zel::Placement::CompatibilityResult> Compatibility(
    const InventoryHub& hub, const Zel::Profile::CapabilityConstraints* constraints);
// The compatibility of each hub asked (every hub of the inventory when none
// is), through the hub finder registered for its type.
Kestrum::Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>> CompatibilityThroughFinders(
    ServiceCore& core, const Lumo::DataArray<Zel::Placement::PlacementHub>* hubsToSearch,
    const Zel::Profile::ProfileId* profile,
    const Zel::Profile::CapabilityBasedProfileCreateSpec* spec);

// Checks entities (checked by the caller) against the given profile or their
// associated ones through the compliance providers, and stores the results.
Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> CheckComplianceOf(
    ServiceCore& core, const Lumo::DataArray<Zel::ServerObjectRef>& entities,
    const Zel::Profile::ProfileId* profile);
// The stored results of entities, as CheckComplianceOf would have answered.
Kestrum::Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> FetchComplianceOf(
    ServiceCore& core, const Lumo::DataArray<Zel::ServerObjectRef>& entities,
    const Zel::Profile::ProfileId* profile);
// The stored result of an entity for a profile (its associated one when
// null): notApplicable without a profile, unknown when never checked,
// outOfDate when the profile changed since. The caller holds the mutex.
Kestrum::Ref<Zel::Compliance::ComplianceResult> StoredCompliance(const ProfileState& state,
                                                                 const Zel::ServerObjectRef& entity,
                                                                 const std::string* profileId);

// Calls a method of a provider, by its wire name, through its type record's
// invokeByIndex; the arguments are packed as stubs pack them.
Kestrum::Ref<Lumo::Any> CallProvider(Lumo::ManagedObject* provider, const char* method,
                                     std::vector<Kestrum::Ref<Lumo::Any>> args);
// The answer of a provider, as the declared class of the method's result.
template <class T>
Kestrum::Ref<T> ProviderAnswer(Lumo::ManagedObject* provider, const char* method,
                               std::vector<Kestrum::Ref<Lumo::Any>> args) {
  Kestrum::Ref<Lumo::Any> answer = CallProvider(provider, method, std::move(args));
  if (!answer) return Kestrum::Ref<T>(new T);
  return Kestrum::Ref<T>(Lumo::Binding::CheckedCast<T>(answer.Get()));
}
// The first registered provider, in the order of registration, that lives in
// this process and serves what is asked; null when none does.
Lumo::ManagedObject* ComplianceProviderFor(ServiceCore& core, const std::string& entityType);
Lumo::ManagedObject* HubFinderFor(ServiceCore& core, const std::string& hubType);
Lumo::ManagedObject* AnyAssociationProvider(ServiceCore& core);
Lumo::ManagedObject* AnyProfileProvider(ServiceCore& core);

class ServiceInstanceImpl : public Served<Zel::ServiceInstance> {
 public:
  ServiceInstanceImpl(const char* id, Zel::ServiceInstanceContent* content, ServiceCore& core,
                      Lumo::MoRef* debugManager);

  void GetContent(Kestrum::Ref<Zel::ServiceInstanceContent>& result) override;
  void RetrieveContent(Kestrum::Ref<Zel::ServiceInstanceContent>& result) override;
  void QueryAtomFeedQsProviderIds(const std::string& providerType,
                                  Kestrum::Ref<Lumo::Array<std::string>>& result) override;
  void GetZelDebugManager(Kestrum::Ref<Lumo::MoRef>& result) override;

 private:
  const Kestrum::Ref<Zel::ServiceInstanceContent> _content;  // never changed
  ServiceCore& _core;
  const Kestrum::Ref<Lumo::MoRef> _debugManager;
};

class SessionManagerImpl : public Served<Zel::Auth::SessionManager> {
 public:
  SessionManagerImpl(const char* id, SessionTable& sessions, QuotaTable& quotas,
                     std::shared_ptr<const TrustedIssuers> trusted);

  void LoginByToken(const std::string& delegatedTokenXml) override;
  void Logout() override;

 private:
  SessionTable& _sessions;
  QuotaTable& _quotas;
  std::shared_ptr<const TrustedIssuers> _trusted;
};

class ProfileManagerImpl : public Served<Zel::Profile::ProfileManager> {
 public:
  ProfileManagerImpl(const char* id, ServiceCore& core);

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
  ServiceCore& _core;
  Catalogue& _catalogue;
  ProfileState& _state;
  SessionTable& _sessions;
};

class CapabilityMetadataManagerImpl : public Served<Zel::Capability::CapabilityMetadataManager> {
 public:
  CapabilityMetadataManagerImpl(const char* id, ServiceCore& core);

  void RegisterCapabilityMetadata(
      Zel::Capability::Provider::CapabilityProviderInfo* info,
      Zel::Capability::Provider::CapabilityObjectMetadataInfo* capabilityMetadata) override;
  void UnregisterCapabilityMetadata(
      Zel::Capability::Provider::CapabilityProviderInfo* info) override;
  void QueryAtomFeedQsProviderIds(Kestrum::Ref<Lumo::Array<std::string>>& result) override;
  bool RemoveAllCapabilityMetadataDocuments() override;

 private:
  ServiceCore& _core;
  Catalogue& _catalogue;
};

class ComplianceManagerImpl : public Served<Zel::Compliance::ComplianceManager> {
 public:
  ComplianceManagerImpl(const char* id, ServiceCore& core);

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
  ServiceCore& _core;
  ProfileState& _state;
};

class PlacementSolverImpl : public Served<Zel::Placement::PlacementSolver> {
 public:
  PlacementSolverImpl(const char* id, ServiceCore& core);

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

 private:
  ServiceCore& _core;
};

class ReplicationManagerImpl : public Served<Zel::Replication::ReplicationManager> {
 public:
  ReplicationManagerImpl(const char* id, ServiceCore& core);

  void QueryReplicationGroups(
      Lumo::DataArray<Zel::ServerObjectRef>* entities,
      Kestrum::Ref<Lumo::DataArray<Zel::Replication::QueryReplicationGroupResult>>& result)
      override;

 private:
  ServiceCore& _core;
};

class ProfileProviderRegistryImpl : public Served<Zel::Profile::ProfileProviderRegistry> {
 public:
  ProfileProviderRegistryImpl(const char* id, ProviderTable& table);
  void RegisterProfileProvider(Zel::Profile::Provider::ProfileProviderInfo* providerInfo) override;
  void UnregisterProfileProvider(const std::string& providerUid) override;

 private:
  ProviderTable& _table;
};

class ComplianceProviderRegistryImpl : public Served<Zel::Compliance::ComplianceProviderRegistry> {
 public:
  ComplianceProviderRegistryImpl(const char* id, ProviderTable& table);
  void RegisterComplianceProvider(
      Zel::Compliance::Provider::ComplianceProviderInfo* providerInfo) override;
  void UnregisterComplianceProvider(const std::string& uniqueId) override;

 private:
  ProviderTable& _table;
};

class HubFinderRegistryImpl : public Served<Zel::Placement::HubFinderRegistry> {
 public:
  HubFinderRegistryImpl(const char* id, ProviderTable& table);
  void RegisterPlacementHubFinder(Zel::Placement::PlacementHubFinder::Info* finderInfo) override;
  void UnregisterPlacementHubFinder(const std::string& uniqueId) override;

 private:
  ProviderTable& _table;
};

class AssociationProviderRegistryImpl
    : public Served<Zel::Association::AssociationProviderRegistry> {
 public:
  AssociationProviderRegistryImpl(const char* id, ProviderTable& table);
  void RegisterAssociationProvider(
      Zel::Association::Provider::AssociationProviderInfo* providerInfo) override;
  void UnregisterAssociationProvider(const std::string& uniqueId) override;

 private:
  ProviderTable& _table;
};

class DebugManagerImpl : public Served<Zel::ZelDebugManager> {
 public:
  DebugManagerImpl(const char* id, const Inventory& inventory);

  void AddTag(const std::string& tag, const std::string& tagCategory) override;
  void AttachTagToDatastore(const std::string& tagName, const std::string& tagCategory,
                            const std::string& datastoreMoId) override;
  void DetachTagFromDatastore(const std::string& tagName, const std::string& tagCategory,
                              const std::string& datastoreMoId) override;
  void AddTagCategory(const std::string& categoryName) override;
  void DeleteTag(Lumo::Array<std::string>* tagName, const std::string& tagCategory) override;
  void DeleteCategory(const std::string& category) override;

 private:
  static constexpr size_t kMaxTags = 10000;
  const Inventory& _inventory;
  std::mutex _mutex;
  // Category to its tags, each tag to the datastores it is attached to.
  std::map<std::string, std::map<std::string, std::set<std::string>>> _categories;
  size_t _tagCount = 0;
};

// Registers the sample providers (compliance, hub finder, association and
// profile providers, all in this process) with the registries of the
// directory, and keeps them alive in it.
void RegisterSampleProviders(ServiceCore& core);

}  // namespace ZelSample
