// Calls on one service on a PostgreSQL database run at the same time: reads
// of the state beside each other, a call held up in the database holds up
// no other (nor does a change: it holds reads off only to apply what it
// committed), and many clients changing the data on two services at once
// leave both with the same, complete data. Each test starts a scratch
// cluster of its own.
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <ZelTest/Barrier.h>
#include <ZelTest/PgCluster.h>
#include <libpq-fe.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "TestSupport.h"
#include "store/State.h"
#include "store/Store.h"

namespace ZelSampleTest {
namespace {

using Zel::Profile::ProfileId;

// A connection of the test's own, outside any service.
class Connection {
 public:
  explicit Connection(const std::string& uri) : _conn(PQconnectdb(uri.c_str())) {}
  ~Connection() { PQfinish(_conn); }
  bool Ok() const { return PQstatus(_conn) == CONNECTION_OK; }
  // Runs one statement; its first value, empty for none.
  std::string Sql(const char* statement) {
    PGresult* result = PQexec(_conn, statement);
    const ExecStatusType status = PQresultStatus(result);
    EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        << statement << ": " << PQerrorMessage(_conn);
    std::string value = PQntuples(result) > 0 ? PQgetvalue(result, 0, 0) : "";
    PQclear(result);
    return value;
  }

 private:
  PGconn* _conn;
};

class SharedDatabaseConcurrencyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }
  void SetUp() override {
    cluster = std::make_unique<ZelTest::PgCluster>(ZEL_PG_CLUSTER_SCRIPT);
    if (!cluster->Available()) GTEST_SKIP() << "no PostgreSQL server programs on this machine";
  }

  std::unique_ptr<ZelSample::SampleService> Open() {
    ZelSample::ServiceSettings settings;
    settings.dataFile = cluster->Uri();
    return std::make_unique<ZelSample::SampleService>(settings);
  }

  static std::set<std::string> Ids(Client& client) {
    Ref<Lumo::DataArray<ProfileId>> ids;
    client.profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
    std::set<std::string> out;
    for (int i = 0; i < ids->GetLength(); ++i) out.insert(ids->Get(i)->GetUniqueId());
    return out;
  }

  std::unique_ptr<ZelTest::PgCluster> cluster;
};

TEST_F(SharedDatabaseConcurrencyTest, ReadersOfTheStateRunBesideOneAnotherAndCatchUpInTurn) {
  ZelSample::GuardedState state(ZelSample::OpenPostgresStore(cluster->Uri()));
  constexpr int kReaders = 4;
  {
    // Every reader holds its view until all of them and this one hold
    // theirs: only reads that run beside one another get there.
    ZelSample::SharedState held = state.LockShared();
    ZelTest::Barrier together(kReaders + 1, std::chrono::seconds(60));
    std::vector<std::thread> readers;
    std::atomic<size_t> counted{0};
    for (int n = 0; n < kReaders; ++n) {
      readers.emplace_back([&] {
        ZelSample::SharedState mine = state.LockShared();
        counted += mine->ProfileCount();
        together.Arrive();
      });
    }
    together.Arrive();
    for (auto& reader : readers) reader.join();
    EXPECT_FALSE(together.TimedOut());
    EXPECT_EQ(together.MostInside(), kReaders + 1);
    EXPECT_EQ(counted.load(), 0u);
  }

  // Another service changes the data while a read is held: a reader that
  // finds the state behind catches up once that read has ended, and reads
  // the change.
  auto other = Open();
  Client writer(*other);
  writer.Login();
  auto held = std::make_unique<ZelSample::SharedState>(state.LockShared());
  Ref<ProfileId> id;
  writer.profiles->Create(GoldSpec().Get(), id);
  size_t seen = 0;
  std::thread reader([&] { seen = state.LockShared()->ProfileCount(); });
  EXPECT_EQ((*held)->ProfileCount(), 0u);  // what a view reads does not move under it
  held.reset();
  reader.join();
  EXPECT_EQ(seen, 1u);
}

TEST_F(SharedDatabaseConcurrencyTest, ACallHeldUpInTheDatabaseHoldsUpNoOtherCall) {
  auto service = Open();
  constexpr int kOthers = 4;
  Client held(*service);
  held.Login("held@sample.test");
  std::vector<std::unique_ptr<Client>> others;
  for (int n = 0; n < kOthers; ++n) {
    others.push_back(std::make_unique<Client>(*service));
    others.back()->Login("other" + std::to_string(n) + "@sample.test");
  }
  Ref<ProfileId> id;
  others[0]->profiles->Create(GoldSpec().Get(), id);

  // The held session was last used a while ago, so its next call writes its
  // use; the test holds the session's row, so that write waits.
  Connection test(cluster->Uri());
  Connection watch(cluster->Uri());
  ASSERT_TRUE(test.Ok() && watch.Ok());
  test.Sql(
      "UPDATE zel_sessions SET last_used = last_used - interval '10 seconds' "
      "WHERE user_name = 'held@sample.test'");
  test.Sql("BEGIN");
  test.Sql("SELECT 1 FROM zel_sessions WHERE user_name = 'held@sample.test' FOR UPDATE");
  std::atomic<bool> heldDone{false};
  std::set<std::string> heldSaw;
  std::thread heldCall([&] {
    try {
      heldSaw = Ids(held);
    } catch (...) {
    }
    heldDone = true;
  });
  while (watch.Sql("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' "
                   "AND application_name = 'zel-server'") == "0") {
    std::this_thread::yield();
  }

  std::atomic<int> answered{0};
  std::vector<std::thread> threads;
  for (auto& client : others) {
    threads.emplace_back([&, c = client.get()] {
      for (int round = 0; round < 5; ++round) {
        if (Ids(*c) == std::set<std::string>{id->GetUniqueId()}) ++answered;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(answered.load(), 5 * kOthers);
  EXPECT_FALSE(heldDone.load()) << "the held call ended before the others could answer";

  test.Sql("COMMIT");
  heldCall.join();
  EXPECT_EQ(heldSaw, std::set<std::string>{id->GetUniqueId()});
}

// A change of the service waits in the database, first for the change row
// (another service's change holds it), then in its own write (the test holds
// the profiles' table): meanwhile every read of four other clients answers,
// and once the database lets it go the change is answered and read.
TEST_F(SharedDatabaseConcurrencyTest, AChangeWaitingInTheDatabaseHoldsUpNoReadOfItsService) {
  auto service = Open();
  constexpr int kReaders = 4;
  constexpr int kReads = 5;
  Client writer(*service);
  writer.Login("writer@sample.test");
  std::vector<std::unique_ptr<Client>> readers;
  for (int n = 0; n < kReaders; ++n) {
    readers.push_back(std::make_unique<Client>(*service));
    readers.back()->Login("reader" + std::to_string(n) + "@sample.test");
  }
  Ref<ProfileId> first;
  writer.profiles->Create(GoldSpec("first").Get(), first);
  Connection watch(cluster->Uri());
  ASSERT_TRUE(watch.Ok());

  const char* holds[] = {"SELECT number FROM zel_change FOR UPDATE",
                         "LOCK TABLE zel_profiles IN SHARE MODE"};
  std::set<std::string> expected = {first->GetUniqueId()};
  for (const char* hold : holds) {
    SCOPED_TRACE(hold);
    Connection test(cluster->Uri());
    ASSERT_TRUE(test.Ok());
    test.Sql("BEGIN");
    test.Sql(hold);
    std::atomic<bool> created{false};
    Ref<ProfileId> id;
    std::thread change([&] {
      writer.profiles->Create(GoldSpec("held-" + std::to_string(expected.size())).Get(), id);
      created = true;
    });
    while (watch.Sql("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' "
                     "AND application_name = 'zel-server'") == "0") {
      std::this_thread::yield();
    }

    // The reads get a while to answer; when a change holds them up they
    // cannot, and the test lets the change go so as not to hang.
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    for (auto& client : readers) {
      threads.emplace_back([&, c = client.get()] {
        for (int round = 0; round < kReads; ++round) {
          if (Ids(*c) == expected) ++answered;
        }
      });
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (answered.load() < kReaders * kReads && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(answered.load(), kReaders * kReads) << "reads waited for the change";
    EXPECT_FALSE(created.load()) << "the change did not wait for the database";
    test.Sql("COMMIT");
    for (auto& thread : threads) thread.join();
    change.join();
    ASSERT_TRUE(created.load());
    expected.insert(id->GetUniqueId());
    EXPECT_EQ(Ids(*readers[0]), expected);
  }
}

TEST_F(SharedDatabaseConcurrencyTest, ManyClientsChangingTwoServicesAtOnceLeaveBothComplete) {
  auto first = Open();
  auto second = Open();
  constexpr int kThreads = 6;
  constexpr int kRounds = 8;
  std::mutex kept;
  std::set<std::string> keptIds;  // every answered create not deleted since
  std::atomic<int> wins[kRounds] = {};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Client mine(t % 2 == 0 ? *first : *second);
      mine.Login("user" + std::to_string(t) + "@sample.test");
      for (int r = 0; r < kRounds; ++r) {
        const std::string name = "t" + std::to_string(t) + "-r" + std::to_string(r);
        Ref<ProfileId> own;
        mine.profiles->Create(GoldSpec(name).Get(), own);
        // Every thread on both services races for one name a round.
        try {
          Ref<ProfileId> raced;
          mine.profiles->Create(GoldSpec("raced-" + std::to_string(r)).Get(), raced);
          ++wins[r];
          std::lock_guard<std::mutex> lock(kept);
          keptIds.insert(raced->GetUniqueId());
        } catch (const Zel::Fault::DuplicateName::Exception&) {
        }
        if (Ids(mine).count(own->GetUniqueId()) == 0) ++wrong;
        if (r % 2 == 1) {
          Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
          mine.profiles->Delete(ArrayOf<ProfileId>({own}).Get(), outcomes);
          if (outcomes->GetLength() != 1 || outcomes->Get(0)->GetFault() != nullptr) ++wrong;
        } else {
          std::lock_guard<std::mutex> lock(kept);
          keptIds.insert(own->GetUniqueId());
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  for (int r = 0; r < kRounds; ++r) EXPECT_EQ(wins[r].load(), 1) << "round " << r;
  Client a(*first);
  Client b(*second);
  a.Login();
  b.Login();
  EXPECT_EQ(Ids(a), keptIds);
  EXPECT_EQ(Ids(b), keptIds);
}

}  // namespace
}  // namespace ZelSampleTest
