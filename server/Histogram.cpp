#include "Histogram.h"

#include <algorithm>

namespace ZelServer {

namespace {

// The bounds in nanoseconds, compared without floating point per call.
const std::array<int64_t, kBucketBounds.size()>& BoundNanos() {
  static const auto bounds = [] {
    std::array<int64_t, kBucketBounds.size()> nanos{};
    for (size_t i = 0; i < nanos.size(); ++i) {
      nanos[i] = static_cast<int64_t>(kBucketBounds[i] * 1e9 + 0.5);
    }
    return nanos;
  }();
  return bounds;
}

uint64_t NanosOf(std::chrono::nanoseconds elapsed) {
  return static_cast<uint64_t>(std::max<int64_t>(0, elapsed.count()));
}

}  // namespace

size_t BucketOf(std::chrono::nanoseconds elapsed) {
  const auto& bounds = BoundNanos();
  return static_cast<size_t>(std::lower_bound(bounds.begin(), bounds.end(), elapsed.count()) -
                             bounds.begin());
}

void HistogramCounts::Add(std::chrono::nanoseconds elapsed) {
  ++buckets[BucketOf(elapsed)];
  ++count;
  sumNanos += NanosOf(elapsed);
}

void HistogramCounts::Add(const HistogramCounts& other) {
  for (size_t i = 0; i < buckets.size(); ++i) buckets[i] += other.buckets[i];
  count += other.count;
  sumNanos += other.sumNanos;
}

void AtomicHistogram::Add(std::chrono::nanoseconds elapsed) {
  _buckets[BucketOf(elapsed)].fetch_add(1, std::memory_order_relaxed);
  _sumNanos.fetch_add(NanosOf(elapsed), std::memory_order_relaxed);
}

HistogramCounts AtomicHistogram::Read() const {
  HistogramCounts counts;
  for (size_t i = 0; i < _buckets.size(); ++i) {
    counts.buckets[i] = _buckets[i].load(std::memory_order_relaxed);
    counts.count += counts.buckets[i];
  }
  counts.sumNanos = _sumNanos.load(std::memory_order_relaxed);
  return counts;
}

}  // namespace ZelServer
