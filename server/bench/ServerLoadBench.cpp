// Load on the HTTP server with the sample service behind it, over loopback:
// small calls (the service content) from 1, 8 and 64 client threads, each
// with a connection kept alive or with a new connection per call. Reports
// calls/s (items_per_second) and the p50 and p99 latency of one call in
// microseconds (averaged over the client threads).
//
//   zel-http-bench --benchmark_min_time=3
#include <Lumo/Lumo.h>
#include <ZelHttp/HttpServer.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/Service.h>
#include <ZelSample/WireEndpoint.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace {

const std::string kRetrieveContent =
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<soapenv:Body><ZelRetrieveServiceContent xmlns=\"urn:zel\"><_this "
    "type=\"ZelServiceInstance\">ServiceInstance</_this></ZelRetrieveServiceContent>"
    "</soapenv:Body></soapenv:Envelope>";

// One server for the whole run.
struct Served {
  Served() {
    Lumo::StartRuntime();
    service = std::make_unique<ZelSample::SampleService>();
    endpoint = new ZelSample::WireEndpoint(*service);
    server = std::make_unique<ZelHttp::HttpServer>(
        [endpoint = endpoint](const Lumo::Wire::TransportRequest& request,
                              Lumo::Wire::TransportResponse& response) {
          endpoint->Handle(request, response);
        });
    server->Start();
  }
  std::unique_ptr<ZelSample::SampleService> service;
  Kestrum::Ref<ZelSample::WireEndpoint> endpoint;
  std::unique_ptr<ZelHttp::HttpServer> server;
};

Served& Server() {
  static Served served;
  return served;
}

double Percentile(std::vector<double>& values, double fraction) {
  if (values.empty()) return 0;
  size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
  return values[index];
}

void SmallCalls(benchmark::State& state, bool keepAlive) {
  std::string url = Server().server->GetUrl();
  ZelHttp::HttpTransportSettings settings;
  settings.keepAlive = keepAlive;
  auto transport = Kestrum::MakeRef<ZelHttp::HttpTransport>(url, settings);
  Lumo::Wire::TransportRequest request;
  request.action = "urn:zel/6.7.2";
  request.body = kRetrieveContent;
  std::vector<double> micros;
  micros.reserve(1 << 16);
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    Lumo::Wire::TransportResponse response;
    transport->Send(request, response);
    micros.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
    if (response.status != 200) state.SkipWithError("a call failed");
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["p50_us"] =
      benchmark::Counter(Percentile(micros, 0.50), benchmark::Counter::kAvgThreads);
  state.counters["p99_us"] =
      benchmark::Counter(Percentile(micros, 0.99), benchmark::Counter::kAvgThreads);
}

void KeepAlive(benchmark::State& state) { SmallCalls(state, true); }
void NewConnectionPerCall(benchmark::State& state) { SmallCalls(state, false); }

BENCHMARK(KeepAlive)->Threads(1)->Threads(2)->Threads(8)->Threads(64)->UseRealTime();
BENCHMARK(NewConnectionPerCall)->Threads(1)->Threads(8)->Threads(64)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
