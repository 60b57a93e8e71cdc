// The documents that describe the service, answered to GET requests of the
// service's path:
//
//   <path>?wsdl                 the WSDL of the newest numbered API version
//   <path>?wsdl&version=V       the WSDL of version V: a full name
//                               (zel.version.version2), a short name
//                               (version2), an id (2.0), or "all" for every
//                               version at once
//   <path>?xsd[&version=V]      the schema the WSDL includes from there
//
// The WSDL names the service's URL as its address. Documents are made once
// per version and kept.
#pragma once

#include <Lumo/Wire/Wsdl.h>

#include <map>
#include <mutex>
#include <string>

namespace ZelServer {

class ServiceDescription {
 public:
  explicit ServiceDescription(std::string ns);

  // The URL the service is served at; GET requests are refused until set.
  void SetUrl(const std::string& url);

  // A getHandler of the HTTP server: false for anything but the queries
  // above (and an unknown version).
  bool Answer(const std::string& target, std::string& contentType, std::string& body);

 private:
  const Lumo::Wire::WsdlDocuments& DocumentsFor(const std::string& version);

  std::string _ns;
  std::mutex _mutex;
  std::string _url;
  std::map<std::string, Lumo::Wire::WsdlDocuments> _documents;  // by version, "" for all
};

}  // namespace ZelServer
