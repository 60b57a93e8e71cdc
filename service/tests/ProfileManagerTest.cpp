// The profile manager: catalogue, profile lifecycle and associations.
#include <Hox/Vm/Replication/ReplicationSpec.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Fault/NotSupported.h>
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectMetadataPerCategory.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectSchema.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Profile/ApplyProfileOutcome.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileUpdateSpec.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <Olyx/Zel/Profile/QueryProfileResult.h>
#include <Olyx/Zel/Profile/ReconfigOutcome.h>

#include <functional>

#include "TestSupport.h"

namespace ZelSampleTest {
namespace {

using Zel::Profile::CapabilityBasedProfile;
using Zel::Profile::ProfileId;

class ProfileManagerTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    client->Login();
  }

  Ref<CapabilityBasedProfile> Retrieve(const std::string& id) {
    Ref<Lumo::DataArray<Zel::Profile::Profile>> profiles;
    client->profiles->RetrieveContent(ArrayOf<ProfileId>({Id(id)}).Get(), profiles);
    EXPECT_EQ(profiles->GetLength(), 1);
    return Ref<CapabilityBasedProfile>(dynamic_cast<CapabilityBasedProfile*>(profiles->Get(0)));
  }

  std::vector<std::string> Query(const Kestrum::Optional<std::string>& category = {}) {
    Ref<Lumo::DataArray<ProfileId>> ids;
    client->profiles->QueryProfile(Storage().Get(), category, ids);
    std::vector<std::string> all;
    for (int i = 0; i < ids->GetLength(); ++i) all.push_back(ids->Get(i)->GetUniqueId());
    return all;
  }

  std::vector<std::string> AssociatedWith(const Ref<Zel::ServerObjectRef>& entity) {
    Ref<Lumo::DataArray<ProfileId>> ids;
    client->profiles->QueryAssociatedProfile(entity.Get(), ids);
    std::vector<std::string> all;
    for (int i = 0; i < ids->GetLength(); ++i) all.push_back(ids->Get(i)->GetUniqueId());
    return all;
  }
};

// ---- catalogue ------------------------------------------------------------------------------

TEST_F(ProfileManagerTest, TheCatalogueHasOneResourceTypeVendorAndFourCapabilities) {
  Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
  client->profiles->FetchResourceType(types);
  ASSERT_EQ(types->GetLength(), 1);
  EXPECT_EQ(types->Get(0)->GetResourceType(), "STORAGE");

  Ref<Lumo::DataArray<Zel::Capability::Provider::CapabilityObjectSchema::VendorResourceTypeInfo>>
      vendors;
  client->profiles->FetchVendorInfo(nullptr, vendors);
  ASSERT_EQ(vendors->GetLength(), 1);
  ASSERT_EQ(vendors->Get(0)->GetVendorNamespaceInfo()->GetLength(), 1);
  EXPECT_EQ(vendors->Get(0)->GetVendorNamespaceInfo()->Get(0)->GetNamespaceInfo()->GetNamespace(),
            "sample.storage");

  Ref<Lumo::DataArray<Zel::Capability::Provider::CapabilityObjectMetadataPerCategory>> metadata;
  client->profiles->FetchCapabilityMetadata(Storage().Get(), Kestrum::Optional<std::string>(),
                                            metadata);
  std::vector<std::string> seen;
  for (int c = 0; c < metadata->GetLength(); ++c) {
    const auto* list = metadata->Get(c)->GetCapabilityMetadata();
    for (int i = 0; i < list->GetLength(); ++i) {
      seen.push_back(metadata->Get(c)->GetSubCategory() + "/" + list->Get(i)->GetId()->GetId());
      EXPECT_EQ(list->Get(i)->GetPropertyMetadata()->GetLength(), 1);
    }
  }
  EXPECT_EQ(seen,
            (std::vector<std::string>{"availability/replicaCount", "availability/snapshotInterval",
                                      "security/encryption", "performance/performanceTier",
                                      "performance/stripeWidth"}));

  // Narrowed to another vendor or resource type, nothing is left.
  client->profiles->FetchCapabilityMetadata(
      nullptr, Kestrum::Optional<std::string>(std::string("other-vendor")), metadata);
  EXPECT_EQ(metadata->GetLength(), 0);
  auto other = MakeRef<Zel::Profile::ResourceType>();
  other->SetResourceType("NETWORK");
  client->profiles->FetchVendorInfo(other.Get(), vendors);
  EXPECT_EQ(vendors->GetLength(), 0);
}

// ---- create -------------------------------------------------------------------------------

TEST_F(ProfileManagerTest, CreateStoresTheProfileAsSpecified) {
  auto spec = GoldSpec();
  spec->SetDescription(Kestrum::Optional<std::string>(std::string("replicated or fast")));
  std::string id = Create(spec);
  EXPECT_EQ(id.size(), 36u);
  Ref<CapabilityBasedProfile> profile = Retrieve(id);
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->GetProfileId()->GetUniqueId(), id);
  EXPECT_EQ(profile->GetName(), "Gold");
  EXPECT_EQ(*profile->PeekDescription(), "replicated or fast");
  EXPECT_EQ(profile->GetProfileCategory(), "REQUIREMENT");
  EXPECT_EQ(profile->GetResourceType()->GetResourceType(), "STORAGE");
  EXPECT_TRUE(profile->GetConstraints()->_IsEqual(spec->GetConstraints()));
  EXPECT_EQ(*profile->PeekGenerationId(), 0);
  EXPECT_FALSE(profile->IsIsDefault());
  EXPECT_EQ(profile->GetCreationTime(), profile->GetLastUpdatedTime());
}

TEST_F(ProfileManagerTest, ANameInUseIsRefusedWithDuplicateName) {
  Create(GoldSpec());
  auto fault = CatchFault<Zel::Fault::DuplicateName::Exception>([&] { Create(GoldSpec()); });
  ASSERT_TRUE(IsExactly<Zel::Fault::DuplicateName>(fault.Get()));
  EXPECT_EQ(static_cast<Zel::Fault::DuplicateName*>(fault.Get())->GetName(), "Gold");
  EXPECT_EQ(Query().size(), 1u);
}

struct BadSpec {
  const char* name;
  std::function<void(Zel::Profile::CapabilityBasedProfileCreateSpec&)> spoil;
  const char* invalidProperty;
};

class BadSpecTest : public ProfileManagerTest, public ::testing::WithParamInterface<BadSpec> {};

TEST_P(BadSpecTest, IsRefusedWithInvalidArgumentNamingThePlace) {
  auto spec = GoldSpec("Spoilt");
  GetParam().spoil(*spec);
  auto fault = CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] { Create(spec); });
  ASSERT_TRUE(IsExactly<Lumo::Fault::InvalidArgument>(fault.Get()));
  const std::string* property =
      static_cast<Lumo::Fault::InvalidArgument*>(fault.Get())->PeekInvalidProperty();
  ASSERT_NE(property, nullptr);
  EXPECT_EQ(*property, GetParam().invalidProperty) << fault->GetMsg();
  EXPECT_FALSE(fault->GetMsg().empty());
  EXPECT_TRUE(Query().empty());
}

using Spec_ = Zel::Profile::CapabilityBasedProfileCreateSpec;
auto FirstCapability(Spec_& spec, int sub = 0, int cap = 0) {
  auto* constraints =
      static_cast<Zel::Profile::SubProfileCapabilityConstraints*>(spec.GetConstraints());
  return constraints->GetSubProfiles()->Get(sub)->GetCapability()->Get(cap);
}
auto FirstProperty(Spec_& spec, int sub = 0, int cap = 0) {
  return FirstCapability(spec, sub, cap)->GetConstraint()->Get(0)->GetPropertyInstance()->Get(0);
}
const char* const kSub0Cap0 = "createSpec.constraints.subProfiles[0].capability[0]";

INSTANTIATE_TEST_SUITE_P(
    Table, BadSpecTest,
    ::testing::Values(
        BadSpec{"EmptyName", [](Spec_& s) { s.SetName("  "); }, "createSpec.name"},
        BadSpec{"LongName", [](Spec_& s) { s.SetName(std::string(300, 'n')); }, "createSpec.name"},
        BadSpec{"OtherResourceType",
                [](Spec_& s) { s.GetResourceType()->SetResourceType("NETWORK"); },
                "createSpec.resourceType"},
        BadSpec{"UnknownCategory",
                [](Spec_& s) { s.SetCategory(Kestrum::Optional<std::string>("SOMETHING")); },
                "createSpec.category"},
        BadSpec{"PlainConstraints",
                [](Spec_& s) { s.SetConstraints(new Zel::Profile::CapabilityConstraints); },
                "createSpec.constraints"},
        BadSpec{"NoSubProfile", [](Spec_& s) { s.SetConstraints(Constraints({}).Get()); },
                "createSpec.constraints"},
        BadSpec{"TwinSubProfiles",
                [](Spec_& s) {
                  s.SetConstraints(Constraints({Sub("a", {Capability("encryption", Bool(true))}),
                                                Sub("a", {Capability("encryption", Bool(true))})})
                                       .Get());
                },
                "createSpec.constraints.subProfiles[1].name"},
        BadSpec{"EmptySubProfile",
                [](Spec_& s) { s.SetConstraints(Constraints({Sub("a", {})}).Get()); },
                "createSpec.constraints.subProfiles[0].capability"},
        BadSpec{"UnknownCapability",
                [](Spec_& s) { FirstCapability(s)->GetId()->SetId("teleport"); },
                "createSpec.constraints.subProfiles[0].capability[0].id"},
        BadSpec{"UnknownNamespace",
                [](Spec_& s) { FirstCapability(s)->GetId()->SetNamespace("elsewhere"); },
                "createSpec.constraints.subProfiles[0].capability[0].id"},
        BadSpec{"SameCapabilityTwice",
                [](Spec_& s) {
                  s.SetConstraints(Constraints({Sub("a", {Capability("encryption", Bool(true)),
                                                          Capability("encryption", Bool(false))})})
                                       .Get());
                },
                "createSpec.constraints.subProfiles[0].capability[1].id"},
        BadSpec{"NoConstraint", [](Spec_& s) { FirstCapability(s)->GetConstraint()->Clear(); },
                "createSpec.constraints.subProfiles[0].capability[0].constraint"},
        BadSpec{"UnknownProperty", [](Spec_& s) { FirstProperty(s)->SetId("speed"); },
                "createSpec.constraints.subProfiles[0].capability[0].constraint[0]."
                "propertyInstance[0].id"},
        BadSpec{"UnknownOperator",
                [](Spec_& s) {
                  FirstProperty(s)->SetOperator(Kestrum::Optional<std::string>("MAYBE"));
                },
                "createSpec.constraints.subProfiles[0].capability[0].constraint[0]."
                "propertyInstance[0].operator"},
        BadSpec{"TextForAnInteger", [](Spec_& s) { FirstProperty(s)->SetValue(Text("two").Get()); },
                "createSpec.constraints.subProfiles[0].capability[0].constraint[0]."
                "propertyInstance[0].value"},
        BadSpec{"IntegerOutOfRange", [](Spec_& s) { FirstProperty(s)->SetValue(Int(9).Get()); },
                "createSpec.constraints.subProfiles[0].capability[0].constraint[0]."
                "propertyInstance[0].value"},
        BadSpec{"IntegerForABoolean",
                [](Spec_& s) { FirstProperty(s, 0, 1)->SetValue(Int(1).Get()); },
                "createSpec.constraints.subProfiles[0].capability[1].constraint[0]."
                "propertyInstance[0].value"},
        BadSpec{"TierNotInTheList",
                [](Spec_& s) { FirstProperty(s, 1, 0)->SetValue(TextSet({"platinum"}).Get()); },
                "createSpec.constraints.subProfiles[1].capability[0].constraint[0]."
                "propertyInstance[0].value"},
        BadSpec{"EmptyRange",
                [](Spec_& s) { FirstProperty(s, 1, 1)->SetValue(IntRange(8, 2).Get()); },
                "createSpec.constraints.subProfiles[1].capability[1].constraint[0]."
                "propertyInstance[0].value"}),
    [](const ::testing::TestParamInfo<BadSpec>& info) { return std::string(info.param.name); });

// ---- update, delete, query, retrieve
// -------------------------------------------------------------

TEST_F(ProfileManagerTest, UpdateChangesWhatTheSpecificationGivesAndCountsGenerations) {
  std::string id = Create(GoldSpec());
  auto update = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
  update->SetName(Kestrum::Optional<std::string>("Platinum"));
  client->profiles->Update(Id(id).Get(), update.Get());
  auto profile = Retrieve(id);
  EXPECT_EQ(profile->GetName(), "Platinum");
  EXPECT_EQ(*profile->PeekGenerationId(), 1);
  EXPECT_TRUE(profile->GetConstraints()->_IsEqual(GoldSpec()->GetConstraints()));

  update = new Zel::Profile::CapabilityBasedProfileUpdateSpec;
  auto constraints = Constraints({Sub("only", {Capability("encryption", Bool(true))})});
  update->SetConstraints(constraints.Get());
  client->profiles->Update(Id(id).Get(), update.Get());
  profile = Retrieve(id);
  EXPECT_EQ(profile->GetName(), "Platinum");
  EXPECT_TRUE(profile->GetConstraints()->_IsEqual(constraints.Get()));
  EXPECT_EQ(*profile->PeekGenerationId(), 2);
}

TEST_F(ProfileManagerTest, UpdateRefusesUnknownProfilesTakenNamesAndBadConstraints) {
  std::string gold = Create(GoldSpec());
  Create(GoldSpec("Silver"));
  auto update = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
  update->SetName(Kestrum::Optional<std::string>("Silver"));
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client->profiles->Update(Id(gold).Get(), update.Get()); });
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client->profiles->Update(Id("no-such-id").Get(), update.Get()); });
  auto empty = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client->profiles->Update(Id(gold).Get(), empty.Get()); });
  auto bad = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
  bad->SetConstraints(Constraints({Sub("a", {Capability("encryption", Int(3))})}).Get());
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client->profiles->Update(Id(gold).Get(), bad.Get()); });
  EXPECT_EQ(Retrieve(gold)->GetName(), "Gold");
  EXPECT_EQ(*Retrieve(gold)->PeekGenerationId(), 0);
}

TEST_F(ProfileManagerTest, DeleteAnswersOneOutcomePerProfileWithNotFoundInside) {
  std::string a = Create(GoldSpec("A"));
  std::string b = Create(GoldSpec("B"));
  client->profiles->Associate(Vm("vm-1").Get(), Id(a).Get(), nullptr);
  Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
  client->profiles->Delete(ArrayOf<ProfileId>({Id(a), Id("missing"), Id(a)}).Get(), outcomes);
  ASSERT_EQ(outcomes->GetLength(), 3);
  EXPECT_EQ(outcomes->Get(0)->GetProfileId()->GetUniqueId(), a);
  EXPECT_EQ(outcomes->Get(0)->GetFault(), nullptr);
  EXPECT_EQ(outcomes->Get(1)->GetProfileId()->GetUniqueId(), "missing");
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(outcomes->Get(1)->GetFault()));
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(outcomes->Get(2)->GetFault()));
  EXPECT_EQ(Query(), std::vector<std::string>{b});
  EXPECT_TRUE(AssociatedWith(Vm("vm-1")).empty());
}

TEST_F(ProfileManagerTest, QueryListsProfilesInCreationOrderAndByCategory) {
  std::string first = Create(GoldSpec("First"));
  auto spec = GoldSpec("Second");
  spec->SetCategory(Kestrum::Optional<std::string>("RESOURCE"));
  std::string second = Create(spec);
  std::string third = Create(GoldSpec("Third"));
  EXPECT_EQ(Query(), (std::vector<std::string>{first, second, third}));
  EXPECT_EQ(Query(Kestrum::Optional<std::string>("RESOURCE")), std::vector<std::string>{second});
  EXPECT_EQ(Query(Kestrum::Optional<std::string>("REQUIREMENT")),
            (std::vector<std::string>{first, third}));
  Ref<Lumo::DataArray<ProfileId>> ids;
  auto other = MakeRef<Zel::Profile::ResourceType>();
  other->SetResourceType("NETWORK");
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client->profiles->QueryProfile(other.Get(), Kestrum::Optional<std::string>(), ids); });
}

TEST_F(ProfileManagerTest, RetrieveContentKeepsTheOrderAskedAndRefusesUnknownIds) {
  std::string a = Create(GoldSpec("A"));
  std::string b = Create(GoldSpec("B"));
  Ref<Lumo::DataArray<Zel::Profile::Profile>> profiles;
  client->profiles->RetrieveContent(ArrayOf<ProfileId>({Id(b), Id(a)}).Get(), profiles);
  ASSERT_EQ(profiles->GetLength(), 2);
  EXPECT_EQ(profiles->Get(0)->GetName(), "B");
  EXPECT_EQ(profiles->Get(1)->GetName(), "A");
  auto fault = CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] {
    client->profiles->RetrieveContent(ArrayOf<ProfileId>({Id(a), Id("nope")}).Get(), profiles);
  });
  ASSERT_TRUE(fault);
  EXPECT_EQ(*static_cast<Lumo::Fault::InvalidArgument*>(fault.Get())->PeekInvalidProperty(),
            "profileIds[1]");
}

TEST_F(ProfileManagerTest, AnswersAreCopiesThatDoNotReachTheStoredProfile) {
  std::string id = Create(GoldSpec());
  Retrieve(id)->SetName("Changed by the client");
  EXPECT_EQ(Retrieve(id)->GetName(), "Gold");
}

// ---- associations --------------------------------------------------------------------------

TEST_F(ProfileManagerTest, AssociationsReadBothWays) {
  std::string gold = Create(GoldSpec());
  std::string silver = Create(GoldSpec("Silver"));
  client->profiles->Associate(Vm("vm-42").Get(), Id(gold).Get(), nullptr);
  client->profiles->Associate(Disk("vm-42:2000").Get(), Id(gold).Get(), nullptr);
  client->profiles->Associate(Disk("vm-42:2001").Get(), Id(silver).Get(), nullptr);

  EXPECT_EQ(AssociatedWith(Vm("vm-42")), std::vector<std::string>{gold});
  EXPECT_TRUE(AssociatedWith(Vm("vm-7")).empty());

  Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>> results;
  client->profiles->QueryAssociatedProfiles(
      ArrayOf<Zel::ServerObjectRef>(
          {Vm("vm-42"), Disk("vm-42:2001"), Vm("vm-7"), Entity("spaceship", "x")})
          .Get(),
      results);
  ASSERT_EQ(results->GetLength(), 4);
  EXPECT_EQ(results->Get(0)->GetObject()->GetKey(), "vm-42");
  EXPECT_EQ(results->Get(0)->GetProfileId()->Get(0)->GetUniqueId(), gold);
  EXPECT_EQ(results->Get(1)->GetProfileId()->Get(0)->GetUniqueId(), silver);
  EXPECT_EQ(results->Get(2)->GetProfileId()->GetLength(), 0);
  EXPECT_EQ(results->Get(2)->GetFault(), nullptr);
  EXPECT_TRUE(IsExactly<Lumo::Fault::InvalidArgument>(results->Get(3)->GetFault()));

  Ref<Lumo::DataArray<Zel::ServerObjectRef>> entities;
  client->profiles->QueryAssociatedEntity(Id(gold).Get(), Kestrum::Optional<std::string>(),
                                          entities);
  ASSERT_EQ(entities->GetLength(), 2);
  client->profiles->QueryAssociatedEntity(
      Id(gold).Get(), Kestrum::Optional<std::string>("virtualDiskId"), entities);
  ASSERT_EQ(entities->GetLength(), 1);
  EXPECT_EQ(entities->Get(0)->GetKey(), "vm-42:2000");

  // Associating again replaces; dissociating removes.
  client->profiles->Associate(Vm("vm-42").Get(), Id(silver).Get(), nullptr);
  EXPECT_EQ(AssociatedWith(Vm("vm-42")), std::vector<std::string>{silver});
  client->profiles->Dissociate(Vm("vm-42").Get(), Id(silver).Get());
  EXPECT_TRUE(AssociatedWith(Vm("vm-42")).empty());
}

TEST_F(ProfileManagerTest, AssociationsRefuseUnknownProfilesAndEntitiesAndWrongDissociations) {
  std::string gold = Create(GoldSpec());
  auto notFound = CatchFault<Zel::Fault::NotFound::Exception>(
      [&] { client->profiles->Associate(Vm("vm-1").Get(), Id("nope").Get(), nullptr); });
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(notFound.Get()));
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client->profiles->Associate(Entity("", "k").Get(), Id(gold).Get(), nullptr); });
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client->profiles->Associate(Vm("").Get(), Id(gold).Get(), nullptr); });
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client->profiles->Dissociate(Vm("vm-1").Get(), Id(gold).Get()); });
  Ref<Lumo::DataArray<Zel::ServerObjectRef>> entities;
  CatchFault<Zel::Fault::NotFound::Exception>([&] {
    client->profiles->QueryAssociatedEntity(Id("nope").Get(), Kestrum::Optional<std::string>(),
                                            entities);
  });
  CatchFault<Lumo::Fault::NotSupported::Exception>([&] {
    client->profiles->Associate(Vm("vm-1").Get(), Id(gold).Get(),
                                new Hox::Vm::Replication::ReplicationSpec);
  });
  EXPECT_TRUE(AssociatedWith(Vm("vm-1")).empty());
}

TEST_F(ProfileManagerTest, ApplyAnswersOneOutcomePerProfileAndEntity) {
  std::string gold = Create(GoldSpec());
  std::string idle = Create(GoldSpec("Idle"));
  client->profiles->Associate(Vm("vm-42").Get(), Id(gold).Get(), nullptr);
  client->profiles->Associate(Disk("vm-42:2000").Get(), Id(gold).Get(), nullptr);

  Ref<Lumo::DataArray<Zel::Profile::ApplyProfileOutcome>> outcomes;
  client->profiles->ApplyProfile(ArrayOf<ProfileId>({Id(gold), Id(idle), Id("nope")}).Get(),
                                 outcomes);
  ASSERT_EQ(outcomes->GetLength(), 3);
  ASSERT_EQ(outcomes->Get(0)->GetReconfigOutcome()->GetLength(), 2);
  EXPECT_TRUE(outcomes->Get(0)->GetReconfigOutcome()->Get(0)->PeekTaskMoid() != nullptr);
  EXPECT_EQ(outcomes->Get(1)->GetReconfigOutcome()->GetLength(), 0);
  EXPECT_EQ(outcomes->Get(1)->GetFault(), nullptr);
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(outcomes->Get(2)->GetFault()));

  Ref<Lumo::DataArray<Zel::Profile::ReconfigOutcome>> reconfig;
  client->profiles->ApplyAssociated(ArrayOf<Zel::ServerObjectRef>({Vm("vm-42"), Vm("vm-7")}).Get(),
                                    Kestrum::Optional<bool>(), reconfig);
  ASSERT_EQ(reconfig->GetLength(), 2);
  EXPECT_NE(reconfig->Get(0)->PeekTaskMoid(), nullptr);
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(reconfig->Get(1)->GetFault()));
}

}  // namespace
}  // namespace ZelSampleTest
