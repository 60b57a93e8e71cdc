// zel-server's request log: one line per answered request with its time,
// peer, user, method, outcome (ok, the fault's type, or the HTTP layer's
// refusal) and duration, all taken from the request's record and the call
// record the endpoint left on it (Lumo::Wire::CallInfo).
#pragma once

#include <ZelHttp/HttpServer.h>

#include <mutex>
#include <ostream>
#include <string>

namespace ZelServer {

enum class LogLevel { kError, kWarning, kInfo, kDebug };

// "error", "warning", "info", "debug"; false for another word.
bool ParseLogLevel(const std::string& text, LogLevel& level);

// Whether a GET target is one of the pages monitors poll (/healthz,
// /readyz, /metrics): logged at the debug level only, however answered, so
// that a load balancer polling every second does not fill the log.
bool IsProbeTarget(const std::string& target);

// The body with the content of every delegatedTokenXml element (a login's
// token, a credential) replaced by "[redacted]".
std::string RedactTokens(const std::string& body);

class RequestLog {
 public:
  // kError logs no call; kWarning the calls that failed; kInfo every call;
  // kDebug also the action, the body sizes, the target and the time spent
  // reading, invoking and writing, the probes, and the bodies of each call
  // (the request's as kept by HttpServerSettings::logBodies), tokens
  // redacted, on the lines after it.
  RequestLog(LogLevel level, std::ostream& out);
  void Write(const ZelHttp::RequestRecord& record);

 private:
  LogLevel _level;
  std::ostream& _out;
  std::mutex _mutex;
};

}  // namespace ZelServer
