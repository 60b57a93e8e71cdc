// zel call: one method call on a running service, over HTTP.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ZelCli {

struct CallOptions {
  std::string url;
  // A file holding a delegated token; when given, zel logs in with it first
  // (zel.ServiceInstance.retrieveContent, then the content's session
  // manager's loginByToken).
  std::string tokenFile;
  std::string serviceInstance = "ServiceInstance";
  std::string version;  // resolved version name; empty: every version
  bool xml = false;
  // Print answers and faults as JSON (Lumo::Json).
  bool json = false;
  // The arguments as one JSON object (-d), instead of assignments.
  std::string jsonArguments;
  bool hasJsonArguments = false;
  bool wire = false;
  std::string object;  // ID or TYPE:ID
  std::string method;
  std::vector<std::string> assignments;
};

// Exit codes of `zel call`.
enum : int { kCallAnswered = 0, kCallFaulted = 1, kCallUsage = 2, kCallFailed = 3 };

int RunCall(const CallOptions& options, std::ostream& out, std::ostream& err);

}  // namespace ZelCli
