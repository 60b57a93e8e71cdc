#include "RequestLog.h"

#include <Lumo/Wire/Cookies.h>
#include <ZelSample/WireEndpoint.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace ZelServer {

namespace {

std::string Now() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(millis));
  return text;
}

// The local name of the first element that starts at or after from.
std::string ElementNameAt(const std::string& xml, size_t from) {
  size_t open = xml.find('<', from);
  if (open == std::string::npos) return "-";
  size_t end = xml.find_first_of(" \t\r\n/>", open + 1);
  if (end == std::string::npos) return "-";
  std::string name = xml.substr(open + 1, end - open - 1);
  size_t colon = name.find(':');
  if (colon != std::string::npos) name = name.substr(colon + 1);
  if (name.empty() || name.size() > 200) return "-";
  return name;
}

// Where the content of the first element named local (any prefix) begins.
size_t AfterElement(const std::string& xml, const std::string& local) {
  for (size_t at = xml.find(local); at != std::string::npos; at = xml.find(local, at + 1)) {
    char before = at > 0 ? xml[at - 1] : '\0';
    if ((before == '<' || before == ':') && at + local.size() < xml.size() &&
        (xml[at + local.size()] == '>' || xml[at + local.size()] == ' ')) {
      size_t close = xml.find('>', at);
      return close == std::string::npos ? std::string::npos : close + 1;
    }
  }
  return std::string::npos;
}

}  // namespace

bool ParseLogLevel(const std::string& text, LogLevel& level) {
  if (text == "error") {
    level = LogLevel::kError;
  } else if (text == "warning") {
    level = LogLevel::kWarning;
  } else if (text == "info") {
    level = LogLevel::kInfo;
  } else if (text == "debug") {
    level = LogLevel::kDebug;
  } else {
    return false;
  }
  return true;
}

std::string CalledMethod(const std::string& requestBody) {
  size_t body = AfterElement(requestBody, "Body");
  return body == std::string::npos ? "-" : ElementNameAt(requestBody, body);
}

std::string FaultType(const std::string& responseBody) {
  size_t detail = AfterElement(responseBody, "detail");
  if (detail == std::string::npos) return "-";
  std::string name = ElementNameAt(responseBody, detail);
  // The wire writes "<XFault xsi:type=...>"; the log names X.
  if (name.size() > 5 && name.compare(name.size() - 5, 5, "Fault") == 0) {
    name = name.substr(0, name.size() - 5);
  }
  return name;
}

RequestLog::RequestLog(ZelSample::SampleService& service, LogLevel level, std::ostream& out)
    : _service(service), _level(level), _out(out) {}

std::string RequestLog::UserOf(const ZelHttp::RequestRecord& record) const {
  std::string session;
  if (record.response != nullptr) {
    for (const auto& [name, value] : record.response->headers) {
      if (name == "Set-Cookie") ZelSample::SessionFromSetCookie(value, session);
    }
  }
  if (session.empty() && record.request != nullptr) {
    if (const std::string* cookies = Lumo::Wire::FindHeader(record.request->headers, "Cookie")) {
      session = Lumo::Wire::FindCookie(*cookies, ZelSample::kSessionCookie);
    }
  }
  if (session.empty()) return "-";
  auto info = _service.GetSessions().Find(session);
  return info ? info->user : "-";
}

void RequestLog::Write(const ZelHttp::RequestRecord& record) {
  bool failed = record.status != 200;
  if (_level == LogLevel::kError || (_level == LogLevel::kWarning && !failed)) return;
  std::string method = record.request != nullptr ? CalledMethod(record.request->body)
                                                 : record.httpMethod + " " + record.target;
  std::string outcome;
  if (record.response != nullptr && record.status == 200) {
    outcome = "ok";
  } else if (record.response != nullptr) {
    outcome = "fault:" + FaultType(record.response->body);
  } else {
    outcome = "http:" + std::to_string(record.status) +
              (record.refusal.empty() ? "" : " (" + record.refusal + ")");
  }
  char duration[32];
  std::snprintf(duration, sizeof duration, "%.3fms", record.duration.count() / 1000.0);
  std::string line = Now() + " " + (record.peer.empty() ? "-" : record.peer) + " " +
                     UserOf(record) + " " + method + " " + outcome + " " + duration;
  if (_level == LogLevel::kDebug && record.request != nullptr) {
    line += " action=\"" + record.request->action +
            "\" in=" + std::to_string(record.request->body.size()) +
            " out=" + std::to_string(record.response ? record.response->body.size() : 0);
  }
  std::lock_guard<std::mutex> lock(_mutex);
  _out << line << '\n' << std::flush;
}

}  // namespace ZelServer
