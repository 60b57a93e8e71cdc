// zel-server: serves the sample storage-policy service over HTTP on the
// loopback interface until interrupted (SIGINT or SIGTERM).
//
//   zel-server --port N [--max-body BYTES] [session and issuer options]
//
// Clients POST SOAP requests to http://127.0.0.1:N/zel; the service instance
// is the object "ServiceInstance" of type zel.ServiceInstance.
#include <Lumo/Lumo.h>
#include <ZelHttp/HttpServer.h>
#include <ZelSample/Service.h>
#include <ZelSample/WireEndpoint.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "SessionOptions.h"

namespace {

void Usage(std::ostream& out) {
  out << "usage: zel-server --port N [--max-body BYTES]\n"
         "  --port N          the loopback port to listen on (0: any free port)\n"
         "  --max-body BYTES  the largest request body accepted (default 8388608)\n";
  ZelServer::PrintSessionUsage(out);
}

bool ParseNumber(const char* text, long long max, long long& value) {
  char* end = nullptr;
  value = std::strtoll(text, &end, 10);
  return end != text && *end == '\0' && value >= 0 && value <= max;
}

}  // namespace

int main(int argc, char** argv) {
  ZelHttp::HttpServerSettings settings;
  ZelSample::ServiceSettings serviceSettings;
  bool havePort = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    long long number = 0;
    bool sessionOption = false;
    try {
      sessionOption = ZelServer::ParseSessionOption(i, argc, argv, serviceSettings);
    } catch (const std::exception& e) {
      std::cerr << "zel-server: " << e.what() << "\n";
      return 2;
    }
    if (sessionOption) {
      continue;
    } else if (arg == "--port" && i + 1 < argc && ParseNumber(argv[i + 1], 65535, number)) {
      settings.port = static_cast<int>(number);
      havePort = true;
      ++i;
    } else if (arg == "--max-body" && i + 1 < argc && ParseNumber(argv[i + 1], 1LL << 30, number) &&
               number > 0) {
      settings.maxBodyBytes = static_cast<size_t>(number);
      ++i;
    } else if (arg == "--help" || arg == "-h") {
      Usage(std::cout);
      return 0;
    } else {
      std::cerr << "zel-server: bad argument " << arg << "\n";
      Usage(std::cerr);
      return 2;
    }
  }
  if (!havePort) {
    Usage(std::cerr);
    return 2;
  }

  // Wait for the stop signals on this thread only: block them before any
  // thread starts, so that the serving threads inherit the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  Lumo::StartRuntime();
  ZelServer::FinishSessionOptions(serviceSettings);
  ZelSample::SampleService service(serviceSettings);
  Kestrum::Ref<ZelSample::WireEndpoint> endpoint(new ZelSample::WireEndpoint(service));
  ZelHttp::HttpServer server(
      [endpoint](const Lumo::Wire::TransportRequest& request,
                 Lumo::Wire::TransportResponse& response) { endpoint->Handle(request, response); },
      settings);
  try {
    server.Start();
  } catch (const std::exception& e) {
    std::cerr << "zel-server: " << e.what() << "\n";
    return 1;
  }
  ZelServer::PrintTrustedIssuers(service.GetSettings(), std::cout);
  std::cout << "zel-server: serving " << service.GetSettings().name << " at " << server.GetUrl()
            << " (Ctrl-C stops)" << std::endl;
  int received = 0;
  sigwait(&stopSignals, &received);
  std::cout << "zel-server: stopping on signal " << received << std::endl;
  server.Stop();
  return 0;
}
