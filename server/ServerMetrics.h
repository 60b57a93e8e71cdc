// zel-server's metrics, answered to GET /metrics in the Prometheus text
// format (version 0.0.4). They are taken from the records the request log
// reads (ZelHttp::RequestRecord and the call record on it) and from the
// store's commits:
//
//   zel_calls_total{method,outcome[,fault]}   counter: outcome "ok", "fault"
//                                             (fault: its wire type name) or
//                                             "error" (the handler failed)
//   zel_call_duration_seconds{method}         histogram of whole requests
//   zel_http_refusals_total{code,reason}      counter: requests the HTTP
//                                             layer answered with an error
//   zel_store_commit_duration_seconds         histogram
//   zel_store_errors_total                    counter: commits refused
//   zel_sessions_open, zel_http_connections_open   gauges, read when asked
//
// method is the method's qualified name ("zel.profile.ProfileManager.create"),
// or "none" for a request that named none; reason is a fixed word per code,
// never the refusal's text, so no client can make new series.
#pragma once

#include <ZelHttp/HttpServer.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "CallCounters.h"
#include "Histogram.h"

namespace ZelServer {

class ServerMetrics {
 public:
  // Content-Type of Render's text.
  static constexpr char kContentType[] = "text/plain; version=0.0.4; charset=utf-8";

  // Counts one answered request: a call, an HTTP refusal, or nothing (a
  // page served).
  void Record(const ZelHttp::RequestRecord& record);
  // A ZelSample::StoreObserver.
  void RecordStoreCommit(std::chrono::nanoseconds elapsed, bool failed);

  struct Gauges {
    size_t sessionsOpen = 0;
    size_t connectionsOpen = 0;
  };
  std::string Render(const Gauges& gauges) const;

 private:
  // Refusals by status code, 400 to 599.
  static constexpr int kFirstCode = 400;
  std::array<std::atomic<uint64_t>, 200> _refusals{};
  CallCounters _calls;
  AtomicHistogram _storeCommits;
  std::atomic<uint64_t> _storeErrors{0};
};

// The word a refusal's status code is counted under ("body_too_large" for
// 413).
const char* RefusalReason(int code);

}  // namespace ZelServer
