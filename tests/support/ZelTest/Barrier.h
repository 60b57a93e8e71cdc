// A barrier for tests of concurrency that must not wait on time: every
// arriving thread waits until `needed` threads have been inside at once.
// A generous deadline turns a hang into a failure instead of a stuck test.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ZelTest {

class Barrier {
 public:
  explicit Barrier(int needed, std::chrono::seconds deadline = std::chrono::seconds(120))
      : _needed(needed), _deadline(deadline) {}

  void Arrive() {
    std::unique_lock<std::mutex> lock(_mutex);
    ++_inside;
    _mostInside = std::max(_mostInside, _inside);
    _changed.notify_all();
    if (!_changed.wait_for(lock, _deadline, [this] { return _mostInside >= _needed; })) {
      _timedOut = true;
    }
    --_inside;
  }
  // The most threads that were inside at once.
  int MostInside() {
    std::lock_guard<std::mutex> lock(_mutex);
    return _mostInside;
  }
  bool TimedOut() {
    std::lock_guard<std::mutex> lock(_mutex);
    return _timedOut;
  }

 private:
  std::mutex _mutex;
  std::condition_variable _changed;
  const int _needed;
  const std::chrono::seconds _deadline;
  int _inside = 0;
  int _mostInside = 0;
  bool _timedOut = false;
};

}  // namespace ZelTest
