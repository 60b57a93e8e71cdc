// Every method the service serves, called through the wire (the codec, the
// endpoint's dispatcher and its privilege check), grouped by what it does.
#include <Hox/Vm/ProfileSpec.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Fault/NotSupported.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/Association/AssociationMetadata.h>
#include <Olyx/Zel/Capability/AssociatedPolicyCapabilities.h>
#include <Olyx/Zel/Capability/CapabilityMetadataManager.h>
#include <Olyx/Zel/Compliance/ComplianceProviderRegistry.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Compliance/EntityHealthStatus.h>
#include <Olyx/Zel/Compliance/Provider/ComplianceProviderInfo.h>
#include <Olyx/Zel/Compliance/RollupComplianceResult.h>
#include <Olyx/Zel/Fault/AlreadyExists.h>
#include <Olyx/Zel/Fault/CapabilityProfilePropertyMismatchFault.h>
#include <Olyx/Zel/Fault/LegacyHubsNotSupported.h>
#include <Olyx/Zel/Fault/NonExistentHubs.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Fault/ProfileStorageFault.h>
#include <Olyx/Zel/Placement/CapabilityProfileRequirement.h>
#include <Olyx/Zel/Placement/CapacityRequirement.h>
#include <Olyx/Zel/Placement/CompatibilityResult.h>
#include <Olyx/Zel/Placement/PlacementSolver.h>
#include <Olyx/Zel/Profile/AssociateOp.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileUpdateSpec.h>
#include <Olyx/Zel/Profile/DataServiceToPoliciesMap.h>
#include <Olyx/Zel/Profile/DefaultProfileInfo.h>
#include <Olyx/Zel/Profile/DissociateOp.h>
#include <Olyx/Zel/Profile/EntityAssociations.h>
#include <Olyx/Zel/Profile/IofilterInfo.h>
#include <Olyx/Zel/Profile/PmemPolicyInfo.h>
#include <Olyx/Zel/Profile/PolicyAssociation.h>
#include <Olyx/Zel/Profile/PolicySummaryResult.h>
#include <Olyx/Zel/Profile/ProfileToIofilterMap.h>
#include <Olyx/Zel/Profile/Provider/DatastoreSpaceStatistics.h>
#include <Olyx/Zel/Profile/QueryOrinPolicyResult.h>
#include <Olyx/Zel/Profile/QueryProfileResult.h>
#include <Olyx/Zel/Profile/ReconfigOutcome.h>
#include <Olyx/Zel/Replication/QueryReplicationGroupResult.h>
#include <Olyx/Zel/Replication/ReplicationManager.h>
#include <Olyx/Zel/ZelDebugManager.h>
#include <ZelSample/WireEndpoint.h>

#include "TestSupport.h"

namespace ZelSampleTest {
namespace {

using Zel::Compliance::ComplianceResult;
using Zel::Placement::CompatibilityResult;
using Zel::Placement::PlacementHub;
namespace Ids = ZelSample::ObjectIds;

Ref<PlacementHub> Hub(const char* id, const char* type = "datastore") {
  auto hub = MakeRef<PlacementHub>();
  hub->SetHubType(type);
  hub->SetHubId(id);
  return hub;
}

Ref<Lumo::DataArray<PlacementHub>> Hubs(std::initializer_list<const char*> ids) {
  auto hubs = MakeRef<Lumo::DataArray<PlacementHub>>();
  for (const char* id : ids) hubs->Append(Hub(id).Get());
  return hubs;
}

Ref<Lumo::DataArray<Zel::ServerObjectRef>> Entities(
    std::vector<Ref<Zel::ServerObjectRef>> entities) {
  return ArrayOf<Zel::ServerObjectRef>(std::move(entities));
}

Ref<Lumo::Array<std::string>> Strings(std::initializer_list<const char*> values) {
  auto array = MakeRef<Lumo::Array<std::string>>();
  for (const char* v : values) array->Append(v);
  return array;
}

// A logged-in client on the wire, with a stub on every object of the service.
class WireMethodsTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    endpoint = new ZelSample::WireEndpoint(*service);
    transport = new ZelSample::InProcessTransport(endpoint.Get());
    adapter = new Lumo::Wire::WireStubAdapter(transport.Get());
    instance = On<Zel::ServiceInstanceStub>("zel.ServiceInstance", Ids::kServiceInstance);
    sessions = On<Zel::Auth::SessionManagerStub>("zel.auth.SessionManager", Ids::kSessionManager);
    profiles =
        On<Zel::Profile::ProfileManagerStub>("zel.profile.ProfileManager", Ids::kProfileManager);
    compliance = On<Zel::Compliance::ComplianceManagerStub>("zel.compliance.ComplianceManager",
                                                            Ids::kComplianceManager);
    solver = On<Zel::Placement::PlacementSolverStub>("zel.placement.PlacementSolver",
                                                     Ids::kPlacementSolver);
    sessions->LoginByToken(ZelSample::MakeDelegatedToken("wire@sample.test"));
    Ref<Zel::Profile::ProfileId> id;
    profiles->Create(GoldSpec().Get(), id);
    gold = id->GetUniqueId();
  }
  void TearDown() override {
    instance.Reset();
    sessions.Reset();
    profiles.Reset();
    compliance.Reset();
    solver.Reset();
    adapter.Reset();
    transport.Reset();
    endpoint.Reset();
    ServiceTest::TearDown();
  }

  template <class S>
  Ref<S> On(const char* type, const char* id) {
    return Ref<S>(new S(RefOf(type, id).Get(), adapter.Get(), nullptr));
  }

  void Associate(const Ref<Zel::ServerObjectRef>& entity, const std::string& profile) {
    profiles->Associate(entity.Get(), Id(profile).Get(), nullptr);
  }

  Ref<ZelSample::WireEndpoint> endpoint;
  Ref<ZelSample::InProcessTransport> transport;
  Ref<Lumo::Wire::WireStubAdapter> adapter;
  Ref<Zel::ServiceInstanceStub> instance;
  Ref<Zel::Auth::SessionManagerStub> sessions;
  Ref<Zel::Profile::ProfileManagerStub> profiles;
  Ref<Zel::Compliance::ComplianceManagerStub> compliance;
  Ref<Zel::Placement::PlacementSolverStub> solver;
  std::string gold;
};

// ---- placement ----------------------------------------------------------------------------

TEST_F(WireMethodsTest, ThePlacementSolverMatchesHubsAndExplainsEveryMismatch) {
  Ref<Lumo::DataArray<PlacementHub>> matching;
  solver->QueryMatchingHub(nullptr, Id(gold).Get(), matching);
  ASSERT_EQ(matching->GetLength(), 1);
  EXPECT_EQ(matching->Get(0)->GetHubId(), "ds-fast");

  Ref<Lumo::DataArray<CompatibilityResult>> results;
  solver->CheckCompatibility(Hubs({"ds-fast", "ds-bulk", "ds-silver", "ds-none"}).Get(),
                             Id(gold).Get(), results);
  ASSERT_EQ(results->GetLength(), 4);
  EXPECT_EQ(results->Get(0)->GetPtrError(), nullptr);
  // ds-bulk: one replica, not encrypted; each explained with the values.
  const auto* errors = results->Get(1)->GetPtrError();
  ASSERT_NE(errors, nullptr);
  ASSERT_EQ(errors->GetLength(), 2);
  auto* mismatch =
      dynamic_cast<const Zel::Fault::CapabilityProfilePropertyMismatchFault*>(errors->Get(0));
  ASSERT_NE(mismatch, nullptr);
  EXPECT_EQ(mismatch->GetHub()->GetHubId(), "ds-bulk");
  EXPECT_EQ(mismatch->GetCapabilityInstanceId()->GetId(), "replicaCount");
  EXPECT_NE(mismatch->GetMsg().find("offered 1"), std::string::npos) << mismatch->GetMsg();
  // ds-silver: partly accessible and short of space, as warnings.
  const auto* warnings = results->Get(2)->GetPtrWarning();
  ASSERT_NE(warnings, nullptr);
  EXPECT_EQ(warnings->GetLength(), 2);
  EXPECT_TRUE(IsExactly<Zel::Fault::NonExistentHubs>(results->Get(3)->GetPtrError()->Get(0)));

  // The same answers for a create spec; a bad spec is refused.
  solver->QueryMatchingHubWithSpec(nullptr, GoldSpec("draft").Get(), matching);
  EXPECT_EQ(matching->GetLength(), 1);
  solver->CheckCompatibilityWithSpec(Hubs({"ds-bulk"}).Get(), GoldSpec("draft").Get(), results);
  EXPECT_EQ(results->Get(0)->GetPtrError()->GetLength(), 2);
  auto bad = Spec("bad", {Sub("s", {Capability("replicaCount", Int(9))})});
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { solver->CheckCompatibilityWithSpec(nullptr, bad.Get(), results); });
  CatchFault<Zel::Fault::NotFound::Exception>(
      [&] { solver->QueryMatchingHub(nullptr, Id("nope").Get(), matching); });

  // Requirements: the profile, and more space than ds-silver has free.
  auto byProfile = MakeRef<Zel::Placement::CapabilityProfileRequirement>();
  byProfile->SetProfileId(Id(gold).Get());
  auto space = MakeRef<Zel::Placement::CapacityRequirement>();
  space->SetCapacityInMB(Kestrum::Optional<int64_t>(300000));
  space->SetProvisioningType("thin");
  auto requirements = MakeRef<Lumo::DataArray<Zel::Placement::Requirement>>();
  requirements->Append(byProfile.Get());
  requirements->Append(space.Get());
  solver->CheckRequirements(Hubs({"ds-fast", "ds-silver"}).Get(), nullptr, requirements.Get(),
                            results);
  EXPECT_EQ(results->Get(0)->GetPtrError(), nullptr);
  const auto* silverErrors = results->Get(1)->GetPtrError();
  ASSERT_NE(silverErrors, nullptr);
  EXPECT_NE(silverErrors->Get(silverErrors->GetLength() - 1)->GetMsg().find("300000 MB are asked"),
            std::string::npos);
}

// ---- default profiles -------------------------------------------------------------------

TEST_F(WireMethodsTest, DefaultProfilesAreAssignedQueriedFoundAndReset) {
  profiles->AssignDefaultRequirementProfile(Id(gold).Get(), Hubs({"ds-fast"}).Get());
  Ref<Zel::Profile::ProfileId> byDefault;
  profiles->QueryDefaultRequirementProfile(Hub("ds-fast").Get(), byDefault);
  ASSERT_TRUE(byDefault);
  EXPECT_EQ(byDefault->GetUniqueId(), gold);
  profiles->QueryDefaultRequirementProfile(Hub("ds-bulk").Get(), byDefault);
  EXPECT_FALSE(byDefault);

  // A hub that does not meet the profile, a legacy hub, a hub that is not there.
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { profiles->AssignDefaultRequirementProfile(Id(gold).Get(), Hubs({"ds-bulk"}).Get()); });
  auto legacy = CatchFault<Zel::Fault::LegacyHubsNotSupported::Exception>([&] {
    profiles->AssignDefaultRequirementProfile(Id(gold).Get(), Hubs({"ds-legacy"}).Get());
  });
  EXPECT_EQ(static_cast<Zel::Fault::LegacyHubsNotSupported*>(legacy.Get())->GetHubs()->GetLength(),
            1);
  auto missing = CatchFault<Zel::Fault::NonExistentHubs::Exception>([&] {
    profiles->AssignDefaultRequirementProfile(Id(gold).Get(), Hubs({"ds-x", "ds-y"}).Get());
  });
  EXPECT_EQ(static_cast<Zel::Fault::NonExistentHubs*>(missing.Get())->GetHubs()->GetLength(), 2);

  Ref<Lumo::DataArray<Zel::Profile::DefaultProfileInfo>> infos;
  profiles->QueryDefaultRequirementProfiles(Hubs({"ds-fast", "ds-bulk", "ds-silver"}).Get(), infos);
  ASSERT_EQ(infos->GetLength(), 2);
  EXPECT_EQ(infos->Get(0)->GetDefaultProfile()->GetName(), "Gold");
  EXPECT_EQ(infos->Get(1)->GetDefaultProfile(), nullptr);
  EXPECT_EQ(infos->Get(1)->GetDatastores()->GetLength(), 2);

  Ref<Lumo::DataArray<Zel::Profile::Profile>> applicable;
  profiles->FindApplicableDefaultProfile(Hubs({"ds-fast"}).Get(), applicable);
  ASSERT_EQ(applicable->GetLength(), 1);
  profiles->FindApplicableDefaultProfile(Hubs({"ds-fast", "ds-bulk"}).Get(), applicable);
  EXPECT_EQ(applicable->GetLength(), 0);

  // The default of the hub an entity lives on.
  Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
  profiles->QueryDefaultCapabilityValues(Vm("vm-42").Get(), Strings({"Data"}).Get(), ids);
  ASSERT_EQ(ids->GetLength(), 1);
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { profiles->QueryDefaultCapabilityValues(nullptr, Strings({"Disk"}).Get(), ids); });

  profiles->ResetDefaultRequirementProfile(Id(gold).Get());
  profiles->QueryDefaultRequirementProfile(Hub("ds-fast").Get(), byDefault);
  EXPECT_FALSE(byDefault);
  auto koru = CatchFault<Lumo::Fault::NotSupported::Exception>(
      [&] { profiles->ResetKoruDefaultProfile(); });
  EXPECT_NE(koru->GetMsg().find("no Koru"), std::string::npos);
}

// ---- compliance ----------------------------------------------------------------------------

TEST_F(WireMethodsTest, ComplianceRollsUpPerVirtualMachineAndIsQueriedByStatus) {
  Associate(Vm("vm-42"), gold);
  Associate(Disk("vm-42:2000"), gold);
  Associate(Disk("vm-42:2001"), gold);
  Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>> rollups;
  compliance->FetchRollupComplianceResult(Entities({Vm("vm-42")}).Get(), rollups);
  EXPECT_EQ(rollups->Get(0)->GetOverallComplianceStatus(), "unknown");
  compliance->CheckRollupCompliance(Entities({Vm("vm-42"), Vm("vm-7")}).Get(), rollups);
  ASSERT_EQ(rollups->GetLength(), 2);
  const auto* vm42 = rollups->Get(0);
  EXPECT_EQ(vm42->GetResult()->GetLength(), 3);                   // the machine and its two disks
  EXPECT_EQ(vm42->GetOverallComplianceStatus(), "nonCompliant");  // vm-42:2001 on ds-bulk
  EXPECT_GT(vm42->GetOldestCheckTime().GetUtcTime(), 0);
  EXPECT_EQ(rollups->Get(1)->GetOverallComplianceStatus(), "notApplicable");
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { compliance->CheckRollupCompliance(Entities({Disk("vm-42:2000")}).Get(), rollups); });

  Ref<Lumo::DataArray<Zel::ServerObjectRef>> entities;
  compliance->QueryByRollupComplianceStatus("nonCompliant", entities);
  ASSERT_EQ(entities->GetLength(), 1);
  EXPECT_EQ(entities->Get(0)->GetKey(), "vm-42");
  compliance->QueryByRollupComplianceStatusEx("nonCompliant", rollups);
  EXPECT_EQ(rollups->GetLength(), 1);
  Ref<Lumo::DataArray<ComplianceResult>> results;
  compliance->QueryByComplianceStatus("compliant", Id(gold).Get(), results);
  EXPECT_EQ(results->GetLength(), 2);
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { compliance->QueryByComplianceStatus("fine", nullptr, results); });

  // A changed profile leaves its results out of date.
  compliance->QueryOutOfDateEntities(entities);
  EXPECT_EQ(entities->GetLength(), 0);
  auto update = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
  update->SetDescription(Kestrum::Optional<std::string>("changed"));
  profiles->Update(Id(gold).Get(), update.Get());
  compliance->QueryOutOfDateEntities(entities);
  EXPECT_EQ(entities->GetLength(), 3);
  compliance->QueryByRollupComplianceStatus("outOfDate", entities);
  EXPECT_EQ(entities->GetLength(), 1);

  Ref<Lumo::DataArray<Zel::Compliance::EntityHealthStatus>> health;
  compliance->FetchEntityHealthStatus(Entities({Vm("vm-42"), Vm("vm-8")}).Get(), health);
  ASSERT_EQ(health->GetLength(), 2);
  EXPECT_EQ(health->Get(0)->GetCompliance()->GetComplianceStatus(), "outOfDate");
  EXPECT_EQ(health->Get(1)->GetDatastoreAccessibilityStatus(), "partiallyAccessible");
  compliance->FetchEntityHealthStatus(nullptr, health);
  EXPECT_EQ(health->GetLength(), 7);  // the inventory's three machines and four disks

  Ref<Lumo::Array<std::string>> providers;
  compliance->QueryAtomFeedQsProviderIds(providers);
  EXPECT_EQ(providers->GetLength(), 5);
}

TEST_F(WireMethodsTest, ComplianceIsCheckedThroughTheRegisteredProviders) {
  auto registry = On<Zel::Compliance::ComplianceProviderRegistryStub>(
      "zel.compliance.ComplianceProviderRegistry", Ids::kComplianceProviderRegistry);
  registry->UnregisterComplianceProvider("sample-compliance-virtualMachine");
  Associate(Vm("vm-42"), gold);
  Ref<Lumo::DataArray<ComplianceResult>> results;
  compliance->CheckCompliance(Entities({Vm("vm-42")}).Get(), nullptr, results);
  EXPECT_EQ(results->Get(0)->GetComplianceStatus(), "unknown");
  EXPECT_EQ(*results->Get(0)->PeekComplianceTaskStatus(), "failed");
  EXPECT_NE(results->Get(0)->GetPtrErrorCause()->Get(0)->GetMsg().find("no compliance provider"),
            std::string::npos);
  // A registration whose provider lives elsewhere is kept but cannot be called.
  auto remote = MakeRef<Zel::Compliance::Provider::ComplianceProviderInfo>();
  remote->SetUniqueId("remote");
  remote->SetLocation("https://elsewhere.test/provider");
  remote->SetProvider(RefOf("zel.compliance.provider.ComplianceProvider", "remote-cp").Get());
  auto metadata = MakeRef<Zel::Association::AssociationMetadata>();
  metadata->SetAssociableEntityType("virtualMachine");
  metadata->SetAssociableProfileType("CapabilityBasedProfile");
  remote->SetMetadata(metadata.Get());
  registry->RegisterComplianceProvider(remote.Get());
  compliance->CheckCompliance(Entities({Vm("vm-42")}).Get(), nullptr, results);
  EXPECT_EQ(results->Get(0)->GetComplianceStatus(), "unknown");
  Ref<Lumo::Array<std::string>> ids;
  instance->QueryAtomFeedQsProviderIds("COMPLIANCE", ids);
  EXPECT_EQ(ids->GetLength(), 5);
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { instance->QueryAtomFeedQsProviderIds("SOMETHING", ids); });
}

// ---- replication, service instance, debug manager ---------------------------------------

TEST_F(WireMethodsTest, ReplicationGroupsComeFromTheInventory) {
  auto replication = On<Zel::Replication::ReplicationManagerStub>(
      "zel.replication.ReplicationManager", Ids::kReplicationManager);
  Ref<Lumo::DataArray<Zel::Replication::QueryReplicationGroupResult>> groups;
  replication->QueryReplicationGroups(
      Entities({Vm("vm-42"), Disk("vm-42:2001"), Vm("vm-nowhere")}).Get(), groups);
  ASSERT_EQ(groups->GetLength(), 3);
  EXPECT_EQ(groups->Get(0)->GetReplicationGroupId()->GetDeviceGroupId(), "rg-gold");
  EXPECT_EQ(groups->Get(1)->GetReplicationGroupId(), nullptr);
  EXPECT_EQ(groups->Get(1)->GetFault(), nullptr);
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(groups->Get(2)->GetFault()));
  replication->QueryReplicationGroups(nullptr, groups);
  EXPECT_EQ(groups->GetLength(), 4);
}

TEST_F(WireMethodsTest, TheDebugManagerKeepsTagsOnDatastores) {
  Ref<Lumo::MoRef> ref;
  instance->GetZelDebugManager(ref);
  ASSERT_TRUE(ref);
  auto debug = MakeRef<Zel::ZelDebugManagerStub>(ref.Get(), adapter.Get(), nullptr);
  debug->AddTagCategory("tier");
  CatchFault<Zel::Fault::AlreadyExists::Exception>([&] { debug->AddTagCategory("tier"); });
  debug->AddTag("hot", "tier");
  debug->AddTag("cold", "tier");
  CatchFault<Zel::Fault::NotFound::Exception>([&] { debug->AddTag("x", "nope"); });
  debug->AttachTagToDatastore("hot", "tier", "ds-fast");
  CatchFault<Zel::Fault::NotFound::Exception>(
      [&] { debug->AttachTagToDatastore("hot", "tier", "ds-none"); });
  debug->DetachTagFromDatastore("hot", "tier", "ds-fast");
  CatchFault<Zel::Fault::NotFound::Exception>(
      [&] { debug->DetachTagFromDatastore("hot", "tier", "ds-fast"); });
  // Deleting is all or nothing.
  CatchFault<Zel::Fault::NotFound::Exception>([&] {
    debug->DeleteTag(Strings({"hot", "warm"}).Get(), "tier");
  });
  debug->DeleteTag(Strings({"hot"}).Get(), "tier");
  debug->AttachTagToDatastore("cold", "tier", "ds-bulk");
  debug->DeleteCategory("tier");
  CatchFault<Zel::Fault::NotFound::Exception>([&] { debug->DeleteCategory("tier"); });

  auto metadata = On<Zel::Capability::CapabilityMetadataManagerStub>(
      "zel.capability.CapabilityMetadataManager", Ids::kCapabilityMetadataManager);
  Ref<Lumo::Array<std::string>> ids;
  metadata->QueryAtomFeedQsProviderIds(ids);
  EXPECT_EQ(ids->GetLength(), 0);
}

// ---- the profile manager's other methods --------------------------------------------------

TEST_F(WireMethodsTest, AssociationsChangeInBulkAllOrNothing) {
  auto add = MakeRef<Zel::Profile::AssociateOp>();
  add->SetEntity(Vm("vm-42").Get());
  add->SetProfile(Id(gold).Get());
  add->GetDiskEntity()->Append(Disk("vm-42:2000").Get());
  auto remove = MakeRef<Zel::Profile::DissociateOp>();
  remove->SetEntity(Vm("vm-7").Get());
  auto ops = MakeRef<Lumo::DataArray<Zel::Profile::ChangeAssociationOp>>();
  ops->Append(add.Get());
  ops->Append(remove.Get());  // vm-7 has no profile: the whole call is refused
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { profiles->ReconfigEntityAssociations(ops.Get(), nullptr); });
  Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
  profiles->QueryAssociatedProfile(Vm("vm-42").Get(), ids);
  EXPECT_EQ(ids->GetLength(), 0);

  remove->SetEntity(Vm("vm-42").Get());  // associated by the first op
  profiles->ReconfigEntityAssociations(ops.Get(), nullptr);
  profiles->QueryAssociatedProfile(Vm("vm-42").Get(), ids);
  EXPECT_EQ(ids->GetLength(), 0);
  profiles->QueryAssociatedProfile(Disk("vm-42:2000").Get(), ids);
  EXPECT_EQ(ids->GetLength(), 1);

  // Applying a machine's profile on its children takes its associated disks.
  Associate(Vm("vm-42"), gold);
  Ref<Lumo::DataArray<Zel::Profile::ReconfigOutcome>> applied;
  profiles->ApplyAssociated(Entities({Vm("vm-42")}).Get(), Kestrum::Optional<bool>(true), applied);
  ASSERT_EQ(applied->GetLength(), 2);
  EXPECT_EQ(applied->Get(1)->GetEntity()->GetKey(), "vm-42:2000");
  profiles->Dissociate(Vm("vm-42").Get(), Id(gold).Get());

  Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>> entities;
  profiles->QueryAssociatedEntities(nullptr, entities);
  ASSERT_EQ(entities->GetLength(), 1);
  EXPECT_EQ(entities->Get(0)->GetObject()->GetKey(), "vm-42:2000");
  Ref<Lumo::DataArray<Zel::Profile::QueryOrinPolicyResult>> orin;
  profiles->QueryOrinPolicies(Entities({Disk("vm-42:2000"), Vm("vm-1")}).Get(), orin);
  EXPECT_EQ(orin->Get(0)->GetPolicy()->GetName(), "Gold");
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(orin->Get(1)->GetFault()));
  Ref<Lumo::DataArray<Zel::Profile::PolicySummaryResult>> summary;
  profiles->QueryPolicySummary(nullptr, summary);
  ASSERT_EQ(summary->GetLength(), 1);
  EXPECT_EQ(summary->Get(0)->GetAssigned(), 1);
  EXPECT_EQ(summary->Get(0)->GetUnknown(), 1);
}

TEST_F(WireMethodsTest, ContentForAHubKeepsTheSubProfilesTheHubMeets) {
  Ref<Zel::Profile::Profile> content;
  profiles->RetrieveContentForHub(Id(gold).Get(), Hub("ds-fast").Get(), content);
  ASSERT_TRUE(content);
  profiles->RetrieveContentForHub(Id(gold).Get(), Hub("ds-bulk").Get(), content);
  EXPECT_FALSE(content);
  auto text = profiles->RetrieveContentAsString(Id(gold).Get(), Hub("ds-fast").Get(), nullptr);
  ASSERT_TRUE(text.IsSet());
  EXPECT_NE(text.GetValue().find("replicated"), std::string::npos);
  EXPECT_FALSE(
      profiles->RetrieveContentAsString(Id(gold).Get(), Hub("ds-bulk").Get(), nullptr).IsSet());
  auto bySpec =
      profiles->RetrieveContentAsStringBySpec(GoldSpec("draft").Get(), Hub("ds-fast").Get());
  EXPECT_NE(bySpec.GetValue().find("draft"), std::string::npos);
  CatchFault<Zel::Fault::NonExistentHubs::Exception>([&] {
    profiles->RetrieveContentForHub(Id(gold).Get(), Hub("ds-fast", "host").Get(), content);
  });
}

TEST_F(WireMethodsTest, SpaceFiltersPoliciesAndCapabilityValuesAreAnswered) {
  Ref<Lumo::DataArray<Zel::Profile::Provider::DatastoreSpaceStatistics>> space;
  profiles->QuerySpaceStatsForStorageContainer(Entity("datastore", "ds-fast").Get(),
                                               ArrayOf<Zel::Profile::ProfileId>({Id(gold)}).Get(),
                                               space);
  ASSERT_EQ(space->GetLength(), 1);
  EXPECT_EQ(space->Get(0)->GetPhysicalTotalInMB(), 2097152);
  CatchFault<Zel::Fault::NotFound::Exception>([&] {
    profiles->QuerySpaceStatsForStorageContainer(Entity("datastore", "ds-x").Get(), nullptr, space);
  });

  Ref<Lumo::DataArray<Zel::Profile::ProfileToIofilterMap>> filters;
  profiles->QueryIOFiltersFromProfileId(
      ArrayOf<Zel::Profile::ProfileId>({Id(gold), Id("nope")}).Get(), filters);
  EXPECT_EQ(filters->Get(0)->GetFault(), nullptr);
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(filters->Get(1)->GetFault()));
  Ref<Lumo::DataArray<Zel::Profile::IofilterInfo>> info;
  profiles->QueryIOFilterInfo(Strings({"sample-cache-kit"}).Get(), info);
  EXPECT_EQ(*info->Get(0)->PeekFilterType(), "CACHE");
  CatchFault<Zel::Fault::NotFound::Exception>(
      [&] { profiles->QueryIOFilterInfo(Strings({"other-kit"}).Get(), info); });

  Ref<Lumo::DataArray<Zel::Profile::DataServiceToPoliciesMap>> parents;
  profiles->QueryParentStoragePolicies(ArrayOf<Zel::Profile::ProfileId>({Id(gold)}).Get(), parents);
  EXPECT_TRUE(IsExactly<Lumo::Fault::InvalidArgument>(parents->Get(0)->GetFault()));
  Ref<Lumo::DataArray<Zel::Profile::PmemPolicyInfo>> pmem;
  profiles->QueryPmemPolicyInfo(nullptr, pmem);
  ASSERT_EQ(pmem->GetLength(), 1);
  EXPECT_FALSE(pmem->Get(0)->IsPmemPolicy());

  // The value a profile asks for a property, in the sub-profile the hub meets.
  auto asked = MakeRef<Zel::Capability::AssociatedPolicyCapabilities>();
  auto spec = MakeRef<Hox::Vm::ProfileSpec>();
  spec->SetProfileId(gold);
  asked->SetPolicySpec(spec.Get());
  asked->SetHub(Hub("ds-fast").Get());
  Ref<Lumo::DataArray<Zel::Capability::AssociatedPolicyCapabilities>> values;
  profiles->FindTargetProfileCapabilityValues(
      ArrayOf<Zel::Capability::AssociatedPolicyCapabilities>({asked}).Get(), values);
  const auto* found = values->Get(0)->GetResult()->GetPtrValues();
  ASSERT_NE(found, nullptr);
  ASSERT_EQ(found->GetLength(), 2);
  EXPECT_EQ(found->Get(0)->GetCanonicalId()->GetDistinguishedId(),
            "sample.storage.replicaCount.replicaCount");

  // Provisioning: a planned association without a policy takes the hub's default.
  profiles->AssignDefaultRequirementProfile(Id(gold).Get(), Hubs({"ds-fast"}).Get());
  auto plan = MakeRef<Zel::Profile::EntityAssociations>();
  plan->SetOperation("CREATE");
  auto one = MakeRef<Zel::Profile::PolicyAssociation>();
  one->SetEntity(Vm("vm-new").Get());
  one->SetHub(Hub("ds-fast").Get());
  one->SetDefaultPolicy(false);
  plan->GetPolicyAssociations()->Append(one.Get());
  Ref<Zel::Profile::EntityAssociations> filled;
  profiles->PreProvisionProcess(plan.Get(), filled);
  const auto* filledOne = filled->GetPolicyAssociations()->Get(0);
  ASSERT_NE(filledOne->GetPolicySpec(), nullptr);
  EXPECT_EQ(filledOne->GetPolicySpec()->GetProfileId(), gold);
  EXPECT_TRUE(filledOne->IsDefaultPolicy());
}

TEST_F(WireMethodsTest, TheErrorModeFailsAMethodOnPurposeUntilTurnedOff) {
  profiles->ConfigureErrorMode(true,
                               Kestrum::Optional<std::string>("zel.profile.ProfileManager.create"),
                               Kestrum::Optional<std::string>("zel.fault.ProfileStorageFault"));
  Ref<Zel::Profile::ProfileId> id;
  CatchFault<Zel::Fault::ProfileStorageFault::Exception>(
      [&] { profiles->Create(GoldSpec("Other").Get(), id); });
  CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] {
    profiles->ConfigureErrorMode(true, Kestrum::Optional<std::string>("zel.profile.Nothing.x"),
                                 Kestrum::Optional<std::string>());
  });
  CatchFault<Lumo::Fault::NotSupported::Exception>([&] {
    profiles->ConfigureErrorMode(
        true, Kestrum::Optional<std::string>("zel.profile.ProfileManager.configureErrorMode"),
        Kestrum::Optional<std::string>());
  });
  profiles->ConfigureErrorMode(false, Kestrum::Optional<std::string>(),
                               Kestrum::Optional<std::string>());
  profiles->Create(GoldSpec("Other").Get(), id);
}

TEST_F(WireMethodsTest, TheErrorModeTakesAMethodByItsShortNames) {
  using Name = Kestrum::Optional<std::string>;
  Ref<Zel::Profile::ProfileId> id;
  for (const char* name : {"create", "ProfileManager.create"}) {
    SCOPED_TRACE(name);
    profiles->ConfigureErrorMode(true, Name(name), Name("zel.fault.ProfileStorageFault"));
    CatchFault<Zel::Fault::ProfileStorageFault::Exception>(
        [&] { profiles->Create(GoldSpec("Other").Get(), id); });
    // Turned off by the same short name.
    profiles->ConfigureErrorMode(false, Name(name), Name());
    profiles->Create(GoldSpec(std::string("Other ") + name).Get(), id);
  }
  // A name several types have is refused with the full names to choose from.
  Ref<Lumo::MethodFault> fault = CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { profiles->ConfigureErrorMode(true, Name("retrieveContent"), Name()); });
  ASSERT_NE(fault, nullptr);
  EXPECT_NE(fault->GetMsg().find("zel.ServiceInstance.retrieveContent"), std::string::npos)
      << fault->GetMsg();
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { profiles->ConfigureErrorMode(true, Name("noSuchMethod"), Name()); });
}

}  // namespace
}  // namespace ZelSampleTest
