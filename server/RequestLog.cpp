#include "RequestLog.h"

#include <Lumo/Wire/Dispatcher.h>

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

// "1.234ms".
template <class Duration>
std::string Millis(Duration duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3fms",
                std::chrono::duration<double, std::milli>(duration).count());
  return text;
}

std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

// The line without its time: PEER USER METHOD OUTCOME DURATION, and at
// debug level the fields that follow.
std::string Describe(const ZelHttp::RequestRecord& record, LogLevel level) {
  // The call record: what the dispatcher read and answered, and the user
  // the service resolved. Null for a request the HTTP layer refused.
  const Lumo::Wire::CallInfo* call = record.request != nullptr ? record.call : nullptr;
  std::string method;
  if (record.request == nullptr && record.httpMethod.empty()) {
    method = "-";  // a connection refused before any request
  } else if (record.request == nullptr) {
    method = record.httpMethod + " " + record.target;
  } else {
    method = call != nullptr && call->method != nullptr ? call->method->GetWsdlName() : "-";
  }
  std::string outcome;
  if (record.response != nullptr && record.status == 200) {
    outcome = "ok";
  } else if (record.response != nullptr) {
    outcome = "fault:" + OrDash(call != nullptr ? call->fault : std::string());
  } else {
    outcome = "http:" + std::to_string(record.status) +
              (record.refusal.empty() ? "" : " (" + record.refusal + ")");
  }
  std::string line = OrDash(record.peer) + " " + OrDash(call != nullptr ? call->user : "") + " " +
                     method + " " + outcome + " " + Millis(record.duration);
  if (level == LogLevel::kDebug && call != nullptr) {
    line += " action=\"" + record.request->action + "\" in=" + std::to_string(call->requestBytes) +
            " out=" + std::to_string(call->responseBytes) + " target=" +
            (call->target ? call->target->GetTypeName() + ":" + call->target->GetId() : "-") +
            " decode=" + Millis(call->decodeTime) + " invoke=" + Millis(call->invokeTime) +
            " encode=" + Millis(call->encodeTime);
  }
  return line;
}

// A body on indented lines, so that every line of the log that is not
// indented starts an entry.
std::string Indented(const std::string& label, const std::string& body) {
  std::string out = "\n  " + label + ": ";
  for (char c : body) {
    out += c;
    if (c == '\n') out += "    ";
  }
  return out;
}

// The bodies of a call, after the call's line.
std::string Bodies(const ZelHttp::RequestRecord& record) {
  std::string out;
  if (!record.requestBody.empty()) out += Indented("request", RedactTokens(record.requestBody));
  if (record.response != nullptr) out += Indented("response", record.response->body);
  return out;
}

}  // namespace

std::string RedactTokens(const std::string& body) {
  static const std::string kName = "delegatedTokenXml";
  std::string out;
  size_t from = 0;
  while (true) {
    size_t name = body.find(kName, from);
    if (name == std::string::npos) break;
    size_t open = body.rfind('<', name);
    size_t close = body.find('>', name);
    // Only a start tag (<delegatedTokenXml ...> or <p:delegatedTokenXml>)
    // that is not empty-element: its content runs to the next end tag.
    bool startTag = open != std::string::npos && close != std::string::npos &&
                    body.find_first_not_of(
                        ":abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                        "0123456789_-.",
                        open + 1) == name + kName.size() &&
                    body[close - 1] != '/';
    // Its end tag: the next "delegatedTokenXml>" after an "</", so that a
    // token carried as CDATA with end tags of its own is redacted whole.
    size_t endName = startTag ? body.find(kName + ">", close) : std::string::npos;
    size_t end = endName != std::string::npos ? body.rfind("</", endName) : std::string::npos;
    if (end != std::string::npos && end < close) end = std::string::npos;
    if (!startTag) {
      out.append(body, from, name + kName.size() - from);
      from = name + kName.size();
      continue;
    }
    out.append(body, from, close + 1 - from);
    out += "[redacted]";
    // A start tag without its end tag: everything after it may be the token.
    if (end == std::string::npos) return out;
    from = end;
  }
  out.append(body, from, std::string::npos);
  return out;
}

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

bool IsProbeTarget(const std::string& target) {
  std::string path = target.substr(0, target.find('?'));
  return path == "/healthz" || path == "/readyz" || path == "/metrics";
}

RequestLog::RequestLog(LogLevel level, std::ostream& out) : _level(level), _out(out) {}

void RequestLog::Write(const ZelHttp::RequestRecord& record) {
  bool failed = record.status != 200;
  if (_level == LogLevel::kError || (_level == LogLevel::kWarning && !failed)) return;
  bool probe = record.request == nullptr &&
               (record.httpMethod == "GET" || record.httpMethod == "HEAD") &&
               IsProbeTarget(record.target);
  if (probe && _level != LogLevel::kDebug) return;
  std::string line = Now() + " " + Describe(record, _level);
  if (_level == LogLevel::kDebug) line += Bodies(record);
  std::lock_guard<std::mutex> lock(_mutex);
  _out << line << '\n' << std::flush;
}

}  // namespace ZelServer
