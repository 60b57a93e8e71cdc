// The runtime's threads for asynchronous calls.
//
// A stub's asynchronous member returns as soon as its call is queued here;
// one of a bounded set of pool threads performs the call and then runs the
// completion. Threads are started as calls need them, up to maxThreads, and
// live until the pool shuts down. At most maxQueued calls wait for a thread;
// more are refused when they are started, never dropped later.
//
// Shutting down stops taking calls, cancels the calls that have not begun
// (their cancel step runs on a pool thread, so completions still arrive on
// the runtime's threads) and waits for the calls that run to finish. The
// runtime's own pool (GetCallPool) shuts down when the process exits, before
// the libraries it serves are unloaded.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Lumo {

struct CallPoolSettings {
  // Calls that run at the same time.
  size_t maxThreads = 128;
  // Calls that wait for a thread.
  size_t maxQueued = 10000;
};

class CallPool {
 public:
  using Step = std::function<void()>;

  explicit CallPool(const CallPoolSettings& settings = CallPoolSettings());
  // Shuts down.
  ~CallPool();
  CallPool(const CallPool&) = delete;
  CallPool& operator=(const CallPool&) = delete;

  // Queues a call: run performs it on a pool thread; cancel runs there instead
  // when the pool shuts down before run began. False, and nothing queued,
  // when the pool is shut down or maxQueued calls are waiting.
  bool Post(Step run, Step cancel);
  // Blocks until no call is waiting or running.
  void WaitIdle();
  // See the header comment. Later calls do nothing; safe from a pool thread
  // (that thread is left to finish on its own).
  void Shutdown();

  bool IsShutDown() const;
  size_t GetThreadCount() const;
  const CallPoolSettings& GetSettings() const { return _settings; }
  // True on a thread of any call pool.
  static bool OnPoolThread();

 private:
  struct Call {
    Step run;
    Step cancel;
  };
  void Work();

  const CallPoolSettings _settings;
  mutable std::mutex _mutex;
  std::condition_variable _wake;
  std::condition_variable _idle;
  std::deque<Call> _queue;
  std::vector<std::thread> _threads;
  size_t _waitingThreads = 0;
  size_t _running = 0;
  bool _stopping = false;
};

// The runtime's pool, made on first use with the settings last given to
// ConfigureCallPool.
CallPool& GetCallPool();
// Settings of the runtime's pool; false (and nothing changed) once the pool
// exists.
bool ConfigureCallPool(const CallPoolSettings& settings);

}  // namespace Lumo
