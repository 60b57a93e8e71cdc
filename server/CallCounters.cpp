#include "CallCounters.h"

#include <atomic>

namespace ZelServer {

namespace {

// The shard of the calling thread, given out in turn at its first call.
size_t ShardOfThisThread() {
  static std::atomic<size_t> next{0};
  thread_local size_t mine = next.fetch_add(1, std::memory_order_relaxed);
  return mine % CallCounters::kShards;
}

}  // namespace

void CallCounters::Add(const Lumo::ManagedMethod* method, const std::string& outcome,
                       const std::string& fault, std::chrono::nanoseconds elapsed) {
  Shard& shard = _shards[ShardOfThisThread()];
  std::lock_guard<std::mutex> lock(shard.mutex);
  Counted& counted = shard.methods[method];
  counted.durations.Add(elapsed);
  for (auto& [key, calls] : counted.outcomes) {
    if (key.first == outcome && key.second == fault) {
      ++calls;
      return;
    }
  }
  counted.outcomes.emplace_back(std::make_pair(outcome, fault), 1);
}

std::map<std::string, CallCounters::MethodCounts> CallCounters::Read() const {
  std::map<std::string, MethodCounts> merged;
  for (const Shard& shard : _shards) {
    std::lock_guard<std::mutex> lock(shard.mutex);
    for (const auto& [method, counted] : shard.methods) {
      MethodCounts& counts = merged[method != nullptr ? method->GetQualifiedName() : "none"];
      for (const auto& [key, calls] : counted.outcomes) counts.outcomes[key] += calls;
      counts.durations.Add(counted.durations);
    }
  }
  return merged;
}

}  // namespace ZelServer
