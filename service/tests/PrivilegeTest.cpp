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
  auto ghost = MakeRef<Zel::Profile::ProfileManagerStub>(
      RefOf("zel.profile.ProfileManager", "NoSuchObject").Get(), client->adapter.Get(), nullptr);
  Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
  auto fault =
      CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] { ghost->FetchResourceType(types); });
  ASSERT_TRUE(fault);
  EXPECT_NE(fault->GetMsg().find("NoSuchObject"), std::string::npos);

  // A reference that names the session manager as a profile manager.
  auto wrongType = MakeRef<Zel::Profile::ProfileManagerStub>(
      RefOf("zel.profile.ProfileManager", ZelSample::ObjectIds::kSessionManager).Get(),
      client->adapter.Get(), nullptr);
  CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] { wrongType->FetchResourceType(types); });
}

TEST(SessionTableTest, AFullTableLetsEveryLoginInAtTheExpenseOfWhoHoldsMost) {
  ZelSample::SessionTable::Settings settings;
  settings.maxSessions = 3;
  settings.maxSessionsPerUser = 2;
  ZelSample::SessionTable table(settings);
  std::string a1 = table.Open("alice", {});
  std::string a2 = table.Open("alice", {});
  std::string b1 = table.Open("bob", {});
  EXPECT_EQ(a1.size(), 32u);
  ASSERT_TRUE(table.Find(a1));  // a2 is now alice's least recently used
  std::string a3 = table.Open("alice", {});
  EXPECT_TRUE(table.Find(a1));
  EXPECT_FALSE(table.Find(a2));
  EXPECT_TRUE(table.Find(a3));
  EXPECT_TRUE(table.Find(b1));
  EXPECT_EQ(table.CountOf("alice"), 2u);

  // Full: carol gets in; alice, who holds the most, gives up her least
  // recently used session (a1), though bob's was used less recently.
  std::string c1 = table.Open("carol", {});
  EXPECT_NE(c1, "");
  EXPECT_EQ(table.Count(), 3u);
  EXPECT_FALSE(table.Find(a1));
  EXPECT_TRUE(table.Find(a3));
  EXPECT_TRUE(table.Find(c1));
  // Everyone holds one now: the session idle longest (bob's) makes room.
  EXPECT_NE(table.Open("dave", {}), "");
  EXPECT_FALSE(table.Find(b1));
  EXPECT_TRUE(table.Find(a3));
  EXPECT_TRUE(table.Find(c1));
  ASSERT_TRUE(table.Close(c1));
  EXPECT_FALSE(table.Close(c1));
  EXPECT_EQ(table.CountOf("carol"), 0u);
}

TEST(SessionTableTest, ManyUsersFillingTheTableNeverLockOthersOut) {
  ZelSample::SessionTable::Settings settings;
  settings.maxSessions = 64;
  ZelSample::SessionTable table(settings);
  for (int i = 0; i < 1000; ++i) ASSERT_NE(table.Open("minted" + std::to_string(i), {}), "");
  EXPECT_EQ(table.Count(), 64u);
  std::string mine = table.Open("alice", {});
  EXPECT_TRUE(table.Find(mine));
}

ZelSample::DelegatedToken TokenSigned(const std::string& signature, int64_t lifetime = 3600) {
  ZelSample::DelegatedToken token;
  token.subject = "alice";
  token.issuedAt = ZelSample::TokenClockNow();
  token.expires = token.issuedAt + lifetime;
  token.signature = signature;
  return token;
}

TEST(SessionTableTest, ALoggedOutTokenOpensNoOtherSession) {
  ZelSample::SessionTable::Settings settings;
  settings.maxLoggedOutTokens = 2;
  ZelSample::SessionTable table(settings);
  std::string id = table.Open(TokenSigned("t1"));
  ASSERT_NE(id, "");
  EXPECT_EQ(table.Find(id)->user, "alice");
  EXPECT_TRUE(table.LogOut(id));
  EXPECT_FALSE(table.LogOut(id));
  std::string refusal;
  EXPECT_EQ(table.Open(TokenSigned("t1"), &refusal), "");
  EXPECT_NE(refusal.find("logged out"), std::string::npos) << refusal;
  // Another token of the same user logs in; a session closed otherwise than
  // by a logout (a second login on it, an idle end) leaves its token usable.
  std::string other = table.Open(TokenSigned("t2", 60));
  EXPECT_NE(other, "");
  EXPECT_TRUE(table.Close(other));
  other = table.Open(TokenSigned("t2", 60));
  EXPECT_NE(other, "");
  // At the bound, the logged-out token that expires first is forgotten.
  ASSERT_TRUE(table.LogOut(other));
  ASSERT_TRUE(table.LogOut(table.Open(TokenSigned("t3", 7200))));
  EXPECT_NE(table.Open(TokenSigned("t2", 60)), "");
  EXPECT_EQ(table.Open(TokenSigned("t1")), "");
  EXPECT_EQ(table.Open(TokenSigned("t3", 7200)), "");
  // An expired token is not remembered (it could not log in anyway).
  ASSERT_TRUE(table.LogOut(table.Open(TokenSigned("t4", -10))));
  EXPECT_NE(table.Open(TokenSigned("t4", -10)), "");
  EXPECT_EQ(table.Open(TokenSigned("t1")), "");
}

TEST(SessionTableTest, IdleSessionsExpireAndMakeRoom) {
  ZelSample::SessionTable::Settings settings;
  settings.maxSessions = 1;
  // Any time at all since the last use is too long.
  settings.idleTimeout = std::chrono::seconds(-1);
  ZelSample::SessionTable table(settings);
  std::string d = table.Open("d", {});
  std::string e = table.Open("e", {});  // d has expired: it makes room
  EXPECT_NE(e, "");
  EXPECT_FALSE(table.Find(d));
  EXPECT_FALSE(table.Find(e));
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_FALSE(table.Find(""));
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class BoundedSessionsTest : public ServiceTest {
 protected:
  void SetUp() override {
    ZelSample::ServiceSettings settings;
    settings.sessions.maxSessions = 2;
    settings.sessions.maxSessionsPerUser = 2;
    service = std::make_unique<ZelSample::SampleService>(settings);
    client = std::make_unique<Client>(*service);
  }
  bool CanView(Client& who) {
    Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
    try {
      who.profiles->FetchResourceType(types);
      return true;
    } catch (const Lumo::MethodFault::Exception&) {
      return false;
    }
  }
};

TEST_F(BoundedSessionsTest, UnauthenticatedCallsAndRefusedLoginsNeverEvictASession) {
  client->Login("alice");
  ASSERT_TRUE(CanView(*client));
  const std::string forged = Replace(ZelSample::MakeDelegatedToken("mallory"), "mallory", "alice");
  for (int i = 0; i < 50; ++i) {
    Client stranger(*service);  // its retrieveContent is an anonymous call
    Ref<Zel::ServiceInstanceContent> content;
    stranger.instance->RetrieveContent(content);
    EXPECT_FALSE(CanView(stranger));
    CatchFault<Zel::Fault::InvalidLogin::Exception>(
        [&] { stranger.sessions->LoginByToken(forged); });
  }
  EXPECT_EQ(service->GetSessions().Count(), 1u);
  EXPECT_TRUE(CanView(*client));

  // A full table lets the next login in: the session idle longest (alice's,
  // all holding one) ends.
  Client bob(*service), carol(*service);
  bob.Login("bob");
  carol.Login("carol");
  EXPECT_FALSE(CanView(*client));
  EXPECT_TRUE(CanView(bob));
  EXPECT_TRUE(CanView(carol));
}

TEST_F(BoundedSessionsTest, ALoggedOutTokenCannotLogInAgain) {
  const std::string token = ZelSample::MakeDelegatedToken("alice");
  client->sessions->LoginByToken(token);
  ASSERT_TRUE(CanView(*client));
  // A second login with it on the same session is no logout.
  client->sessions->LoginByToken(token);
  ASSERT_TRUE(CanView(*client));
  client->sessions->Logout();
  auto fault = CatchFault<Zel::Fault::InvalidLogin::Exception>(
      [&] { client->sessions->LoginByToken(token); });
  ASSERT_TRUE(fault);
  EXPECT_NE(fault->GetMsg().find("logged out"), std::string::npos) << fault->GetMsg();
  Client other(*service);
  EXPECT_TRUE(CatchFault<Zel::Fault::InvalidLogin::Exception>(
      [&] { other.sessions->LoginByToken(token); }));
  client->Login("alice");  // a token minted anew
  EXPECT_TRUE(CanView(*client));
}

TEST_F(BoundedSessionsTest, AUsersSessionsAreCappedAtTheExpenseOfTheirOldest) {
  Client second(*service), third(*service);
  client->Login("alice");
  second.Login("alice");
  third.Login("alice");  // alice's third session ends her least recently used, the first
  EXPECT_FALSE(CanView(*client));
  EXPECT_TRUE(CanView(second));
  EXPECT_TRUE(CanView(third));
  EXPECT_EQ(service->GetSessions().CountOf("alice"), 2u);
}

}  // namespace
}  // namespace ZelSampleTest
