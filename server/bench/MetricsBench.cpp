// What counting one answered call into zel-server's metrics costs, on one
// thread and on several at once (each counts into its own shard). Run by
// hand: build/default/server/zel-metrics-bench
#include <Lumo/Wire/Dispatcher.h>
#include <benchmark/benchmark.h>

#include <chrono>

#include "ServerMetrics.h"

namespace {

ZelServer::ServerMetrics& Shared() {
  static ZelServer::ServerMetrics metrics;
  return metrics;
}

void RecordOneCall(benchmark::State& state) {
  Lumo::Wire::TransportRequest request;
  Lumo::Wire::TransportResponse response;
  Lumo::Wire::CallInfo info;
  if (state.range(0) != 0) info.fault = "ZelFaultNotFound";
  ZelHttp::RequestRecord record;
  record.status = info.fault.empty() ? 200 : 500;
  record.duration = std::chrono::microseconds(1200);
  record.request = &request;
  record.response = &response;
  record.call = &info;
  for (auto _ : state) Shared().Record(record);
}
BENCHMARK(RecordOneCall)->ArgName("fault")->Arg(0)->Arg(1)->ThreadRange(1, 8);

void RecordOneRefusal(benchmark::State& state) {
  ZelHttp::RequestRecord record;
  record.status = 413;
  record.refusal = "body over the limit";
  for (auto _ : state) Shared().Record(record);
}
BENCHMARK(RecordOneRefusal)->ThreadRange(1, 8);

}  // namespace

BENCHMARK_MAIN();
