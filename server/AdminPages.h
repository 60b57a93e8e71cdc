// The endpoints a test double's operator drives, served only with --admin:
//
//   POST   /admin/reset    drops every profile (with its associations,
//                          results and default assignments), the quotas
//                          sessions were charged and every injected fault;
//                          sessions stay open
//   POST   /admin/faults?method=M[&session=S][&calls=N][&fault=F][&delay=MS][&http=503|reset]
//                          injects a fault (ZelSample/InjectedFault.h)
//   GET    /admin/faults   lists the injected faults, one a line
//   DELETE /admin/faults   clears them
//
// Answers are plain text: 200 with what was done, 400 with what is wrong.
#pragma once

#include <ZelHttp/HttpServer.h>
#include <ZelSample/Service.h>

#include <string>

namespace ZelServer {

// The decoded value of a query parameter of a target ("/p?a=1&b=x%20y");
// false when the target has none of that name. Throws std::invalid_argument
// for a bad percent escape.
bool QueryValue(const std::string& target, const std::string& name, std::string& value);

class AdminPages {
 public:
  explicit AdminPages(ZelSample::SampleService& service) : _service(service) {}

  // False for a target outside /admin/.
  bool Answer(const ZelHttp::PageRequest& request, ZelHttp::Page& page);

 private:
  void AddFault(const std::string& target, ZelHttp::Page& page);
  std::string ListFaults() const;

  ZelSample::SampleService& _service;
};

}  // namespace ZelServer
