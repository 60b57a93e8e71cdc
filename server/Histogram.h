// Durations counted into fixed buckets, for the metrics' histograms. The
// bounds are the same for every histogram: from half a millisecond, where a
// call served from memory lies, to ten seconds, past any sane call.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace ZelServer {

// The upper bounds of the buckets in seconds; a last bucket takes the rest.
inline constexpr std::array<double, 14> kBucketBounds = {
    0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};

// What a histogram counted: each bucket by itself (not cumulative), the
// count and the sum of the durations.
struct HistogramCounts {
  std::array<uint64_t, kBucketBounds.size() + 1> buckets{};
  uint64_t count = 0;
  uint64_t sumNanos = 0;

  void Add(std::chrono::nanoseconds elapsed);
  void Add(const HistogramCounts& other);
};

// The bucket a duration falls in: the first whose bound it does not pass.
size_t BucketOf(std::chrono::nanoseconds elapsed);

// A histogram any thread adds to without a lock.
class AtomicHistogram {
 public:
  void Add(std::chrono::nanoseconds elapsed);
  HistogramCounts Read() const;

 private:
  std::array<std::atomic<uint64_t>, kBucketBounds.size() + 1> _buckets{};
  std::atomic<uint64_t> _sumNanos{0};
};

}  // namespace ZelServer
