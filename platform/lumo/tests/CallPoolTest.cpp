// Asynchronous calls: the runtime's call pool and the stubs' start form on it.
// No test waits on time: gates open when the test says so, and a generous
// deadline only turns a hang into a failure.
#include <Lumo/CallPool.h>
#include <Lumo/Lumo.h>
#include <LumoTest/Widget.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

constexpr std::chrono::seconds kDeadline{60};

// Opens once; waiting past the deadline is a failure, not a hang.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard<std::mutex> lock(_mutex);
      _open = true;
    }
    _changed.notify_all();
  }
  bool Wait() {
    std::unique_lock<std::mutex> lock(_mutex);
    return _changed.wait_for(lock, kDeadline, [this] { return _open; });
  }

 private:
  std::mutex _mutex;
  std::condition_variable _changed;
  bool _open = false;
};

// Counts events and lets a test wait for a number of them.
class Counter {
 public:
  void Add() {
    {
      std::lock_guard<std::mutex> lock(_mutex);
      ++_count;
    }
    _changed.notify_all();
  }
  bool WaitFor(int count) {
    std::unique_lock<std::mutex> lock(_mutex);
    return _changed.wait_for(lock, kDeadline, [&] { return _count >= count; });
  }
  int Get() {
    std::lock_guard<std::mutex> lock(_mutex);
    return _count;
  }

 private:
  std::mutex _mutex;
  std::condition_variable _changed;
  int _count = 0;
};

TEST(CallPool, RunsCallsOnABoundedSetOfThreadsAndRefusesWhenItsQueueIsFull) {
  Lumo::CallPool pool(Lumo::CallPoolSettings{2, 3});
  Gate release;
  Counter started;
  Counter finished;
  auto blocking = [&] {
    EXPECT_TRUE(Lumo::CallPool::OnPoolThread());
    started.Add();
    EXPECT_TRUE(release.Wait());
    finished.Add();
  };
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(pool.Post(blocking, nullptr)) << i;
  ASSERT_TRUE(started.WaitFor(2));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(pool.Post(blocking, nullptr)) << i;
  // Two run, three wait: the queue is full and the next call is refused.
  EXPECT_EQ(pool.GetThreadCount(), 2u);
  EXPECT_FALSE(pool.Post(blocking, nullptr));
  EXPECT_FALSE(Lumo::CallPool::OnPoolThread());
  release.Open();
  pool.WaitIdle();
  EXPECT_EQ(finished.Get(), 5);
  EXPECT_EQ(pool.GetThreadCount(), 2u);
}

TEST(CallPool, ShutdownFinishesRunningCallsAndCancelsWaitingOnesOnPoolThreads) {
  Lumo::CallPool pool(Lumo::CallPoolSettings{1, 10});
  Gate release;
  Counter started;
  std::atomic<int> ran{0};
  std::atomic<int> cancelledOnPool{0};
  ASSERT_TRUE(pool.Post(
      [&] {
        started.Add();
        EXPECT_TRUE(release.Wait());
        ++ran;
      },
      nullptr));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(pool.Post([&] { ++ran; },
                          [&] { cancelledOnPool += Lumo::CallPool::OnPoolThread() ? 1 : 0; }));
  }
  ASSERT_TRUE(started.WaitFor(1));
  std::thread stopper([&] { pool.Shutdown(); });
  while (!pool.IsShutDown()) std::this_thread::yield();
  EXPECT_FALSE(pool.Post([] {}, nullptr));
  release.Open();
  stopper.join();
  EXPECT_EQ(ran.load(), 1);
  EXPECT_EQ(cancelledOnPool.load(), 3);
  pool.Shutdown();  // again: nothing happens
}

// Holds every call until the test opens the gate; counts calls.
class GatedAdapter : public Lumo::StubAdapter {
 public:
  Gate gate;
  Counter entered;
  Ref<Lumo::Any> answer;
  Ref<Lumo::MethodFault> fault;

  void Invoke(Lumo::Stub*, Lumo::ManagedMethod*, std::vector<Ref<Lumo::Any>>&,
              Ref<Lumo::Any>& result) override {
    entered.Add();
    EXPECT_TRUE(gate.Wait());
    if (fault) fault->Throw();
    result = answer;
  }
};

TEST(AsynchronousStub, ReturnsBeforeTheCallRunsAndCompletesOnAPoolThread) {
  auto adapter = MakeRef<GatedAdapter>();
  adapter->answer = new Lumo::Primitive<std::string>("later");
  auto ref = MakeRef<Lumo::MoRef>("test.Widget", "w-1");
  auto stub = MakeRef<LumoTest::WidgetStub>(ref.Get(), adapter.Get(), nullptr);
  std::string received;
  std::thread::id completedOn;
  bool onPool = false;
  Ref<Kestrum::System::ScheduledItem> item;
  stub->Ping(Lumo::CompletionFunctor(
                 [&](Kestrum::System::ScheduledItem*, Kestrum::Exception* e, Lumo::Any* result) {
                   EXPECT_EQ(e, nullptr);
                   completedOn = std::this_thread::get_id();
                   onPool = Lumo::CallPool::OnPoolThread();
                   if (auto* s = dynamic_cast<Lumo::Primitive<std::string>*>(result)) {
                     received = s->GetValue();
                   }
                 }),
             item);
  // The call cannot have finished: it waits for the gate this thread holds.
  ASSERT_TRUE(item);
  EXPECT_FALSE(item->IsDone());
  // The caller may let go of the stub at once; the call keeps it.
  stub.Reset();
  adapter->gate.Open();
  item->Wait();
  EXPECT_EQ(received, "later");
  EXPECT_TRUE(onPool);
  EXPECT_NE(completedOn, std::this_thread::get_id());
}

}  // namespace
