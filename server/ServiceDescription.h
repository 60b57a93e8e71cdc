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
// The WSDL names the service's URL as its address, the one the client was
// told to call (PublicAddress.h), which can differ from request to request.
// Documents are made once per version and address and kept, a bounded
// number of them: a client naming many hosts cannot make the cache grow.
#pragma once

#include <Lumo/Wire/Wsdl.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace ZelServer {

class ServiceDescription {
 public:
  explicit ServiceDescription(std::string ns);

  // The documents kept at most; more, and the oldest are made again when
  // asked for.
  static constexpr size_t kMaxKept = 32;

  // Answers a GET of target with the documents naming url, the service's
  // address: false for anything but the queries above (and an unknown
  // version).
  bool Answer(const std::string& target, const std::string& url, std::string& contentType,
              std::string& body);

 private:
  // By address and version ("" for all).
  using Key = std::pair<std::string, std::string>;
  std::shared_ptr<const Lumo::Wire::WsdlDocuments> DocumentsFor(const std::string& url,
                                                                const std::string& version);

  std::string _ns;
  std::mutex _mutex;
  std::map<Key, std::shared_ptr<const Lumo::Wire::WsdlDocuments>> _documents;
  std::deque<Key> _kept;  // the keys of _documents, oldest first
};

}  // namespace ZelServer
