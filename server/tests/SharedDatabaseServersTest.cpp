// Two zel-server processes on one PostgreSQL database (a scratch cluster
// each test starts): a profile and a session made on one are used on the
// other, a name raced on both is won once, data of a newer version is
// refused, and a database restarted under load fails calls with a fault
// (the readiness page answers 503) until it is back, when the servers
// carry on without a restart.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/ProfileSpecs.h>
#include <ZelSample/Token.h>
#include <ZelSample/WireEndpoint.h>
#include <ZelTest/Barrier.h>
#include <ZelTest/PgCluster.h>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ServerProcess.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using ZelServerTest::ServerProcess;

// A client of one server: its transport keeps the session cookie.
struct Client {
  Ref<ZelHttp::HttpTransport> transport;
  Ref<Lumo::Wire::WireStubAdapter> adapter;
  Ref<Zel::Auth::SessionManagerStub> sessions;
  Ref<Zel::Profile::ProfileManagerStub> profiles;

  explicit Client(const std::string& url) {
    transport = MakeRef<ZelHttp::HttpTransport>(url);
    adapter = new Lumo::Wire::WireStubAdapter(transport.Get());
    sessions = MakeRef<Zel::Auth::SessionManagerStub>(
        Ref<Lumo::MoRef>(new Lumo::MoRef("zel.auth.SessionManager", "SessionManager")).Get(),
        adapter.Get(), nullptr);
    profiles = new Zel::Profile::ProfileManagerStub(
        Ref<Lumo::MoRef>(new Lumo::MoRef("zel.profile.ProfileManager", "ProfileManager")).Get(),
        adapter.Get(), nullptr);
  }
  void Login(const std::string& user = "loader@sample.test") {
    sessions->LoginByToken(ZelSample::MakeDelegatedToken(user));
  }
  std::string Session() const { return transport->GetCookie(ZelSample::kSessionCookie); }
  // Calls with another client's session from now on.
  void UseSession(const std::string& id) {
    adapter->SetHeader("Cookie", std::string(ZelSample::kSessionCookie) + "=" + id);
  }
  std::vector<std::string> Ids() {
    Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
    profiles->QueryProfile(ZelSample::Build::Storage().Get(), Kestrum::Optional<std::string>(),
                           ids);
    std::vector<std::string> out;
    for (int i = 0; i < ids->GetLength(); ++i) out.push_back(ids->Get(i)->GetUniqueId());
    return out;
  }
  std::string Create(const std::string& name) {
    Ref<Zel::Profile::ProfileId> id;
    profiles->Create(ZelSample::Build::GoldSpec(name).Get(), id);
    return id->GetUniqueId();
  }
};

// The status of GET base+path ("http://127.0.0.1:PORT"); 0 when no answer.
int GetStatus(const std::string& base, const std::string& path) {
  const int port = std::stoi(base.substr(base.rfind(':') + 1));
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval timeout{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  int status = 0;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const std::string request =
        "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
      char buffer[64] = {};
      if (recv(fd, buffer, sizeof buffer - 1, 0) > 12) status = std::atoi(buffer + 9);
    }
  }
  close(fd);
  return status;
}

class SharedDatabaseServersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }
  void SetUp() override {
    cluster = std::make_unique<ZelTest::PgCluster>(ZEL_PG_CLUSTER_SCRIPT);
    if (!cluster->Available()) GTEST_SKIP() << "no PostgreSQL server programs on this machine";
  }
  std::unique_ptr<ServerProcess> Start() {
    auto server =
        std::make_unique<ServerProcess>(std::vector<std::string>{"--data", cluster->Uri()});
    if (server->Url().empty()) ADD_FAILURE() << "zel-server did not start:\n" << server->Output();
    return server;
  }

  std::unique_ptr<ZelTest::PgCluster> cluster;
};

TEST_F(SharedDatabaseServersTest, AProfileAndASessionMadeOnOneServerAreUsedOnTheOther) {
  auto first = Start();
  auto second = Start();
  ASSERT_FALSE(first->Url().empty() || second->Url().empty());
  Client a(first->Url());
  a.Login();
  const std::string gold = a.Create("Gold");

  // The second server serves the session the first opened.
  Client b(second->Url());
  b.UseSession(a.Session());
  EXPECT_EQ(b.Ids(), std::vector<std::string>({gold}));
  const std::string silver = b.Create("Silver");
  EXPECT_EQ(a.Ids(), std::vector<std::string>({gold, silver}));

  // Ended on the second, it is ended on the first.
  b.sessions->Logout();
  EXPECT_THROW(a.Ids(), Lumo::MethodFault::Exception);
}

TEST_F(SharedDatabaseServersTest, ANameRacedOnTwoServersIsWonOnceEachTime) {
  auto first = Start();
  auto second = Start();
  ASSERT_FALSE(first->Url().empty() || second->Url().empty());
  Client a(first->Url());
  Client b(second->Url());
  a.Login();
  b.Login();
  constexpr int kRounds = 50;
  int winners = 0;
  int duplicates = 0;
  for (int round = 0; round < kRounds; ++round) {
    const std::string name = "raced-" + std::to_string(round);
    ZelTest::Barrier barrier(2);
    std::atomic<int> won{0};
    std::atomic<int> duplicate{0};
    auto create = [&](Client& client) {
      barrier.Arrive();
      try {
        client.Create(name);
        ++won;
      } catch (const Zel::Fault::DuplicateName::Exception&) {
        ++duplicate;
      }
    };
    std::thread one([&] { create(a); });
    std::thread two([&] { create(b); });
    one.join();
    two.join();
    EXPECT_EQ(won.load(), 1) << name;
    winners += won.load();
    duplicates += duplicate.load();
  }
  EXPECT_EQ(winners, kRounds);
  EXPECT_EQ(duplicates, kRounds);
  EXPECT_EQ(a.Ids().size(), static_cast<size_t>(kRounds));
  EXPECT_EQ(b.Ids().size(), static_cast<size_t>(kRounds));
}

TEST_F(SharedDatabaseServersTest, DataOfANewerVersionIsRefusedAndNoPasswordIsShown) {
  { auto maker = Start(); }  // makes the schema
  PGconn* conn = PQconnectdb(cluster->Uri().c_str());
  ASSERT_EQ(PQstatus(conn), CONNECTION_OK);
  PQclear(PQexec(conn, "UPDATE zel_schema SET version = 7"));
  PQfinish(conn);
  ServerProcess refused({"--data", cluster->Uri()});
  EXPECT_TRUE(refused.Url().empty());
  EXPECT_EQ(refused.ExitStatus(), 2);
  EXPECT_NE(refused.Output().find("version 7, newer than this service reads"), std::string::npos)
      << refused.Output();

  // A password in the URI is not echoed, whatever the failure.
  std::string uri = cluster->Uri();
  uri.replace(uri.find("postgres@"), 9, "postgres:Hush-Hush-42@");
  ServerProcess secret({"--data", uri});
  EXPECT_TRUE(secret.Url().empty());
  EXPECT_EQ(secret.Output().find("Hush-Hush-42"), std::string::npos) << secret.Output();
}

TEST_F(SharedDatabaseServersTest, ADatabaseRestartedUnderLoadFailsCallsUntilItIsBack) {
  auto first = Start();
  auto second = Start();
  ASSERT_FALSE(first->Url().empty() || second->Url().empty());
  const std::vector<std::string> urls = {first->Url(), second->Url()};

  // A loader per server, creating and reading until told to stop.
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0};
  std::atomic<int> faulted{0};
  std::vector<std::thread> loaders;
  for (size_t s = 0; s < urls.size(); ++s) {
    loaders.emplace_back([&, s] {
      Client client(urls[s]);
      for (int n = 0; !stop; ++n) {
        try {
          if (client.Session().empty()) client.Login();
          client.Create("load-" + std::to_string(s) + "-" + std::to_string(n));
          client.Ids();
          ++answered;
        } catch (const Lumo::MethodFault::Exception&) {
          ++faulted;
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
      }
    });
  }
  auto waitFor = [](auto&& condition) {
    for (int i = 0; i < 600 && !condition(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
  };
  EXPECT_TRUE(waitFor([&] { return answered.load() >= 20; }));

  cluster->Halt();
  // While it is down, every call fails with a fault (no hang: the loaders
  // keep counting faults) and the servers are not ready.
  const int faultedBefore = faulted.load();
  EXPECT_TRUE(waitFor([&] { return faulted.load() >= faultedBefore + 10; }));
  EXPECT_EQ(GetStatus(first->Base(), "/readyz"), 503);
  EXPECT_EQ(GetStatus(second->Base(), "/readyz"), 503);
  {
    Client probe(first->Url());
    EXPECT_THROW(probe.Login(), Lumo::MethodFault::Exception);
  }

  cluster->Restart();
  // The same processes carry on.
  const int answeredBefore = answered.load();
  EXPECT_TRUE(waitFor([&] { return answered.load() >= answeredBefore + 20; }));
  EXPECT_EQ(GetStatus(first->Base(), "/readyz"), 200);
  EXPECT_EQ(GetStatus(second->Base(), "/readyz"), 200);
  stop = true;
  for (std::thread& loader : loaders) loader.join();

  // Both see the same profiles afterwards.
  Client a(first->Url());
  Client b(second->Url());
  a.Login();
  b.Login();
  EXPECT_EQ(a.Ids(), b.Ids());
}

}  // namespace
