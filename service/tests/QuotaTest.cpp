// Quotas: what one session can make the service store is bounded, and so is
// what the service holds.
#include <Lumo/Fault/InvalidArgument.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Fault/ProfileStorageFault.h>
#include <Olyx/Zel/Fault/ZELFault.h>

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

}  // namespace
}  // namespace ZelSampleTest
