// Records the completions of asynchronous stub calls: how many arrived, how
// many carried the expected answer, how many ran on the runtime's pool
// threads, and on which threads. A failed call is a test failure.
#pragma once

#include <Kestrum/Exception.h>
#include <Lumo/CallPool.h>
#include <Lumo/Stub.h>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace ZelTest {

class Completions {
 public:
  // isExpected: whether a call's result is the answer the test waits for.
  explicit Completions(std::function<bool(Lumo::Any*)> isExpected)
      : _isExpected(std::move(isExpected)) {}

  // The completion to hand to the stubs; it must not outlive this object.
  Lumo::CompletionFunctor Functor() {
    return [this](Kestrum::System::ScheduledItem*, Kestrum::Exception* e, Lumo::Any* result) {
      std::lock_guard<std::mutex> lock(_mutex);
      ++_completed;
      if (e != nullptr) ADD_FAILURE() << e->what();
      _answered += (e == nullptr && _isExpected(result)) ? 1 : 0;
      _onPool += Lumo::CallPool::OnPoolThread() ? 1 : 0;
      _threads.insert(std::this_thread::get_id());
    };
  }

  int Completed() const { return Read(_completed); }
  int Answered() const { return Read(_answered); }
  int OnPool() const { return Read(_onPool); }
  bool RanOn(std::thread::id thread) const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _threads.count(thread) != 0;
  }

 private:
  int Read(const int& counter) const {
    std::lock_guard<std::mutex> lock(_mutex);
    return counter;
  }

  const std::function<bool(Lumo::Any*)> _isExpected;
  mutable std::mutex _mutex;
  int _completed = 0;
  int _answered = 0;
  int _onPool = 0;
  std::set<std::thread::id> _threads;
};

}  // namespace ZelTest
