// zel-server's request log: one line per answered request with its time,
// peer, user, method, outcome (ok, the fault's type, or the HTTP layer's
// refusal) and duration.
#pragma once

#include <ZelHttp/HttpServer.h>
#include <ZelSample/Service.h>

#include <mutex>
#include <ostream>
#include <string>

namespace ZelServer {

enum class LogLevel { kError, kWarning, kInfo, kDebug };

// "error", "warning", "info", "debug"; false for another word.
bool ParseLogLevel(const std::string& text, LogLevel& level);

// The element name of the call in a request body ("ZelLoginByToken"), or
// "-" when there is none.
std::string CalledMethod(const std::string& requestBody);
// The type of the fault in a fault response body ("InvalidLogin"), or "-".
std::string FaultType(const std::string& responseBody);

class RequestLog {
 public:
  // kError logs no call; kWarning the calls that failed; kInfo every call;
  // kDebug also the action and the body sizes.
  RequestLog(ZelSample::SampleService& service, LogLevel level, std::ostream& out);
  void Write(const ZelHttp::RequestRecord& record);

 private:
  std::string UserOf(const ZelHttp::RequestRecord& record) const;

  ZelSample::SampleService& _service;
  LogLevel _level;
  std::ostream& _out;
  std::mutex _mutex;
};

}  // namespace ZelServer
