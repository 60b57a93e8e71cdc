// The calls answered, by method and outcome, with a duration histogram per
// method. Counting is sharded: each thread counts into a shard of its own
// (threads beyond the shard count share), under a lock no other thread
// takes but a reader's, and finds its counts by the method record's address,
// so that a call costs an uncontended lock and a hash look-up. Readers merge
// the shards.
#pragma once

#include <Lumo/ManagedMethod.h>

#include <array>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Histogram.h"

namespace ZelServer {

class CallCounters {
 public:
  static constexpr size_t kShards = 16;

  // One call: method null for a request that named none; fault empty for
  // a call answered with its result.
  void Add(const Lumo::ManagedMethod* method, const std::string& outcome, const std::string& fault,
           std::chrono::nanoseconds elapsed);

  // The merged counts, by method name.
  struct MethodCounts {
    // (outcome, fault) -> calls
    std::map<std::pair<std::string, std::string>, uint64_t> outcomes;
    HistogramCounts durations;
  };
  std::map<std::string, MethodCounts> Read() const;

 private:
  struct Counted {
    std::vector<std::pair<std::pair<std::string, std::string>, uint64_t>> outcomes;
    HistogramCounts durations;
  };
  struct alignas(64) Shard {
    mutable std::mutex mutex;
    std::unordered_map<const Lumo::ManagedMethod*, Counted> methods;
  };
  std::array<Shard, kShards> _shards;
};

}  // namespace ZelServer
