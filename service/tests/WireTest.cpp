// The sample service on the wire: calls travel as XML through the endpoint,
// whose dispatcher checks privileges and whose cookie carries the session.
#include <Lumo/Fault/NotSupported.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Fault/InvalidLogin.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <ZelSample/WireEndpoint.h>

#include "TestSupport.h"
#include "WireClient.h"

namespace ZelSampleTest {
namespace {

class WireTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    endpoint = new ZelSample::WireEndpoint(*service);
    wire = std::make_unique<WireClient>(endpoint.Get(), "zel.version.version14");
  }
  void TearDown() override {
    wire.reset();
    endpoint.Reset();
    ServiceTest::TearDown();
  }

  Ref<ZelSample::WireEndpoint> endpoint;
  std::unique_ptr<WireClient> wire;
};

TEST_F(WireTest, LoginSetsTheSessionCookieAndLogoutClearsIt) {
  wire->sessions->LoginByToken(ZelSample::MakeDelegatedToken("alice"));
  std::string session = wire->transport->GetSession();
  EXPECT_EQ(session.size(), 32u);
  EXPECT_TRUE(service->GetSessions().Find(session));
  Lumo::Wire::Headers headers = wire->adapter->GetLastResponseHeaders();
  const std::string* setCookie = Lumo::Wire::FindHeader(headers, "Set-Cookie");
  ASSERT_NE(setCookie, nullptr);
  EXPECT_EQ(setCookie->find("zel_session=" + session), 0u) << *setCookie;

  Ref<Zel::Profile::ProfileId> id;
  wire->profiles->Create(GoldSpec().Get(), id);
  EXPECT_EQ(id->GetUniqueId().size(), 36u);

  wire->sessions->Logout();
  EXPECT_TRUE(wire->transport->GetSession().empty());
  EXPECT_FALSE(service->GetSessions().Find(session));
  headers = wire->adapter->GetLastResponseHeaders();
  setCookie = Lumo::Wire::FindHeader(headers, "Set-Cookie");
  ASSERT_NE(setCookie, nullptr);
  EXPECT_NE(setCookie->find("Max-Age=0"), std::string::npos);
}

TEST_F(WireTest, RefusalsTravelAsTheirOwnFaultTypes) {
  Ref<Zel::Profile::ProfileId> id;
  auto refused = CatchFault<Lumo::MethodFault::Exception>(
      [&] { wire->profiles->Create(GoldSpec().Get(), id); });
  ASSERT_TRUE(IsExactly<Lumo::MethodFault>(refused.Get()));
  EXPECT_NE(refused->GetMsg().find("StorageProfile.Update"), std::string::npos);

  auto login = CatchFault<Zel::Fault::InvalidLogin::Exception>(
      [&] { wire->sessions->LoginByToken("<nonsense/>"); });
  EXPECT_TRUE(IsExactly<Zel::Fault::InvalidLogin>(login.Get()));

  wire->sessions->LoginByToken(ZelSample::MakeDelegatedToken("viewer", {"StorageProfile.View"}));
  refused = CatchFault<Lumo::MethodFault::Exception>(
      [&] { wire->profiles->Create(GoldSpec().Get(), id); });
  ASSERT_TRUE(IsExactly<Lumo::MethodFault>(refused.Get()));
  EXPECT_NE(refused->GetMsg().find("viewer"), std::string::npos);

  wire->sessions->LoginByToken(ZelSample::MakeDelegatedToken("writer"));
  wire->profiles->Create(GoldSpec().Get(), id);
  auto duplicate = CatchFault<Zel::Fault::DuplicateName::Exception>(
      [&] { wire->profiles->Create(GoldSpec().Get(), id); });
  ASSERT_TRUE(IsExactly<Zel::Fault::DuplicateName>(duplicate.Get()));
  EXPECT_EQ(static_cast<Zel::Fault::DuplicateName*>(duplicate.Get())->GetName(), "Gold");

  Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
  wire->profiles->Delete(ArrayOf<Zel::Profile::ProfileId>({Id("missing")}).Get(), outcomes);
  ASSERT_EQ(outcomes->GetLength(), 1);
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(outcomes->Get(0)->GetFault()));

  auto unserved = CatchFault<Lumo::Fault::NotSupported::Exception>(
      [&] { wire->profiles->ResetKoruDefaultProfile(); });
  EXPECT_TRUE(IsExactly<Lumo::Fault::NotSupported>(unserved.Get()));
}

TEST_F(WireTest, AForgedOrForeignCookieOpensNothing) {
  WireClient other(endpoint.Get());
  other.sessions->LoginByToken(ZelSample::MakeDelegatedToken("bob"));

  // A request that names a session the service never opened.
  Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
  auto plain = MakeRef<ZelSample::InProcessTransport>(endpoint.Get());
  auto forged = MakeRef<Lumo::Wire::WireStubAdapter>(plain.Get());
  forged->SetHeader("Cookie", "zel_session=00000000000000000000000000000000");
  auto stub = MakeRef<Zel::Profile::ProfileManagerStub>(
      RefOf("zel.profile.ProfileManager", "ProfileManager").Get(), forged.Get(), nullptr);
  auto fault = CatchFault<Lumo::MethodFault::Exception>([&] { stub->FetchResourceType(types); });
  ASSERT_TRUE(IsExactly<Lumo::MethodFault>(fault.Get()));
  EXPECT_NE(fault->GetMsg().find("ended or expired"), std::string::npos);

  // Bob's session serves Bob only through his cookie.
  other.profiles->FetchResourceType(types);
  EXPECT_EQ(types->GetLength(), 1);
  CatchFault<Lumo::MethodFault::Exception>([&] { wire->profiles->FetchResourceType(types); });
}

TEST_F(WireTest, AnOlderVersionIsServedInItsOwnTerms) {
  WireClient old(endpoint.Get(), "zel.version.version2");
  old.sessions->LoginByToken(ZelSample::MakeDelegatedToken("old"));
  auto instance = MakeRef<Zel::ServiceInstanceStub>(service->GetServiceInstanceRef().Get(),
                                                    old.adapter.Get(), nullptr);
  Ref<Zel::ServiceInstanceContent> content;
  instance->RetrieveContent(content);
  EXPECT_NE(content->GetProfileManager(), nullptr);
  EXPECT_EQ(content->GetReplicationManager(), nullptr);  // a version11 property
}

}  // namespace
}  // namespace ZelSampleTest
