// The compliance manager: checks against the sample inventory, stored results.
#include <Lumo/Fault/InvalidArgument.h>
#include <Olyx/Zel/Capability/Types/TimeSpan.h>
#include <Olyx/Zel/Capability/Types/TimeUnitEnum.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Compliance/PolicyStatus.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileUpdateSpec.h>

#include "TestSupport.h"

namespace ZelSampleTest {
namespace {

using Zel::Compliance::ComplianceResult;

class ComplianceTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    client->Login();
    gold = Create(GoldSpec());
  }

  Ref<Lumo::DataArray<ComplianceResult>> Check(std::vector<Ref<Zel::ServerObjectRef>> entities,
                                               const std::string& profile = "") {
    Ref<Lumo::DataArray<ComplianceResult>> results;
    client->compliance->CheckCompliance(ArrayOf<Zel::ServerObjectRef>(std::move(entities)).Get(),
                                        profile.empty() ? nullptr : Id(profile).Get(), results);
    return results;
  }

  Ref<Lumo::DataArray<ComplianceResult>> Fetch(std::vector<Ref<Zel::ServerObjectRef>> entities) {
    Ref<Lumo::DataArray<ComplianceResult>> results;
    client->compliance->FetchComplianceResult(
        ArrayOf<Zel::ServerObjectRef>(std::move(entities)).Get(), nullptr, results);
    return results;
  }

  std::string gold;
};

TEST_F(ComplianceTest, StorageThatMeetsOneSubProfileComplies) {
  // vm-42 lives on ds-fast: two replicas, encrypted, gold tier, four stripes.
  client->profiles->Associate(Vm("vm-42").Get(), Id(gold).Get(), nullptr);
  auto results = Check({Vm("vm-42")});
  ASSERT_EQ(results->GetLength(), 1);
  const ComplianceResult* result = results->Get(0);
  EXPECT_EQ(result->GetComplianceStatus(), "compliant");
  EXPECT_EQ(result->GetProfile()->GetUniqueId(), gold);
  EXPECT_FALSE(result->IsMismatch());
  EXPECT_EQ(result->GetPtrViolatedPolicies(), nullptr);
  EXPECT_GT(result->GetCheckTime().GetUtcTime(), 0);
}

TEST_F(ComplianceTest, StorageThatMeetsNoSubProfileReportsTheClosestViolations) {
  // A key ending in an odd digit lives on ds-bulk: one replica, clear, bronze, one stripe.
  client->profiles->Associate(Disk("vm-42:2001").Get(), Id(gold).Get(), nullptr);
  auto results = Check({Disk("vm-42:2001")});
  ASSERT_EQ(results->GetLength(), 1);
  const ComplianceResult* result = results->Get(0);
  EXPECT_EQ(result->GetComplianceStatus(), "nonCompliant");
  const auto* violated = result->GetPtrViolatedPolicies();
  ASSERT_NE(violated, nullptr);
  ASSERT_EQ(violated->GetLength(), 2);
  EXPECT_EQ(violated->Get(0)->GetExpectedValue()->GetId()->GetId(), "replicaCount");
  const auto* current = violated->Get(0)->GetCurrentValue();
  ASSERT_NE(current, nullptr);
  const auto* offered = current->GetConstraint()->Get(0)->GetPropertyInstance()->Get(0)->GetValue();
  ASSERT_NE(dynamic_cast<const Lumo::Primitive<int32_t>*>(offered), nullptr);
  EXPECT_EQ(static_cast<const Lumo::Primitive<int32_t>*>(offered)->GetValue(), 1);
  EXPECT_EQ(violated->Get(1)->GetExpectedValue()->GetId()->GetId(), "encryption");
}

TEST_F(ComplianceTest, TheNotOperatorTurnsAConstraint) {
  auto notEncrypted = Capability("encryption", Bool(true));
  notEncrypted->GetConstraint()->Get(0)->GetPropertyInstance()->Get(0)->SetOperator(
      Kestrum::Optional<std::string>("NOT"));
  auto spec = Spec("Clear", {Sub("not-encrypted", {notEncrypted})});
  std::string clear = Create(spec);
  auto results = Check({Vm("vm-2"), Vm("vm-3")}, clear);
  EXPECT_EQ(results->Get(0)->GetComplianceStatus(), "nonCompliant");  // ds-fast is encrypted
  EXPECT_EQ(results->Get(1)->GetComplianceStatus(), "compliant");     // ds-bulk is not
}

TEST_F(ComplianceTest, ASnapshotIntervalIsMetByStorageThatSnapshotsAtLeastAsOften) {
  auto every = [](int32_t value, const char* unit) {
    auto span = MakeRef<Zel::Capability::Types::TimeSpan>();
    span->SetValue(value);
    span->SetUnit(unit);
    return Capability("snapshotInterval", Ref<Lumo::Any>(span.Get()));
  };
  using namespace Zel::Capability::Types;
  std::string hourly = Create(Spec("Hourly", {Sub("s", {every(90, TIMEUNITENUM_MINUTES)})}));
  auto results = Check({Vm("vm-2"), Vm("vm-3")}, hourly);
  EXPECT_EQ(results->Get(0)->GetComplianceStatus(), "compliant");     // ds-fast: every hour
  EXPECT_EQ(results->Get(1)->GetComplianceStatus(), "nonCompliant");  // ds-bulk: every day
  std::string weekly = Create(Spec("Weekly", {Sub("s", {every(1, TIMEUNITENUM_WEEKS)})}));
  EXPECT_EQ(Check({Vm("vm-3")}, weekly)->Get(0)->GetComplianceStatus(), "compliant");
  // A span that is not positive, in no time unit, or a value of another kind is refused.
  for (auto bad : {every(0, TIMEUNITENUM_DAYS), every(1, "FORTNIGHTS"),
                   Capability("snapshotInterval", Int(3))}) {
    CatchFault<Lumo::Fault::InvalidArgument::Exception>(
        [&] { Create(Spec("Bad", {Sub("s", {bad})})); });
  }
}

TEST_F(ComplianceTest, EntitiesWithoutAProfileAreNotApplicableUnlessTheInventoryLacksThem) {
  for (const auto& results :
       {Check({Vm("vm-7"), Vm("vm-404")}), Fetch({Vm("vm-7"), Vm("vm-404")})}) {
    ASSERT_EQ(results->GetLength(), 2);
    EXPECT_EQ(results->Get(0)->GetComplianceStatus(), "notApplicable");
    EXPECT_EQ(results->Get(0)->GetProfile(), nullptr);
    // A machine the inventory does not know is unknown, and says why.
    const auto* unknown = results->Get(1);
    EXPECT_EQ(unknown->GetComplianceStatus(), "unknown");
    EXPECT_EQ(unknown->GetComplianceTaskStatus().GetValue(), "failed");
    ASSERT_EQ(unknown->GetErrorCause()->GetLength(), 1);
    EXPECT_NE(dynamic_cast<const Zel::Fault::NotFound*>(unknown->GetErrorCause()->Get(0)), nullptr);
    EXPECT_NE(unknown->GetErrorCause()->Get(0)->GetMsg().find("vm-404"), std::string::npos);
  }
}

TEST_F(ComplianceTest, AGivenProfileIsCheckedAndAMismatchWithTheAssociationIsFlagged) {
  std::string other = Create(Spec("Bulk", {Sub("one", {Capability("replicaCount", Int(1))})}));
  client->profiles->Associate(Vm("vm-42").Get(), Id(gold).Get(), nullptr);
  auto results = Check({Vm("vm-42")}, other);
  EXPECT_EQ(results->Get(0)->GetProfile()->GetUniqueId(), other);
  EXPECT_EQ(results->Get(0)->GetComplianceStatus(), "nonCompliant");
  EXPECT_TRUE(results->Get(0)->IsMismatch());
  CatchFault<Zel::Fault::NotFound::Exception>([&] { Check({Vm("vm-42")}, "nope"); });
  CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] { Check({}); });
  CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] { Check({Entity("boat", "b")}); });
  // "unknown" is a value of the enumeration, but names nothing to check.
  CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] { Check({Entity("unknown", "u")}); });
  Check({Entity(Zel::ServerObjectRef::OBJECTTYPE_CLUSTER, "c")});
}

TEST_F(ComplianceTest, FetchAnswersFromStoredResultsAndTellsWhenTheyAreOutOfDate) {
  client->profiles->Associate(Vm("vm-42").Get(), Id(gold).Get(), nullptr);
  auto before = Fetch({Vm("vm-42"), Vm("vm-7")});
  ASSERT_EQ(before->GetLength(), 2);
  EXPECT_EQ(before->Get(0)->GetComplianceStatus(), "unknown");
  EXPECT_EQ(before->Get(1)->GetComplianceStatus(), "notApplicable");

  auto checked = Check({Vm("vm-42")});
  auto fetched = Fetch({Vm("vm-42")});
  EXPECT_TRUE(fetched->Get(0)->_IsEqual(checked->Get(0)));

  auto update = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
  update->SetDescription(Kestrum::Optional<std::string>("changed"));
  client->profiles->Update(Id(gold).Get(), update.Get());
  EXPECT_EQ(Fetch({Vm("vm-42")})->Get(0)->GetComplianceStatus(), "outOfDate");
  Check({Vm("vm-42")});
  EXPECT_EQ(Fetch({Vm("vm-42")})->Get(0)->GetComplianceStatus(), "compliant");
}

}  // namespace
}  // namespace ZelSampleTest
