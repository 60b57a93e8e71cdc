#include <Lumo/CallPool.h>

#include <algorithm>
#include <memory>

namespace Lumo {

namespace {

thread_local bool tOnPoolThread = false;

std::mutex gPoolMutex;
CallPoolSettings gPoolSettings;
bool gPoolMade = false;

}  // namespace

CallPool::CallPool(const CallPoolSettings& settings)
    : _settings{std::max<size_t>(settings.maxThreads, 1), settings.maxQueued} {}

CallPool::~CallPool() { Shutdown(); }

bool CallPool::Post(Step run, Step cancel) {
  std::lock_guard<std::mutex> lock(_mutex);
  if (_stopping || _queue.size() >= _settings.maxQueued) return false;
  _queue.push_back(Call{std::move(run), std::move(cancel)});
  // A waiting thread takes the call; otherwise start one while the bound
  // allows, else the call waits for the next free thread.
  if (_waitingThreads > _queue.size() - 1) {
    _wake.notify_one();
  } else if (_threads.size() < _settings.maxThreads) {
    _threads.emplace_back([this] { Work(); });
  }
  return true;
}

void CallPool::Work() {
  tOnPoolThread = true;
  std::unique_lock<std::mutex> lock(_mutex);
  for (;;) {
    ++_waitingThreads;
    _wake.wait(lock, [this] { return _stopping || !_queue.empty(); });
    --_waitingThreads;
    if (_queue.empty()) return;  // stopping, nothing left to cancel
    Call call = std::move(_queue.front());
    _queue.pop_front();
    bool cancelled = _stopping;
    ++_running;
    lock.unlock();
    {
      Step& step = cancelled ? call.cancel : call.run;
      if (step) step();
    }
    // The steps and what they captured go before the call counts as done.
    call = Call();
    lock.lock();
    --_running;
    if (_running == 0 && _queue.empty()) _idle.notify_all();
  }
}

void CallPool::WaitIdle() {
  std::unique_lock<std::mutex> lock(_mutex);
  _idle.wait(lock, [this] { return _running == 0 && _queue.empty(); });
}

void CallPool::Shutdown() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(_mutex);
    _stopping = true;
    threads.swap(_threads);
  }
  _wake.notify_all();
  for (std::thread& thread : threads) {
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();
    } else {
      thread.join();
    }
  }
}

bool CallPool::IsShutDown() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _stopping;
}

size_t CallPool::GetThreadCount() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _threads.size();
}

bool CallPool::OnPoolThread() { return tOnPoolThread; }

CallPool& GetCallPool() {
  // Made on first use, after every library it serves is loaded, so it is
  // destroyed (and its calls finished) before they are unloaded.
  static CallPool pool([] {
    std::lock_guard<std::mutex> lock(gPoolMutex);
    gPoolMade = true;
    return gPoolSettings;
  }());
  return pool;
}

bool ConfigureCallPool(const CallPoolSettings& settings) {
  std::lock_guard<std::mutex> lock(gPoolMutex);
  if (gPoolMade) return false;
  gPoolSettings = settings;
  return true;
}

}  // namespace Lumo
