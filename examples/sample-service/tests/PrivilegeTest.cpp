// Sessions and privileges: what a call may do depends on the session it comes
// with, checked from the privilege in the method's record.
#include <Lumo/Fault/InvalidArgument.h>
#include <Olyx/Zel/Fault/InvalidLogin.h>

#include <thread>

#include "TestSupport.h"

namespace ZelSampleTest {
namespace {

using Zel::Profile::ProfileId;

TEST_F(ServiceTest, AnonymousMethodsWorkWithoutASession) {
  Ref<Zel::ServiceInstanceContent> content;
  client->instance->RetrieveContent(content);
  ASSERT_TRUE(content);
  Ref<Zel::ServiceInstanceContent> property;
  client->instance->GetContent(property);
  EXPECT_TRUE(property->_IsEqual(content.Get()));
  EXPECT_TRUE(client->adapter->GetSessionId().empty());
}

TEST_F(ServiceTest, OtherMethodsAreRefusedWithoutASession) {
  Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
  auto fault =
      CatchFault<Lumo::MethodFault::Exception>([&] { client->profiles->FetchResourceType(types); });
  ASSERT_TRUE(IsExactly<Lumo::MethodFault>(fault.Get()));
  EXPECT_NE(fault->GetMsg().find("zel.profile.ProfileManager.fetchResourceType"), std::string::npos)
      << fault->GetMsg();
  EXPECT_NE(fault->GetMsg().find("StorageProfile.View"), std::string::npos);
  EXPECT_NE(fault->GetMsg().find("log in"), std::string::npos);

  // Logout itself needs a session.
  fault = CatchFault<Lumo::MethodFault::Exception>([&] { client->sessions->Logout(); });
  EXPECT_TRUE(IsExactly<Lumo::MethodFault>(fault.Get()));
}

TEST_F(ServiceTest, RefusedCallsChangeNothing) {
  auto fault = CatchFault<Lumo::MethodFault::Exception>([&] { Create(GoldSpec()); });
  EXPECT_TRUE(IsExactly<Lumo::MethodFault>(fault.Get()));
  client->Login();
  Ref<Lumo::DataArray<ProfileId>> ids;
  client->profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
  EXPECT_EQ(ids->GetLength(), 0);
}

TEST_F(ServiceTest, LoginOpensASessionThatGrantsTheTokensPrivileges) {
  client->Login();
  EXPECT_FALSE(client->adapter->GetSessionId().empty());
  EXPECT_EQ(service->GetSessions().Count(), 1u);
  std::string id = Create(GoldSpec());
  Ref<Lumo::DataArray<Zel::Profile::Profile>> profiles;
  client->profiles->RetrieveContent(ArrayOf<ProfileId>({Id(id)}).Get(), profiles);
  ASSERT_EQ(profiles->GetLength(), 1);
  EXPECT_EQ(profiles->Get(0)->GetCreatedBy(), "alice@sample.test");
}

TEST_F(ServiceTest, AReadOnlySessionMayViewButNotUpdate) {
  client->Login("viewer", {ZelSample::kPrivilegeView});
  Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
  client->profiles->FetchResourceType(types);
  EXPECT_EQ(types->GetLength(), 1);
  auto fault = CatchFault<Lumo::MethodFault::Exception>([&] { Create(GoldSpec()); });
  ASSERT_TRUE(IsExactly<Lumo::MethodFault>(fault.Get()));
  EXPECT_NE(fault->GetMsg().find("StorageProfile.Update"), std::string::npos) << fault->GetMsg();
  EXPECT_NE(fault->GetMsg().find("viewer"), std::string::npos);
}

TEST_F(ServiceTest, BadTokensAreRefusedWithInvalidLogin) {
  for (const std::string& token : {std::string("not xml"), std::string("<DelegatedToken/>"),
                                   ZelSample::MakeDelegatedToken("")}) {
    auto fault = CatchFault<Zel::Fault::InvalidLogin::Exception>(
        [&] { client->sessions->LoginByToken(token); });
    ASSERT_TRUE(IsExactly<Zel::Fault::InvalidLogin>(fault.Get())) << token;
    EXPECT_NE(fault->GetMsg().find("refused"), std::string::npos);
  }
  EXPECT_TRUE(client->adapter->GetSessionId().empty());
  EXPECT_EQ(service->GetSessions().Count(), 0u);
}

TEST_F(ServiceTest, LogoutEndsTheSession) {
  client->Login();
  std::string session = client->adapter->GetSessionId();
  client->sessions->Logout();
  EXPECT_TRUE(client->adapter->GetSessionId().empty());
  EXPECT_FALSE(service->GetSessions().Find(session));

  // A client that kept the old id is refused as well.
  client->adapter->SetSessionId(session);
  Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
  auto fault =
      CatchFault<Lumo::MethodFault::Exception>([&] { client->profiles->FetchResourceType(types); });
  ASSERT_TRUE(IsExactly<Lumo::MethodFault>(fault.Get()));
  EXPECT_NE(fault->GetMsg().find("ended or expired"), std::string::npos) << fault->GetMsg();
}

TEST_F(ServiceTest, ASecondLoginReplacesTheFirstSession) {
  client->Login("first");
  std::string first = client->adapter->GetSessionId();
  client->Login("second");
  EXPECT_NE(client->adapter->GetSessionId(), first);
  EXPECT_FALSE(service->GetSessions().Find(first));
  EXPECT_EQ(service->GetSessions().Count(), 1u);
}

TEST_F(ServiceTest, SessionsOfTwoClientsAreApart) {
  Client other(*service);
  client->Login();
  Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
  CatchFault<Lumo::MethodFault::Exception>([&] { other.profiles->FetchResourceType(types); });
  other.Login("bob");
  other.sessions->Logout();
  client->profiles->FetchResourceType(types);  // still logged in
  EXPECT_EQ(types->GetLength(), 1);
}

TEST_F(ServiceTest, CallsToUnknownObjectsOrForeignMethodsAreRefused) {
  client->Login();
  Ref<Zel::Profile::ProfileManagerStub> ghost(new Zel::Profile::ProfileManagerStub(
      RefOf("zel.profile.ProfileManager", "NoSuchObject").Get(), client->adapter.Get(), nullptr));
  Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
  auto fault =
      CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] { ghost->FetchResourceType(types); });
  ASSERT_TRUE(fault);
  EXPECT_NE(fault->GetMsg().find("NoSuchObject"), std::string::npos);

  // A reference that names the session manager as a profile manager.
  Ref<Zel::Profile::ProfileManagerStub> wrongType(new Zel::Profile::ProfileManagerStub(
      RefOf("zel.profile.ProfileManager", ZelSample::ObjectIds::kSessionManager).Get(),
      client->adapter.Get(), nullptr));
  CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] { wrongType->FetchResourceType(types); });
}

TEST(SessionTableTest, IdleSessionsExpireAndAFullTableDropsTheLeastRecentlyUsed) {
  ZelSample::SessionTable::Settings settings;
  settings.maxSessions = 2;
  ZelSample::SessionTable table(settings);
  std::string a = table.Open("a", {});
  std::string b = table.Open("b", {});
  EXPECT_EQ(a.size(), 32u);
  EXPECT_NE(a, b);
  ASSERT_TRUE(table.Find(a));  // a is now the most recently used
  std::string c = table.Open("c", {});
  EXPECT_TRUE(table.Find(a));
  EXPECT_FALSE(table.Find(b));
  EXPECT_TRUE(table.Find(c));
  EXPECT_EQ(table.Count(), 2u);

  settings.idleTimeout = std::chrono::seconds(0);
  ZelSample::SessionTable quick(settings);
  std::string d = quick.Open("d", {});
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(quick.Find(d));
  EXPECT_EQ(quick.Count(), 0u);
  EXPECT_FALSE(quick.Find(""));
}

}  // namespace
}  // namespace ZelSampleTest
