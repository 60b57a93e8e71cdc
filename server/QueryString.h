// The query of a request target ("/zel?wsdl&version=zel.version.version2"),
// split into its name=value pairs and percent-decoded ('+' is a space).
#pragma once

#include <string>
#include <vector>

namespace ZelServer {

struct QueryPair {
  std::string name;
  std::string value;
  bool hasValue = false;  // "name=" has one, empty; "name" has none
};

// The pairs in their order, empty parts skipped; none when the target has no
// query. False, with pairs unspecified, when a percent escape is broken.
bool ParseQuery(const std::string& target, std::vector<QueryPair>& pairs);

}  // namespace ZelServer
