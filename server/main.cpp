// zel-server: serves the sample storage-policy service over HTTP (or https)
// until SIGTERM or SIGINT, then stops accepting, lets the calls in flight
// finish and exits 0. `zel-server --help` lists the flags.
//
// Clients POST SOAP requests to http://ADDRESS:N/zel; the service instance
// is the object "ServiceInstance" of type zel.ServiceInstance. GET of
// /zel?wsdl answers the service's WSDL (ServiceDescription.h).
#include <Lumo/Lumo.h>
#include <ZelHttp/HttpServer.h>
#include <ZelSample/Service.h>
#include <ZelSample/WireEndpoint.h>
#include <malloc.h>

#include <csignal>
#include <iostream>
#include <memory>
#include <string>

#include "RequestLog.h"
#include "ServerOptions.h"
#include "ServiceDescription.h"
#include "SessionOptions.h"

int main(int argc, char** argv) {
  ZelServer::ServerOptions options;
  std::string error;
  if (!ZelServer::ParseOptions(argc, argv, options, error)) {
    std::cerr << "zel-server: " << error << "\n";
    ZelServer::PrintUsage(std::cerr);
    return 2;
  }
  if (options.help) {
    ZelServer::PrintUsage(std::cout);
    return 0;
  }
  if (options.version) {
    std::cout << "zel-server " << ZEL_VERSION << "\n";
    return 0;
  }
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

  Lumo::StartRuntime();
  std::unique_ptr<ZelSample::SampleService> held;
  try {
    held = std::make_unique<ZelSample::SampleService>(options.service);
  } catch (const std::exception& e) {
    std::cerr << "zel-server: " << e.what() << "\n";
    return 2;
  }
  ZelSample::SampleService& service = *held;
  Lumo::Wire::DispatcherSettings dispatcher;
  dispatcher.limits = options.limits;
  dispatcher.limits.maxMessageBytes = options.http.maxBodyBytes;
  auto endpoint = Kestrum::MakeRef<ZelSample::WireEndpoint>(service, dispatcher);
  ZelServer::RequestLog log(options.logLevel, std::cout);
  options.http.requestLog = [&log](const ZelHttp::RequestRecord& record) { log.Write(record); };
  auto description = std::make_shared<ZelServer::ServiceDescription>("zel");
  options.http.getHandler = [description](const std::string& target, std::string& contentType,
                                          std::string& body) {
    return description->Answer(target, contentType, body);
  };
  // The server owns each request: the endpoint reads its body in place and
  // leaves the call record for the log.
  ZelHttp::HttpServer server(
      [endpoint](Lumo::Wire::TransportRequest& request, Lumo::Wire::TransportResponse& response,
                 Lumo::Wire::CallInfo& call) { endpoint->HandleInPlace(request, response, call); },
      options.http);
  try {
    server.Start();
    description->SetUrl(server.GetUrl());
  } catch (const std::exception& e) {
    std::cerr << "zel-server: " << e.what() << "\n";
    return 1;
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
