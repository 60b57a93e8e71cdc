// The demo steps about where storage goes: the placement of a new disk, a
// default profile for a datastore, and compliance rolled up per machine.
#include <Olyx/Zel/Compliance/ComplianceManager.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Compliance/RollupComplianceResult.h>
#include <Olyx/Zel/Placement/CompatibilityResult.h>
#include <Olyx/Zel/Placement/PlacementHub.h>
#include <Olyx/Zel/Placement/PlacementSolver.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <Olyx/Zel/ServiceInstanceContent.h>

#include "Conversing.h"

namespace ZelDemo {
namespace Detail {

namespace {

Ref<Zel::Placement::PlacementHub> Datastore(const char* id) {
  auto hub = MakeRef<Zel::Placement::PlacementHub>();
  hub->SetHubType("datastore");
  hub->SetHubId(id);
  return hub;
}

}  // namespace

void RunStorageSteps(Conversing& demo) {
  Transcript& t = demo.t;
  Lumo::StubAdapter* adapter = demo.adapter;
  const Zel::ServiceInstanceContent& content = *demo.content;
  const std::string& gold = demo.gold;
  auto solver =
      MakeRef<Zel::Placement::PlacementSolverStub>(content.GetPlacementSolver(), adapter, nullptr);
  auto profiles =
      MakeRef<Zel::Profile::ProfileManagerStub>(content.GetProfileManager(), adapter, nullptr);
  auto compliance = MakeRef<Zel::Compliance::ComplianceManagerStub>(content.GetComplianceManager(),
                                                                    adapter, nullptr);

  t.Step("Place a new disk that must meet \"Gold\": check every datastore", [&] {
    Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>> results;
    solver->CheckCompatibility(nullptr, Id(gold).Get(), results);
    if (!t.Check(results->GetLength() == 4, "one answer per datastore of the inventory")) return;
    int fitting = 0;
    for (int i = 0; i < results->GetLength(); ++i) {
      const auto* result = results->Get(i);
      const auto* errors = result->GetPtrError();
      const auto* warnings = result->GetPtrWarning();
      bool fits = errors == nullptr || errors->IsEmpty();
      fitting += fits ? 1 : 0;
      t.Say(result->GetHub()->GetHubId() + ": " + (fits ? "fits" : "does not fit"));
      for (int e = 0; errors != nullptr && e < errors->GetLength(); ++e) {
        t.Say("  error: " + Shortened(errors->Get(e)->GetMsg(), 90));
      }
      for (int w = 0; warnings != nullptr && w < warnings->GetLength(); ++w) {
        t.Say("  warning: " + Shortened(warnings->Get(w)->GetMsg(), 90));
      }
    }
    t.Check(fitting == 1 && results->Get(0)->GetHub()->GetHubId() == "ds-fast" &&
                results->Get(0)->GetPtrError() == nullptr,
            "only ds-fast fits");
    Ref<Lumo::DataArray<Zel::Placement::PlacementHub>> matching;
    solver->QueryMatchingHub(nullptr, Id(gold).Get(), matching);
    t.Check(matching->GetLength() == 1 && matching->Get(0)->GetHubId() == "ds-fast",
            "queryMatchingHub answers ds-fast");
    if (matching->GetLength() == 1) t.Say("the new disk goes to " + matching->Get(0)->GetHubId());
  });

  t.Step("Make \"Gold\" the default profile of ds-fast", [&] {
    auto hubs = MakeRef<Lumo::DataArray<Zel::Placement::PlacementHub>>();
    hubs->Append(Datastore("ds-fast").Get());
    profiles->AssignDefaultRequirementProfile(Id(gold).Get(), hubs.Get());
    Ref<Zel::Profile::ProfileId> byDefault;
    profiles->QueryDefaultRequirementProfile(Datastore("ds-fast").Get(), byDefault);
    if (t.Check(byDefault && byDefault->GetUniqueId() == gold, "ds-fast's default is Gold")) {
      t.Say("default of ds-fast: " + byDefault->GetUniqueId());
    }
    profiles->QueryDefaultRequirementProfile(Datastore("ds-bulk").Get(), byDefault);
    t.Check(!byDefault, "ds-bulk has no default");
    t.Say("default of ds-bulk: none");
  });

  t.Step("Roll compliance up for vm-42 and its disks", [&] {
    auto vm = MakeRef<Zel::ServerObjectRef>();
    vm->SetObjectType(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE);
    vm->SetKey("vm-42");
    auto vms = MakeRef<Lumo::DataArray<Zel::ServerObjectRef>>();
    vms->Append(vm.Get());
    Ref<Lumo::DataArray<Zel::Compliance::RollupComplianceResult>> rollups;
    compliance->CheckRollupCompliance(vms.Get(), rollups);
    if (!t.Check(rollups->GetLength() == 1, "one roll-up")) return;
    const auto* rollup = rollups->Get(0);
    const auto* results = rollup->GetPtrResult();
    t.Say("vm-42 overall: " + rollup->GetOverallComplianceStatus());
    for (int i = 0; results != nullptr && i < results->GetLength(); ++i) {
      t.Say("  " + results->Get(i)->GetEntity()->GetKey() + ": " +
            results->Get(i)->GetComplianceStatus());
    }
    t.Check(results != nullptr && results->GetLength() == 3, "the machine and its two disks");
    t.Check(rollup->GetOverallComplianceStatus() == "nonCompliant",
            "nonCompliant overall: vm-42:2001 lives on ds-bulk");
  });
}

}  // namespace Detail
}  // namespace ZelDemo
