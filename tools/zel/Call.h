// zel call: one method call on a running service, over HTTP.
#pragma once

#include <chrono>
#include <istream>
#include <ostream>
#include <string>
#include <utility>
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
  // How answers are printed.
  enum class Output { kOutline, kXml } output = Output::kOutline;
  bool wire = false;
  // https: certificates to trust instead of the system's; or none checked.
  std::string caCertificateFile;
  bool insecure = false;
  // Extra HTTP headers sent with every request, as "Name: value".
  std::vector<std::string> headers;
  // The longest a connection and each call may take; zero: the transport's
  // defaults.
  std::chrono::milliseconds timeout{0};
  std::string object;  // ID or TYPE:ID
  std::string method;
  std::vector<std::string> assignments;
  // The request body: "@FILE", "@-" (standard input) or the XML itself;
  // empty: none.
  std::string data;
};

// Splits "Name: value" into its parts; false, with why in error, for a
// name that is not an HTTP token, a value with a line break, or a header
// that zel sets itself (Host, Content-Type, Content-Length, SOAPAction...).
bool ParseHeader(const std::string& text, std::pair<std::string, std::string>& header,
                 std::string& error);

// Exit codes of `zel call`.
enum : int { kCallAnswered = 0, kCallFaulted = 1, kCallUsage = 2, kCallFailed = 3 };

// Calls; what a usage error is, is told on err prefixed by "zel call: ".
// Standard input is read for @- values.
int RunCall(const CallOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace ZelCli
