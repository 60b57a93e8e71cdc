// Reference counting and ownership of Kestrum::Ref and Kestrum::ObjectImpl.
#include <Kestrum/Object.h>
#include <Kestrum/Ref.h>
#include <Kestrum/ScheduledItem.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Counts live instances so the tests can see deletions.
class Tracked : public Kestrum::ObjectImpl {
 public:
  explicit Tracked(int* live) : _live(live) { ++*_live; }
  int firstIncRefs = 0;

 protected:
  ~Tracked() override { --*_live; }
  void FirstIncRef() override { ++firstIncRefs; }

 private:
  int* _live;
};

class Derived : public Tracked {
 public:
  using Tracked::Tracked;
};

// A class that is not an ObjectImpl: Ref only needs IncRef/DecRef (const here).
struct ConstCounted {
  mutable int count = 0;
  void IncRef() const { ++count; }
  void DecRef() const { --count; }
};

TEST(RefCounting, NewObjectStartsAtZeroAndFirstRefTakesOne) {
  int live = 0;
  auto* raw = new Tracked(&live);
  EXPECT_EQ(raw->GetRefCount(), 0);
  {
    Kestrum::Ref<Tracked> ref(raw);
    EXPECT_EQ(raw->GetRefCount(), 1);
    EXPECT_EQ(raw->firstIncRefs, 1);
    Kestrum::Ref<Tracked> copy = ref;
    EXPECT_EQ(raw->GetRefCount(), 2);
    EXPECT_EQ(raw->firstIncRefs, 1);
  }
  EXPECT_EQ(live, 0);
}

TEST(RefCounting, MoveTransfersWithoutTouchingTheCount) {
  int live = 0;
  Kestrum::Ref<Tracked> a(new Tracked(&live));
  Tracked* raw = a.Get();
  Kestrum::Ref<Tracked> b(std::move(a));
  EXPECT_EQ(a.Get(), nullptr);
  EXPECT_EQ(raw->GetRefCount(), 1);
  Kestrum::Ref<Tracked> c;
  c = std::move(b);
  EXPECT_EQ(raw->GetRefCount(), 1);
  EXPECT_EQ(c.Get(), raw);
  c.Reset();
  EXPECT_EQ(live, 0);
}

TEST(RefCounting, AssigningTheHeldObjectToItselfKeepsItAlive) {
  int live = 0;
  Kestrum::Ref<Tracked> a(new Tracked(&live));
  a = a.Get();
  EXPECT_EQ(live, 1);
  EXPECT_EQ(a->GetRefCount(), 1);
  auto& alias = a;
  a = alias;
  EXPECT_EQ(a->GetRefCount(), 1);
}

TEST(RefCounting, AssignmentReleasesThePreviousObject) {
  int live = 0;
  Kestrum::Ref<Tracked> a(new Tracked(&live));
  a = new Tracked(&live);
  EXPECT_EQ(live, 1);
  a = nullptr;
  EXPECT_EQ(live, 0);
}

TEST(RefCounting, ConvertsFromDerivedAndComparesWithPointers) {
  int live = 0;
  Kestrum::Ref<Derived> d(new Derived(&live));
  Kestrum::Ref<Tracked> t = d;
  EXPECT_EQ(d->GetRefCount(), 2);
  EXPECT_TRUE(t == d);
  EXPECT_TRUE(t == d.Get());
  EXPECT_TRUE(d.Get() == t);
  EXPECT_FALSE(t == nullptr);
  EXPECT_TRUE(t != nullptr);
  Kestrum::Ref<Tracked> moved(std::move(d));
  EXPECT_EQ(moved->GetRefCount(), 2);
  Kestrum::Ref<Tracked> empty;
  EXPECT_TRUE(empty == nullptr);
  EXPECT_FALSE(static_cast<bool>(empty));
}

TEST(RefCounting, SwapExchangesWithoutCounting) {
  int live = 0;
  Kestrum::Ref<Tracked> a(new Tracked(&live));
  Kestrum::Ref<Tracked> b(new Tracked(&live));
  Tracked* ra = a.Get();
  Tracked* rb = b.Get();
  a.Swap(b);
  EXPECT_EQ(a.Get(), rb);
  EXPECT_EQ(b.Get(), ra);
  EXPECT_EQ(ra->GetRefCount(), 1);
  EXPECT_EQ(rb->GetRefCount(), 1);
}

TEST(RefCounting, WorksWithConstIncRef) {
  ConstCounted c;
  {
    Kestrum::Ref<const ConstCounted> r(&c);
    Kestrum::Ref<const ConstCounted> r2 = r;
    EXPECT_EQ(c.count, 2);
  }
  EXPECT_EQ(c.count, 0);
}

TEST(RefCounting, CountsAtomicallyAcrossThreads) {
  int live = 0;
  Kestrum::Ref<Tracked> shared(new Tracked(&live));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&shared] {
      for (int i = 0; i < 10000; ++i) {
        Kestrum::Ref<Tracked> local = shared;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(shared->GetRefCount(), 1);
  shared.Reset();
  EXPECT_EQ(live, 0);
}

TEST(RefCounting, ToStringNamesTheClass) {
  int live = 0;
  Kestrum::Ref<Tracked> a(new Tracked(&live));
  EXPECT_NE(a->ToString().find("Tracked@"), std::string::npos);
}

TEST(RefDeathTest, DereferencingAnEmptyRefAsserts) {
  Kestrum::Ref<Tracked> empty;
  EXPECT_DEATH(empty->GetRefCount(), "ASSERT Kestrum/Ref:263\n");
  EXPECT_DEATH((void)*empty, "ASSERT Kestrum/Ref:263\n");
}

TEST(ScheduledItem, CompletesOnceAndWakesWaiters) {
  Kestrum::Ref<Kestrum::System::ScheduledItem> item(new Kestrum::System::ScheduledItem);
  EXPECT_FALSE(item->IsDone());
  std::thread waiter([item] { item->Wait(); });
  item->Complete();
  waiter.join();
  EXPECT_TRUE(item->IsDone());
  item->Complete();
  EXPECT_TRUE(item->IsDone());
}

}  // namespace
