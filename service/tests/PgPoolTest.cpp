// The pool of PostgreSQL connections that calls running at the same time
// borrow: each borrower has a connection of its own, one given back unfit
// is dropped, and a borrower past the limit waits for one to come back.
#include <ZelTest/PgCluster.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "store/PgPool.h"
#include "store/Store.h"

namespace ZelSampleTest {
namespace {

using ZelSample::PgPool;

class PgPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cluster = std::make_unique<ZelTest::PgCluster>(ZEL_PG_CLUSTER_SCRIPT);
    if (!cluster->Available()) GTEST_SKIP() << "no PostgreSQL server programs on this machine";
  }

  static long long Backend(PgPool::Lease& db) {
    return db->Exec("SELECT pg_backend_pid()").Integer(0, 0);
  }

  std::unique_ptr<ZelTest::PgCluster> cluster;
};

TEST_F(PgPoolTest, BorrowersAtOnceHaveConnectionsOfTheirOwnAndReuseThem) {
  PgPool pool(cluster->Uri(), "test database", 4);
  long long first = 0;
  {
    PgPool::Lease one = pool.Borrow();
    PgPool::Lease two = pool.Borrow();
    // One borrower inside a transaction does not hold up the other.
    one->Exec("BEGIN");
    first = Backend(one);
    EXPECT_NE(first, Backend(two));
    one->Exec("COMMIT");
    EXPECT_EQ(pool.Open(), 2u);
  }
  // Both came back; the next borrower gets one of them, not a new one.
  PgPool::Lease again = pool.Borrow();
  Backend(again);
  EXPECT_EQ(pool.Open(), 2u);
}

TEST_F(PgPoolTest, AConnectionGivenBackInsideATransactionOrBrokenIsDropped) {
  PgPool pool(cluster->Uri(), "test database", 2);
  long long left = 0;
  {
    PgPool::Lease db = pool.Borrow();
    db->Exec("BEGIN");
    left = Backend(db);
  }
  EXPECT_EQ(pool.Open(), 0u);
  {
    PgPool::Lease db = pool.Borrow();
    EXPECT_NE(Backend(db), left);
    // The next borrower finds no transaction of another open.
    EXPECT_NO_THROW(db->Exec("BEGIN"));
    db->Exec("ROLLBACK");
  }
  EXPECT_EQ(pool.Open(), 1u);

  // One that the server ends inside a transaction fails its statement and
  // is dropped when given back; the next borrower connects afresh.
  {
    PgPool::Lease victim = pool.Borrow();
    PgPool::Lease other = pool.Borrow();
    victim->Exec("BEGIN");
    const std::string pid = std::to_string(Backend(victim));
    other->Exec("SELECT pg_terminate_backend($1)", {pid});
    while (other->Exec("SELECT 1 FROM pg_stat_activity WHERE pid = $1", {pid}).Rows() > 0) {
      std::this_thread::yield();
    }
    EXPECT_THROW(victim->Exec("SELECT 1"), ZelSample::StoreError);
    EXPECT_EQ(pool.Open(), 2u);
  }
  EXPECT_EQ(pool.Open(), 1u);
  PgPool::Lease first = pool.Borrow();
  PgPool::Lease second = pool.Borrow();
  EXPECT_NO_THROW(Backend(first));
  EXPECT_NO_THROW(Backend(second));
}

TEST_F(PgPoolTest, ABorrowerPastTheLimitWaitsForAConnectionToComeBack) {
  PgPool pool(cluster->Uri(), "test database", 1);
  auto held = std::make_unique<PgPool::Lease>(pool.Borrow());
  const long long backend = Backend(*held);
  std::atomic<bool> borrowed{false};
  long long seen = 0;
  std::thread waiter([&] {
    PgPool::Lease db = pool.Borrow();
    borrowed = true;
    seen = Backend(db);
  });
  // However long the waiter has run, it cannot have borrowed: the one
  // connection is still out.
  std::this_thread::yield();
  EXPECT_FALSE(borrowed.load());
  held.reset();
  waiter.join();
  EXPECT_TRUE(borrowed.load());
  EXPECT_EQ(seen, backend);
  EXPECT_EQ(pool.Open(), 1u);
}

}  // namespace
}  // namespace ZelSampleTest
