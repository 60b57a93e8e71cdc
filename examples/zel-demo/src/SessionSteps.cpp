// The first and last steps of the demo conversation: the service content
// and the login, the deletion of what it made and the logout.
#include <Lumo/Wire/Wsdl.h>
#include <Olyx/Zel/AboutInfo.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Compliance/ComplianceManager.h>
#include <Olyx/Zel/Fault/InvalidLogin.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelSample/Token.h>

#include "Conversing.h"

namespace ZelDemo {
namespace Detail {

using Zel::Profile::ProfileId;

void RunOpeningSteps(Conversing& demo) {
  Transcript& t = demo.t;
  Lumo::StubAdapter* adapter = demo.adapter;
  const ConversationOptions& options = demo.options;
  const std::string& version = options.version;
  auto& instance = demo.instance;
  auto& content = demo.content;
  auto& sessions = demo.sessions;
  auto& profiles = demo.profiles;
  auto& compliance = demo.compliance;

  t.Step("Retrieve the service content (no login needed)", [&] {
    instance->RetrieveContent(content);
    if (!t.Check(content && content->GetAboutInfo(), "a content with about information")) return;
    const Zel::AboutInfo* about = content->GetAboutInfo();
    t.Say("service: " + about->GetName() + " " + about->GetVersion() + ", instance " +
          about->GetInstanceUuid());
    struct Manager {
      const char* name;
      Lumo::MoRef* ref;
    };
    const Manager managers[] = {
        {"sessionManager", content->GetSessionManager()},
        {"profileManager", content->GetProfileManager()},
        {"capabilityMetadataManager", content->GetCapabilityMetadataManager()},
        {"complianceManager", content->GetComplianceManager()},
        {"placementSolver", content->GetPlacementSolver()},
    };
    for (const Manager& manager : managers) {
      if (t.Check(manager.ref != nullptr, std::string("a reference to the ") + manager.name)) {
        t.Say(std::string(manager.name) + ": " + manager.ref->GetTypeName() + " \"" +
              manager.ref->GetId() + "\"");
      }
    }
    bool replication = Lumo::Wire::ApiVersionCarries(
        version,
        PropertyVersion(Lumo::GetDoType<Zel::ServiceInstanceContent>(), "replicationManager"));
    if (replication) {
      if (t.Check(content->GetReplicationManager() != nullptr,
                  "a reference to the replication manager")) {
        t.Say("replicationManager: " + content->GetReplicationManager()->GetTypeName() + " \"" +
              content->GetReplicationManager()->GetId() + "\"");
      }
    } else {
      t.Check(content->GetReplicationManager() == nullptr, "no replication manager in " + version);
      t.Say("replicationManager: not part of " + version);
    }
    sessions = new Zel::Auth::SessionManagerStub(content->GetSessionManager(), adapter, nullptr);
    profiles = new Zel::Profile::ProfileManagerStub(content->GetProfileManager(), adapter, nullptr);
    compliance = new Zel::Compliance::ComplianceManagerStub(content->GetComplianceManager(),
                                                            adapter, nullptr);
  });
  if (!profiles) return;

  t.Step("Ask for the resource types before logging in: refused", [&] {
    auto fault = Expect<Lumo::MethodFault::Exception>(t, "the call is refused", [&] {
      Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
      profiles->FetchResourceType(types);
    });
    if (fault) t.Say("refused with " + FaultName(fault.Get()) + ": " + fault->GetMsg());
  });

  t.Step("Log in by token as " + options.user, [&] {
    auto forged = Expect<Zel::Fault::InvalidLogin::Exception>(t, "a forged token is refused", [&] {
      sessions->LoginByToken("<DelegatedToken><Subject>mallory</Subject>");
    });
    if (forged) {
      t.Say("a malformed token: caught Zel::Fault::InvalidLogin::Exception (" +
            Shortened(forged->GetMsg(), 80) + ")");
    }
    sessions->LoginByToken(ZelSample::MakeDelegatedToken(options.user));
    t.Say("a token of the sample issuer: logged in");
  });
}

void RunClosingSteps(Conversing& demo) {
  Transcript& t = demo.t;
  auto& sessions = demo.sessions;
  auto& profiles = demo.profiles;
  const std::string& gold = demo.gold;
  const std::string& bronze = demo.bronze;

  t.Step("Delete the two profiles and one that does not exist", [&] {
    Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
    profiles->Delete(ArrayOf<ProfileId>({Id(gold), Id(bronze), Id("no-such-profile")}).Get(),
                     outcomes);
    if (!t.Check(outcomes->GetLength() == 3, "one outcome per profile")) return;
    for (int i = 0; i < 3; ++i) {
      const auto* outcome = outcomes->Get(i);
      const Lumo::MethodFault* fault = outcome->GetFault();
      t.Say(outcome->GetProfileId()->GetUniqueId() + ": " +
            (fault ? FaultName(fault) + " (" + fault->GetMsg() + ")" : "deleted"));
    }
    t.Check(outcomes->Get(0)->GetFault() == nullptr && outcomes->Get(1)->GetFault() == nullptr,
            "Gold and Bronze deleted");
    t.Check(outcomes->Get(2)->GetFault() != nullptr &&
                outcomes->Get(2)->GetFault()->_GetType() == Lumo::GetDoType<Zel::Fault::NotFound>(),
            "a zel.fault.NotFound inside the third outcome");
    Ref<Lumo::DataArray<ProfileId>> ids;
    profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
    for (int i = 0; i < ids->GetLength(); ++i) {
      t.Check(ids->Get(i)->GetUniqueId() != gold && ids->Get(i)->GetUniqueId() != bronze,
              "the deleted profiles are gone");
    }
  });

  t.Step("Log out; the session no longer serves", [&] {
    sessions->Logout();
    t.Say("logged out");
    auto fault = Expect<Lumo::MethodFault::Exception>(t, "a call after logout is refused", [&] {
      Ref<Lumo::DataArray<ProfileId>> ids;
      profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
    });
    if (fault) t.Say("queryProfile refused: " + Shortened(fault->GetMsg(), 90));
  });
}

}  // namespace Detail
}  // namespace ZelDemo
