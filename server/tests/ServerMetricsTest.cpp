// zel-server's metrics from the records the HTTP layer hands the request
// log: what counts as a call, a fault, a refusal (under a fixed reason, never
// the refusal's own text), and how histograms bucket durations. The metrics
// over a running server are checked by ops_pages.py with a Prometheus parser.
#include <Lumo/Wire/Dispatcher.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Histogram.h"
#include "ServerMetrics.h"

namespace {

using namespace std::chrono_literals;
using ZelServer::ServerMetrics;

bool Has(const std::string& text, const std::string& line) {
  return text.find("\n" + line + "\n") != std::string::npos;
}

// A call answered (status 200) or with a fault (500); no method named.
ZelHttp::RequestRecord Call(const Lumo::Wire::TransportRequest& request,
                            const Lumo::Wire::TransportResponse& response,
                            const Lumo::Wire::CallInfo& info, int status) {
  ZelHttp::RequestRecord record;
  record.httpMethod = "POST";
  record.target = "/zel";
  record.status = status;
  record.duration = 3ms;
  record.request = &request;
  record.response = &response;
  record.call = &info;
  return record;
}

ZelHttp::RequestRecord Refusal(int status, const std::string& reason) {
  ZelHttp::RequestRecord record;
  record.status = status;
  record.refusal = reason;
  return record;
}

TEST(Histogram, PutsADurationInTheFirstBucketItDoesNotPass) {
  EXPECT_EQ(ZelServer::BucketOf(0ns), 0u);
  EXPECT_EQ(ZelServer::BucketOf(500us), 0u);
  EXPECT_EQ(ZelServer::BucketOf(501us), 1u);
  EXPECT_EQ(ZelServer::BucketOf(1s), 10u);
  EXPECT_EQ(ZelServer::BucketOf(10s), ZelServer::kBucketBounds.size() - 1);
  EXPECT_EQ(ZelServer::BucketOf(11s), ZelServer::kBucketBounds.size());
  EXPECT_EQ(ZelServer::BucketOf(-5ns), 0u);
}

TEST(ServerMetrics, CountsCallsByOutcomeAndFaultType) {
  ServerMetrics metrics;
  Lumo::Wire::TransportRequest request;
  Lumo::Wire::TransportResponse response;
  Lumo::Wire::CallInfo ok, fault;
  fault.fault = "ZelFaultNotFound";
  metrics.Record(Call(request, response, ok, 200));
  metrics.Record(Call(request, response, ok, 200));
  metrics.Record(Call(request, response, fault, 500));
  // The handler failed: a request but no answer.
  ZelHttp::RequestRecord failed = Call(request, response, ok, 500);
  failed.response = nullptr;
  metrics.Record(failed);

  std::string text = metrics.Render({});
  EXPECT_TRUE(Has(text, "zel_calls_total{method=\"none\",outcome=\"ok\"} 2")) << text;
  EXPECT_TRUE(
      Has(text, "zel_calls_total{method=\"none\",outcome=\"fault\",fault=\"ZelFaultNotFound\"} 1"))
      << text;
  EXPECT_TRUE(Has(text, "zel_calls_total{method=\"none\",outcome=\"error\"} 1")) << text;
  // 3ms each: past the 2.5ms bound, within the 5ms one.
  EXPECT_TRUE(Has(text, "zel_call_duration_seconds_bucket{method=\"none\",le=\"0.0025\"} 0"))
      << text;
  EXPECT_TRUE(Has(text, "zel_call_duration_seconds_bucket{method=\"none\",le=\"0.005\"} 4"))
      << text;
  EXPECT_TRUE(Has(text, "zel_call_duration_seconds_bucket{method=\"none\",le=\"+Inf\"} 4")) << text;
  EXPECT_TRUE(Has(text, "zel_call_duration_seconds_sum{method=\"none\"} 0.012")) << text;
  EXPECT_TRUE(Has(text, "zel_call_duration_seconds_count{method=\"none\"} 4")) << text;
}

TEST(ServerMetrics, CountsRefusalsUnderAFixedReasonAndPagesNotAtAll) {
  ServerMetrics metrics;
  metrics.Record(Refusal(413, "body over the limit"));
  metrics.Record(Refusal(413, "body over the limit"));
  metrics.Record(Refusal(501, "the transfer coding \"x\\\"} 9\n\" is not supported"));
  metrics.Record(Refusal(418, "anything"));
  metrics.Record(Refusal(200, ""));  // a page served
  metrics.Record(Refusal(503, ""));  // a page that answered 503 (not ready)
  std::string text = metrics.Render({});
  EXPECT_TRUE(Has(text, "zel_http_refusals_total{code=\"413\",reason=\"body_too_large\"} 2"))
      << text;
  EXPECT_TRUE(Has(text, "zel_http_refusals_total{code=\"501\",reason=\"not_implemented\"} 1"))
      << text;
  EXPECT_TRUE(Has(text, "zel_http_refusals_total{code=\"418\",reason=\"other\"} 1")) << text;
  EXPECT_EQ(text.find("code=\"503\""), std::string::npos) << text;
  EXPECT_EQ(text.find("transfer coding"), std::string::npos) << text;
  EXPECT_EQ(text.find("zel_calls_total{"), std::string::npos) << text;
}

TEST(ServerMetrics, CountsStoreCommitsAndErrorsAndShowsTheGauges) {
  ServerMetrics metrics;
  metrics.RecordStoreCommit(2ms, false);
  metrics.RecordStoreCommit(20s, true);
  ServerMetrics::Gauges gauges;
  gauges.sessionsOpen = 3;
  gauges.connectionsOpen = 7;
  std::string text = metrics.Render(gauges);
  EXPECT_TRUE(Has(text, "zel_store_commit_duration_seconds_bucket{le=\"10\"} 1")) << text;
  EXPECT_TRUE(Has(text, "zel_store_commit_duration_seconds_bucket{le=\"+Inf\"} 2")) << text;
  EXPECT_TRUE(Has(text, "zel_store_commit_duration_seconds_count 2")) << text;
  EXPECT_TRUE(Has(text, "zel_store_errors_total 1")) << text;
  EXPECT_TRUE(Has(text, "zel_sessions_open 3")) << text;
  EXPECT_TRUE(Has(text, "zel_http_connections_open 7")) << text;
  EXPECT_TRUE(Has(text, "# TYPE zel_store_errors_total counter")) << text;
}

// Threads counting at once, each into its shard, lose no call.
TEST(ServerMetrics, CountsEveryCallOfThreadsCountingAtOnce) {
  ServerMetrics metrics;
  Lumo::Wire::TransportRequest request;
  Lumo::Wire::TransportResponse response;
  Lumo::Wire::CallInfo ok;
  constexpr int kThreads = 24, kCalls = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kCalls; ++i) metrics.Record(Call(request, response, ok, 200));
    });
  }
  for (auto& thread : threads) thread.join();
  std::string text = metrics.Render({});
  EXPECT_TRUE(Has(
      text, "zel_calls_total{method=\"none\",outcome=\"ok\"} " + std::to_string(kThreads * kCalls)))
      << text;
}

}  // namespace
