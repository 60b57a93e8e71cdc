// Several clients call one service at once.
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Compliance/RollupComplianceResult.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Placement/PlacementHub.h>
#include <Olyx/Zel/Placement/PlacementSolver.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"

namespace ZelSampleTest {
namespace {

TEST_F(ServiceTest, ClientsOnSeveralThreadsAllGetCorrectAnswers) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  std::atomic<int> wrong{0};
  std::atomic<int> duplicates{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Client mine(*service);
      mine.Login("user" + std::to_string(t));
      for (int r = 0; r < kRounds; ++r) {
        std::string name = "t" + std::to_string(t) + "-r" + std::to_string(r);
        Ref<Zel::Profile::ProfileId> id;
        mine.profiles->Create(GoldSpec(name).Get(), id);
        // Every thread also races for one shared name: exactly one wins it.
        try {
          Ref<Zel::Profile::ProfileId> shared;
          mine.profiles->Create(GoldSpec("shared-" + std::to_string(r)).Get(), shared);
        } catch (const Zel::Fault::DuplicateName::Exception&) {
          ++duplicates;
        }
        auto vm = Vm("vm-" + std::to_string(t) + "-" + std::to_string(r));
        mine.profiles->Associate(vm.Get(), id.Get(), nullptr);
        Ref<Lumo::DataArray<Zel::Profile::ProfileId>> associated;
        mine.profiles->QueryAssociatedProfile(vm.Get(), associated);
        if (associated->GetLength() != 1 ||
            associated->Get(0)->GetUniqueId() != id->GetUniqueId()) {
          ++wrong;
        }
        Ref<Lumo::DataArray<Zel::Profile::Profile>> profiles;
        mine.profiles->RetrieveContent(ArrayOf<Zel::Profile::ProfileId>({id}).Get(), profiles);
        if (profiles->GetLength() != 1 || profiles->Get(0)->GetName() != name) ++wrong;
        if (profiles->Get(0)->GetCreatedBy() != "user" + std::to_string(t)) ++wrong;
        if (r % 2 == 1) {
          Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
          mine.profiles->Delete(ArrayOf<Zel::Profile::ProfileId>({id}).Get(), outcomes);
          if (outcomes->GetLength() != 1 || outcomes->Get(0)->GetFault() != nullptr) ++wrong;
        }
      }
      mine.sessions->Logout();
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(duplicates.load(), kRounds * (kThreads - 1));
  client->Login();
  Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
  client->profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
  EXPECT_EQ(ids->GetLength(), kThreads * (kRounds - kRounds / 2) + kRounds);
  EXPECT_EQ(service->GetSessions().Count(), 1u);
}

// The placement solver, default profiles, compliance checks and roll-ups
// called from several threads while profiles change under them.
TEST_F(ServiceTest, NewMethodsOnSeveralThreadsStayCoherent) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 15;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Client mine(*service);
      mine.Login("user" + std::to_string(t));
      auto solver = MakeRef<Zel::Placement::PlacementSolverStub>(
          RefOf("zel.placement.PlacementSolver", "PlacementSolver").Get(), mine.adapter.Get(),
          nullptr);
      for (int r = 0; r < kRounds; ++r) {
        Ref<Zel::Profile::ProfileId> id;
        mine.profiles->Create(GoldSpec("c" + std::to_string(t) + "-" + std::to_string(r)).Get(),
                              id);
        Ref<Lumo::DataArray<Zel::Placement::PlacementHub>> hubs;
        solver->QueryMatchingHub(nullptr, id.Get(), hubs);
        if (hubs->GetLength() != 1 || hubs->Get(0)->GetHubId() != "ds-fast") ++wrong;
        // Every thread assigns its profile as the default of ds-fast: the
        // last one wins, and the answer is always one of the profiles. Only
        // profiles that stay are assigned: deleting the default profile
        // leaves the hub without one, which another thread could see.
        const bool deleted = r % 3 == 2;
        auto fast = MakeRef<Zel::Placement::PlacementHub>();
        fast->SetHubType("datastore");
        fast->SetHubId("ds-fast");
        if (!deleted) {
          mine.profiles->AssignDefaultRequirementProfile(
              id.Get(), ArrayOf<Zel::Placement::PlacementHub>({fast}).Get());
        }
        Ref<Zel::Profile::ProfileId> byDefault;
        mine.profiles->QueryDefaultRequirementProfile(fast.Get(), byDefault);
        if (!byDefault) ++wrong;
        auto vm = Vm("vm-" + std::to_string(t) + "-" + std::to_string(r));
        mine.profiles->Associate(vm.Get(), id.Get(), nullptr);
        Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
        mine.compliance->CheckCompliance(ArrayOf<Zel::ServerObjectRef>({vm}).Get(), nullptr,
                                         results);
        if (results->Get(0)->GetComplianceStatus() != "compliant" &&
            results->Get(0)->GetComplianceStatus() != "nonCompliant") {
          ++wrong;
        }
        Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>> rollups;
        mine.compliance->CheckRollupCompliance(ArrayOf<Zel::ServerObjectRef>({vm}).Get(), rollups);
        if (rollups->GetLength() != 1) ++wrong;
        Ref<Lumo::DataArray<Zel::ServerObjectRef>> outOfDate;
        mine.compliance->QueryOutOfDateEntities(outOfDate);
        if (deleted) {
          Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
          mine.profiles->Delete(ArrayOf<Zel::Profile::ProfileId>({id}).Get(), outcomes);
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  // What is stored is consistent: no result or default names a deleted profile.
  client->Login();
  Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> compliant;
  Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> nonCompliant;
  client->compliance->QueryByComplianceStatus("compliant", nullptr, compliant);
  client->compliance->QueryByComplianceStatus("nonCompliant", nullptr, nonCompliant);
  EXPECT_EQ(compliant->GetLength() + nonCompliant->GetLength(), kThreads * (kRounds - kRounds / 3));
}

}  // namespace
}  // namespace ZelSampleTest
