// The demo steps about associations: "Gold" associated with a virtual
// machine and its disks, the associations queried both ways, and the
// compliance of the entities.
#include <Olyx/Zel/Compliance/ComplianceManager.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Compliance/PolicyStatus.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/QueryProfileResult.h>
#include <Olyx/Zel/ServerObjectRef.h>

#include "Conversing.h"
#include "Describe.h"

namespace ZelDemo {
namespace Detail {

using Zel::Profile::ProfileId;

void RunAssociationSteps(Conversing& demo) {
  Transcript& t = demo.t;
  auto& profiles = demo.profiles;
  auto& compliance = demo.compliance;
  const std::string& gold = demo.gold;
  const std::string& bronze = demo.bronze;
  const auto& vm = demo.vm;
  const auto& disk0 = demo.disk0;
  const auto& disk1 = demo.disk1;

  t.Step("Associate \"Gold\" with the virtual machine vm-42 and its two disks", [&] {
    for (const auto& entity : {vm, disk0, disk1}) {
      profiles->Associate(entity.Get(), Id(gold).Get(), nullptr);
      t.Say("associated " + Describe(*entity));
    }
  });

  t.Step("Query the associations from the entities", [&] {
    Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>> results;
    profiles->QueryAssociatedProfiles(ArrayOf<Zel::ServerObjectRef>({vm, disk0, disk1}).Get(),
                                      results);
    if (!t.Check(results->GetLength() == 3, "one answer per entity")) return;
    for (int i = 0; i < results->GetLength(); ++i) {
      const auto* one = results->Get(i);
      const auto* ids = one->GetPtrProfileId();
      std::string id = ids != nullptr && ids->GetLength() == 1 ? ids->Get(0)->GetUniqueId() : "";
      t.Say(Describe(*one->GetObject()) + " -> " + (id == gold ? "Gold" : id));
      t.Check(id == gold, "Gold associated with " + one->GetObject()->GetKey());
    }
    Ref<Lumo::DataArray<ProfileId>> ofVm;
    profiles->QueryAssociatedProfile(vm.Get(), ofVm);
    t.Check(ofVm->GetLength() == 1 && ofVm->Get(0)->GetUniqueId() == gold,
            "queryAssociatedProfile of vm-42 answers Gold");
  });

  t.Step("Query the associations from the profile", [&] {
    Ref<Lumo::DataArray<Zel::ServerObjectRef>> entities;
    profiles->QueryAssociatedEntity(Id(gold).Get(), Kestrum::Optional<std::string>(), entities);
    std::string listed;
    for (int i = 0; i < entities->GetLength(); ++i) {
      listed += (i ? ", " : "") + entities->Get(i)->GetKey();
    }
    t.Say("Gold -> " + listed);
    t.Check(entities->GetLength() == 3, "three entities");
    profiles->QueryAssociatedEntity(
        Id(gold).Get(),
        Kestrum::Optional<std::string>(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID), entities);
    t.Say("Gold -> " + std::to_string(entities->GetLength()) + " of type virtualDiskId");
    t.Check(entities->GetLength() == 2, "two disks");
    profiles->QueryAssociatedEntity(Id(bronze).Get(), Kestrum::Optional<std::string>(), entities);
    t.Check(entities->GetLength() == 0, "nothing associated with Bronze");
  });

  t.Step("Check compliance of the virtual machine and its disks", [&] {
    Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
    compliance->CheckCompliance(ArrayOf<Zel::ServerObjectRef>({vm, disk0, disk1}).Get(), nullptr,
                                results);
    if (!t.Check(results->GetLength() == 3, "one result per entity")) return;
    const char* expected[] = {"compliant", "compliant", "nonCompliant"};
    for (int i = 0; i < 3; ++i) {
      const auto* result = results->Get(i);
      t.Say(Describe(*result->GetEntity()) + ": " + result->GetComplianceStatus());
      const auto* violated = result->GetPtrViolatedPolicies();
      for (int v = 0; violated != nullptr && v < violated->GetLength(); ++v) {
        const auto* status = violated->Get(v);
        t.Say("  wanted " + Describe(*status->GetExpectedValue()) + ", offered " +
              (status->GetCurrentValue() ? Describe(*status->GetCurrentValue()) : "nothing"));
      }
      t.Check(result->GetComplianceStatus() == expected[i],
              result->GetEntity()->GetKey() + " is " + expected[i]);
    }
  });
}

}  // namespace Detail
}  // namespace ZelDemo
