// Quotas: what one session can make the service store is bounded, and so is
// what the service holds.
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Wire/Codec.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Fault/ProfileStorageFault.h>
#include <Olyx/Zel/Fault/ZELFault.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileUpdateSpec.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>

#include "TestSupport.h"

namespace ZelSampleTest {
namespace {

class QuotaTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }

  void Start(const ZelSample::QuotaSettings& quotas) {
    ZelSample::ServiceSettings settings;
    settings.quotas = quotas;
    service = std::make_unique<ZelSample::SampleService>(settings);
  }

  Ref<Lumo::DataArray<Zel::ServerObjectRef>> Vms(int first, int count) {
    auto vms = MakeRef<Lumo::DataArray<Zel::ServerObjectRef>>();
    for (int i = first; i < first + count; ++i) vms->Append(Vm("q-" + std::to_string(i)).Get());
    return vms;
  }

  // The bytes a profile made by Described(name, descriptionBytes) counts:
  // the size of its wire form, measured on a service of its own.
  static size_t ProfileBytes(const std::string& name, size_t descriptionBytes) {
    ZelSample::SampleService probe;
    Client client(probe);
    client.Login();
    Ref<Zel::Profile::ProfileId> id;
    client.profiles->Create(Described(name, descriptionBytes).Get(), id);
    Ref<Lumo::DataArray<Zel::Profile::Profile>> profiles;
    client.profiles->RetrieveContent(ArrayOf<Zel::Profile::ProfileId>({id}).Get(), profiles);
    static const Lumo::Wire::Codec codec;
    std::string xml;
    codec.EncodeValue(profiles->Get(0), xml);
    return xml.size();
  }

  static Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> Described(const std::string& name,
                                                                       size_t descriptionBytes) {
    Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> spec = GoldSpec(name);
    spec->SetDescription(Kestrum::Optional<std::string>(std::string(descriptionBytes, 'd')));
    return spec;
  }

  size_t ProfileCount(Client& client) {
    Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
    client.profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
    return static_cast<size_t>(ids->GetLength());
  }

  std::unique_ptr<ZelSample::SampleService> service;
};

TEST_F(QuotaTest, AViewOnlySessionCannotMakeTheServiceStoreResultsWithoutBound) {
  ZelSample::QuotaSettings quotas;
  quotas.resultsPerSession = 50;
  Start(quotas);
  Client writer(*service);
  writer.Login("writer");
  Ref<Zel::Profile::ProfileId> gold;
  writer.profiles->Create(GoldSpec().Get(), gold);

  Client viewer(*service);
  viewer.Login("viewer", {"StorageProfile.View"});
  Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
  viewer.compliance->CheckCompliance(Vms(0, 40).Get(), gold.Get(), results);
  EXPECT_EQ(results->GetLength(), 40);
  // Checking the same entities again stores nothing new.
  viewer.compliance->CheckCompliance(Vms(0, 40).Get(), gold.Get(), results);
  // Eleven more would pass the quota: the whole call is refused, nothing stored.
  auto refused = CatchFault<Zel::Fault::ZELFault::Exception>(
      [&] { viewer.compliance->CheckCompliance(Vms(40, 11).Get(), gold.Get(), results); });
  ASSERT_TRUE(refused);
  EXPECT_NE(refused->GetMsg().find("quota exceeded"), std::string::npos) << refused->GetMsg();
  viewer.compliance->FetchComplianceResult(Vms(40, 1).Get(), gold.Get(), results);
  EXPECT_EQ(results->Get(0)->GetComplianceStatus(), "unknown");
  viewer.compliance->CheckCompliance(Vms(40, 10).Get(), gold.Get(), results);

  // Another session has a quota of its own.
  Client other(*service);
  other.Login("viewer2", {"StorageProfile.View"});
  other.compliance->CheckCompliance(Vms(100, 50).Get(), gold.Get(), results);
}

TEST_F(QuotaTest, ProfilesAndAssociationsHaveQuotasAndTheServiceALimit) {
  ZelSample::QuotaSettings quotas;
  quotas.profilesPerSession = 3;
  quotas.maxProfiles = 4;
  quotas.associationsPerSession = 2;
  Start(quotas);
  Client first(*service);
  first.Login("first");
  Ref<Zel::Profile::ProfileId> id;
  for (int i = 0; i < 3; ++i) first.profiles->Create(GoldSpec("p" + std::to_string(i)).Get(), id);
  auto own = CatchFault<Zel::Fault::ProfileStorageFault::Exception>(
      [&] { first.profiles->Create(GoldSpec("p3").Get(), id); });
  EXPECT_NE(own->GetMsg().find("a session may hold at most 3"), std::string::npos);

  Client second(*service);
  second.Login("second");
  second.profiles->Create(GoldSpec("s0").Get(), id);
  auto all = CatchFault<Zel::Fault::ProfileStorageFault::Exception>(
      [&] { second.profiles->Create(GoldSpec("s1").Get(), id); });
  EXPECT_NE(all->GetMsg().find("the service may hold at most 4"), std::string::npos);

  second.profiles->Associate(Vm("a").Get(), id.Get(), nullptr);
  second.profiles->Associate(Vm("b").Get(), id.Get(), nullptr);
  second.profiles->Associate(Vm("b").Get(), id.Get(), nullptr);  // no new association
  CatchFault<Zel::Fault::ZELFault::Exception>(
      [&] { second.profiles->Associate(Vm("c").Get(), id.Get(), nullptr); });
}

TEST_F(QuotaTest, ACallMayNameOnlySoManyEntities) {
  ZelSample::QuotaSettings quotas;
  quotas.maxEntitiesPerCall = 5;
  Start(quotas);
  Client client(*service);
  client.Login();
  Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
  client.compliance->CheckCompliance(Vms(0, 5).Get(), nullptr, results);
  auto refused = CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client.compliance->CheckCompliance(Vms(0, 6).Get(), nullptr, results); });
  EXPECT_NE(refused->GetMsg().find("at most 5 entities"), std::string::npos);
}

TEST_F(QuotaTest, TheBytesOfProfilesHaveAQuotaPerSessionAndTheServiceALimit) {
  const size_t each = ProfileBytes("p0", 20000);
  ZelSample::QuotaSettings quotas;
  quotas.bytesPerSession = 3 * each + each / 2;
  quotas.maxBytes = 5 * each + each / 2;
  Start(quotas);
  Client first(*service);
  first.Login("first");
  std::vector<Ref<Zel::Profile::ProfileId>> ids(3);
  for (int i = 0; i < 3; ++i) {
    first.profiles->Create(Described("p" + std::to_string(i), 20000).Get(), ids[i]);
  }
  Ref<Zel::Profile::ProfileId> id;
  auto own = CatchFault<Zel::Fault::ProfileStorageFault::Exception>(
      [&] { first.profiles->Create(Described("p3", 20000).Get(), id); });
  ASSERT_TRUE(own);
  EXPECT_EQ(own->GetMsg(), "quota exceeded: a session may hold at most " +
                               std::to_string(quotas.bytesPerSession) +
                               " bytes of profiles, associations and compliance results it stored");
  EXPECT_EQ(ProfileCount(first), 3u);
  // Growing a profile counts what it grows by.
  auto grow = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
  grow->SetDescription(Kestrum::Optional<std::string>(std::string(20000 + each, 'g')));
  CatchFault<Zel::Fault::ProfileStorageFault::Exception>(
      [&] { first.profiles->Update(ids[0].Get(), grow.Get()); });

  Client second(*service);
  second.Login("second");
  second.profiles->Create(Described("s0", 20000).Get(), id);
  second.profiles->Create(Described("s1", 20000).Get(), id);
  auto all = CatchFault<Zel::Fault::ProfileStorageFault::Exception>(
      [&] { second.profiles->Create(Described("s2", 20000).Get(), id); });
  ASSERT_TRUE(all);
  EXPECT_EQ(all->GetMsg(), "quota exceeded: the service may hold at most " +
                               std::to_string(quotas.maxBytes) +
                               " bytes of profiles, associations and compliance results");
  EXPECT_EQ(ProfileCount(second), 5u);
  // A deleted profile gives its bytes back to the service.
  Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
  first.profiles->Delete(ArrayOf<Zel::Profile::ProfileId>({ids[0]}).Get(), outcomes);
  second.profiles->Create(Described("s2", 20000).Get(), id);
}

TEST_F(QuotaTest, TheBytesOfComplianceResultsCountAndARefusedCheckStoresNone) {
  const size_t profile = ProfileBytes("Gold", 0);
  ZelSample::QuotaSettings quotas;
  // Room for the profile and a few results, not for ten.
  quotas.bytesPerSession = profile + 4000;
  Start(quotas);
  Client client(*service);
  client.Login();
  Ref<Zel::Profile::ProfileId> gold;
  client.profiles->Create(GoldSpec().Get(), gold);
  Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
  auto refused = CatchFault<Zel::Fault::ZELFault::Exception>(
      [&] { client.compliance->CheckCompliance(Vms(0, 10).Get(), gold.Get(), results); });
  ASSERT_TRUE(refused);
  EXPECT_NE(refused->GetMsg().find("bytes of profiles, associations and compliance results"),
            std::string::npos)
      << refused->GetMsg();
  client.compliance->FetchComplianceResult(Vms(0, 10).Get(), gold.Get(), results);
  for (int i = 0; i < results->GetLength(); ++i) {
    EXPECT_EQ(results->Get(i)->GetComplianceStatus(), "unknown");
  }
  client.compliance->CheckCompliance(Vms(0, 2).Get(), gold.Get(), results);
}

TEST_F(QuotaTest, ADescriptionMayBeOnlySoLong) {
  ZelSample::QuotaSettings quotas;
  quotas.maxDescriptionBytes = 10;
  Start(quotas);
  Client client(*service);
  client.Login();
  Ref<Zel::Profile::ProfileId> id;
  client.profiles->Create(Described("ten", 10).Get(), id);
  auto created = CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client.profiles->Create(Described("eleven", 11).Get(), id); });
  ASSERT_TRUE(created);
  EXPECT_NE(created->GetMsg().find("the description is longer than 10 bytes"), std::string::npos)
      << created->GetMsg();
  auto update = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
  update->SetDescription(Kestrum::Optional<std::string>(std::string(11, 'u')));
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { client.profiles->Update(id.Get(), update.Get()); });
  EXPECT_EQ(ProfileCount(client), 1u);
}

}  // namespace
}  // namespace ZelSampleTest
