// What zel-server answers to GET (and HEAD), for load balancers, monitors
// and clients:
//
//   /healthz            200: the process is up and serving
//   /readyz             200 when the store answers, else 503 with the reason
//   /metrics            the metrics (ServerMetrics.h)
//   PATH?wsdl, ?xsd     the service description (ServiceDescription.h),
//                       naming the address the client should call
//                       (PublicAddress.h)
//
// None of them needs a session.
#pragma once

#include <ZelHttp/HttpServer.h>

#include <functional>
#include <string>

#include "PublicAddress.h"
#include "ServerMetrics.h"
#include "ServiceDescription.h"

namespace ZelServer {

class ServerPages {
 public:
  struct Sources {
    // Empty when the store answers, else why not (SampleService::ProbeStore).
    std::function<std::string()> probeStore;
    // The gauges as they are now.
    std::function<ServerMetrics::Gauges()> gauges;
  };

  ServerPages(ServiceDescription& description, const PublicAddress& address,
              const ServerMetrics& metrics, Sources sources);

  // A pageHandler of the HTTP server.
  bool Answer(const ZelHttp::PageRequest& request, ZelHttp::Page& page);

 private:
  ServiceDescription& _description;
  const PublicAddress& _address;
  const ServerMetrics& _metrics;
  Sources _sources;
};

}  // namespace ZelServer
