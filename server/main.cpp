// zel-server: serves the sample storage-policy service over HTTP (or https)
// until SIGTERM or SIGINT, then stops accepting, lets the calls in flight
// finish and exits 0. `zel-server --help` lists the options.
//
// Clients POST SOAP requests to http://ADDRESS:N/zel; the service instance
// is the object "ServiceInstance" of type zel.ServiceInstance. GET of
// /zel?wsdl answers the service's WSDL (ServiceDescription.h); /healthz,
// /readyz and /metrics are for load balancers and monitors (ServerPages.h).
#include <Lumo/Lumo.h>
#include <ZelHttp/HttpServer.h>
#include <ZelSample/Service.h>
#include <ZelSample/WireEndpoint.h>
#include <malloc.h>

#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "AdminPages.h"
#include "PublicAddress.h"
#include "RequestLog.h"
#include "Seed.h"
#include "ServerMetrics.h"
#include "ServerOptions.h"
#include "ServerPages.h"
#include "ServiceDescription.h"
#include "SessionOptions.h"
#include "StartPhases.h"

int main(int argc, char** argv) {
  ZelServer::StartPhases phases;
  ZelServer::ServerOptions options;
  ZelCommandLine::Program program("zel-server", ZEL_VERSION, ZelServer::kServerDescription);
  ZelServer::AddServerOptions(program, options);
  if (int status = program.Parse(argc, argv); status >= 0) return status;
  phases.Mark("command line");
  std::string error;
  if (!ZelServer::FinishOptions(options, error)) return program.UsageError(error);
#ifdef M_MMAP_THRESHOLD
  // Large request bodies get memory of their own that goes back to the
  // system when freed, instead of growing the heap for good.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif

  // Wait for the stop signals on this thread only: block them before any
  // thread starts, so that the serving threads inherit the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  phases.Mark("options");

  Lumo::StartRuntime();
  phases.Mark("runtime (types created)");
  // The wire's type tables are built beside the service and the listener,
  // not by the first call; that call waits for them if it comes first.
  std::jthread prepareWire(Lumo::Wire::PrepareTypeTables);
  ZelServer::ServerMetrics metrics;
  options.service.storeObserver = [&metrics](std::chrono::nanoseconds elapsed, bool failed) {
    metrics.RecordStoreCommit(elapsed, failed);
  };
  std::unique_ptr<ZelSample::SampleService> held;
  try {
    held = std::make_unique<ZelSample::SampleService>(options.service);
  } catch (const std::exception& e) {
    std::cerr << "zel-server: " << e.what() << "\n";
    return 2;
  }
  ZelSample::SampleService& service = *held;
  phases.Mark("service");
  Lumo::Wire::DispatcherSettings dispatcher;
  dispatcher.limits = options.limits;
  dispatcher.limits.maxMessageBytes = options.http.maxBodyBytes;
  auto endpoint = Kestrum::MakeRef<ZelSample::WireEndpoint>(service, dispatcher);
  if (!options.seedFile.empty()) {
    try {
      size_t calls = ZelServer::SeedFromFile(*endpoint, options.seedFile);
      std::cout << "zel-server: seeded from " << options.seedFile << " (" << calls << " calls)\n";
    } catch (const std::exception& e) {
      std::cerr << "zel-server: seed " << e.what() << "\n";
      return 2;
    }
  }
  phases.Mark("endpoint and seed");
  ZelServer::RequestLog log(options.logLevel, std::cout);
  options.http.logBodies = options.logLevel == ZelServer::LogLevel::kDebug;
  // Calls that cannot wait are answered on the I/O thread that read them.
  options.http.answerInline = [&service] { return !service.CallsMayWait(); };
  options.http.requestLog = [&log, &metrics](const ZelHttp::RequestRecord& record) {
    metrics.Record(record);
    log.Write(record);
  };
  ZelServer::ServiceDescription description("zel");
  ZelServer::AddressSettings addressSettings;
  addressSettings.publicUrl = options.publicUrl;
  addressSettings.trustForwarded = options.trustForwarded;
  addressSettings.scheme = options.http.tlsCertificateFile.empty() ? "http" : "https";
  addressSettings.path = options.http.path;
  ZelServer::PublicAddress address(addressSettings);
  // The pages read the HTTP server's connection count, once it exists.
  ZelHttp::HttpServer* serving = nullptr;
  ZelServer::ServerPages::Sources sources;
  sources.probeStore = [&service] { return service.ProbeStore(); };
  sources.gauges = [&service, &serving] {
    ZelServer::ServerMetrics::Gauges gauges;
    gauges.sessionsOpen = service.GetSessions().Count();
    gauges.connectionsOpen = serving != nullptr ? serving->GetConnectionCount() : 0;
    return gauges;
  };
  ZelServer::ServerPages pages(description, address, metrics, sources);
  ZelServer::AdminPages admin(service);
  options.http.pageHandler = [&pages, &admin, &options](const ZelHttp::PageRequest& request,
                                                        ZelHttp::Page& page) {
    if (options.admin && admin.Answer(request, page)) return true;
    if (request.method != "GET" && request.method != "HEAD") return false;
    return pages.Answer(request, page);
  };
  // The server owns each request: the endpoint reads its body in place and
  // leaves the call record for the log. A fault injected at the HTTP level
  // fails the exchange instead of the answer.
  ZelHttp::HttpServer server(
      [endpoint](Lumo::Wire::TransportRequest& request, Lumo::Wire::TransportResponse& response,
                 Lumo::Wire::CallInfo& call) {
        endpoint->HandleInPlace(request, response, call);
        switch (ZelSample::SampleService::TakeHttpFailure()) {
          case ZelSample::InjectedFault::Http::kUnavailable:
            throw ZelHttp::HttpError(503, "unavailable on purpose: a fault is injected");
          case ZelSample::InjectedFault::Http::kReset:
            throw ZelHttp::ResetConnection("on purpose: a fault is injected");
          case ZelSample::InjectedFault::Http::kNone:
            break;
        }
      },
      options.http);
  serving = &server;
  phases.Mark("pages");
  try {
    server.Start();
    address.SetBoundUrl(server.GetUrl());
  } catch (const std::exception& e) {
    std::cerr << "zel-server: " << e.what() << "\n";
    return 1;
  }
  phases.Mark("listening");
  if (options.logLevel == ZelServer::LogLevel::kDebug) {
    std::cout << "zel-server: " << phases.Describe() << std::endl;
  }
  ZelServer::PrintTrustedIssuers(service.GetSettings(), std::cout);
  std::cout << "zel-server " << ZEL_VERSION << ": serving " << service.GetSettings().name << " at "
            << server.GetUrl() << " (SIGTERM or Ctrl-C stops; GET ?wsdl for its WSDL)" << std::endl;
  int received = 0;
  sigwait(&stopSignals, &received);
  std::cout << "zel-server: stopping on signal " << received
            << ": no new connections; finishing the calls in flight" << std::endl;
  server.Stop();
  std::cout << "zel-server: stopped" << std::endl;
  return 0;
}
