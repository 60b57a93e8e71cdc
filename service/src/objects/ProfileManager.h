// zel.profile.ProfileManager: the capability catalogue, the profiles, their
// associations and the default profiles of hubs. Its methods are in
// ProfileManager.cpp, ProfileManagerQueries.cpp and ProfileManagerDefaults.cpp.
#pragma once

#include <Kestrum/Optional.h>
#include <Kestrum/Ref.h>
#include <Olyx/Zel/Profile/ProfileManager.h>

#include <string>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class ProfileManagerImpl : public Served<Zel::Profile::ProfileManager> {
 public:
  ProfileManagerImpl(const char* id, ServiceCore& core);

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
  GuardedState& _state;
  SessionTable& _sessions;
};

}  // namespace ZelSample
