// Calls over a wire whose answers could not be sent change nothing: the
// largest checkCompliance the message limit allows is answered, and one
// entity more is refused before a result is stored or charged.
#include <Lumo/Wire/Codec.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Fault/ZELFault.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <ZelSample/WireEndpoint.h>

#include <cstdio>

#include "TestSupport.h"
#include "WireClient.h"

namespace ZelSampleTest {
namespace {

using ResultArray = Lumo::DataArray<Zel::Compliance::ComplianceResult>;
using EntityArray = Lumo::DataArray<Zel::ServerObjectRef>;

constexpr char kVersion[] = "zel.version.version14";
constexpr int kLargest = 20;

// Keys of one width whose last digit is even: every entity lands on the
// same hub, so every result has the same size.
Ref<EntityArray> Vms(int first, int count) {
  auto vms = MakeRef<EntityArray>();
  for (int i = first; i < first + count; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "lim-%05d0", i);
    vms->Append(Vm(key).Get());
  }
  return vms;
}

Lumo::ManagedMethod* CheckComplianceMethod() {
  return Lumo::GetMoType<Zel::Compliance::ComplianceManager>()->FindMethod("checkCompliance");
}

class AnswerLimitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }

  // The size of the answer to checkCompliance of `count` entities, as the
  // wire writes it: measured on a service of its own, through no wire.
  static size_t AnswerBytes(int count) {
    ZelSample::SampleService probe;
    Client client(probe);
    client.Login();
    Ref<Zel::Profile::ProfileId> gold;
    client.profiles->Create(GoldSpec().Get(), gold);
    Ref<ResultArray> results;
    client.compliance->CheckCompliance(Vms(0, count).Get(), gold.Get(), results);
    Lumo::Wire::Options options;
    options.version = kVersion;
    Lumo::Wire::Codec codec(options);
    std::string xml;
    codec.EncodeResult(CheckComplianceMethod(), results.Get(), xml);
    return xml.size();
  }
};

TEST_F(AnswerLimitTest, TheLargestCheckIsAnsweredAndOneMoreStoresNothing) {
  const size_t largest = AnswerBytes(kLargest);
  const size_t perEntity = AnswerBytes(kLargest + 1) - largest;
  ASSERT_GT(perEntity, 100u);
  // Halfway to the next entity: the check times' width may vary a little.
  Lumo::Wire::Limits limits;
  limits.maxMessageBytes = largest + perEntity / 2;
  ZelSample::ServiceSettings settings;
  settings.quotas.answerLimits = limits;
  settings.quotas.resultsPerSession = kLargest + 1;
  ZelSample::SampleService service(settings);
  Lumo::Wire::DispatcherSettings dispatcher;
  dispatcher.limits = limits;
  Ref<ZelSample::WireEndpoint> endpoint(new ZelSample::WireEndpoint(service, dispatcher));
  WireClient wire(endpoint.Get(), kVersion);
  wire.sessions->LoginByToken(ZelSample::MakeDelegatedToken("alice@sample.test"));
  Ref<Zel::Profile::ProfileId> gold;
  wire.profiles->Create(GoldSpec().Get(), gold);

  Ref<ResultArray> results;
  wire.compliance->CheckCompliance(Vms(0, kLargest).Get(), gold.Get(), results);
  ASSERT_EQ(results->GetLength(), kLargest);

  // The same entities and one new one: the answer would not fit.
  auto refused = CatchFault<Lumo::MethodFault::Exception>(
      [&] { wire.compliance->CheckCompliance(Vms(0, kLargest + 1).Get(), gold.Get(), results); });
  ASSERT_TRUE(refused);
  auto* wireFault = dynamic_cast<Lumo::Wire::WireFormatFault*>(refused.Get());
  ASSERT_NE(wireFault, nullptr) << refused->GetMsg();
  ASSERT_NE(wireFault->PeekReason(), nullptr);
  EXPECT_EQ(*wireFault->PeekReason(), "tooLarge");

  // Its new entity was not stored ...
  wire.compliance->FetchComplianceResult(Vms(kLargest, 1).Get(), gold.Get(), results);
  EXPECT_EQ(results->Get(0)->GetComplianceStatus(), "unknown");
  // ... nor charged: the session's last result is still free.
  wire.compliance->CheckCompliance(Vms(kLargest + 1, 1).Get(), gold.Get(), results);
  EXPECT_NE(results->Get(0)->GetComplianceStatus(), "unknown");
  auto full = CatchFault<Zel::Fault::ZELFault::Exception>(
      [&] { wire.compliance->CheckCompliance(Vms(kLargest, 1).Get(), gold.Get(), results); });
  ASSERT_TRUE(full);
  EXPECT_NE(full->GetMsg().find("quota exceeded"), std::string::npos) << full->GetMsg();
}

TEST_F(AnswerLimitTest, ADeleteWhoseAnswerCannotBeSentDeletesNothing) {
  Lumo::Wire::Limits limits;
  limits.maxMessageBytes = 6144;
  ZelSample::ServiceSettings settings;
  settings.quotas.answerLimits = limits;
  ZelSample::SampleService service(settings);
  Lumo::Wire::DispatcherSettings dispatcher;
  dispatcher.limits = limits;
  Ref<ZelSample::WireEndpoint> endpoint(new ZelSample::WireEndpoint(service, dispatcher));
  WireClient wire(endpoint.Get(), kVersion);
  wire.sessions->LoginByToken(ZelSample::MakeDelegatedToken("alice@sample.test"));
  Ref<Zel::Profile::ProfileId> gold;
  wire.profiles->Create(GoldSpec().Get(), gold);

  // The profile and ids that do not exist: each of those is answered with
  // a fault that repeats its id, so the answer outgrows the request.
  auto ids = MakeRef<Lumo::DataArray<Zel::Profile::ProfileId>>();
  ids->Append(gold.Get());
  for (int i = 0; i < 12; ++i) {
    auto missing = MakeRef<Zel::Profile::ProfileId>();
    missing->SetUniqueId(std::string(200, static_cast<char>('a' + i)));
    ids->Append(missing.Get());
  }
  Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
  auto refused =
      CatchFault<Lumo::MethodFault::Exception>([&] { wire.profiles->Delete(ids.Get(), outcomes); });
  ASSERT_TRUE(refused);
  EXPECT_NE(dynamic_cast<Lumo::Wire::WireFormatFault*>(refused.Get()), nullptr)
      << refused->GetMsg();
  Ref<Lumo::DataArray<Zel::Profile::ProfileId>> left;
  wire.profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), left);
  EXPECT_EQ(left->GetLength(), 1);
}

}  // namespace
}  // namespace ZelSampleTest
