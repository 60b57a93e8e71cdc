#include "AdminPages.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "QueryString.h"

namespace ZelServer {

namespace {

std::string PathOf(const std::string& target) { return target.substr(0, target.find('?')); }

int Number(const std::string& name, const std::string& text, long max) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 0 || value > max) {
    throw std::invalid_argument(name + " is a number from 0 to " + std::to_string(max) +
                                ", not \"" + text + "\"");
  }
  return static_cast<int>(value);
}

const char* HttpName(ZelSample::InjectedFault::Http http) {
  switch (http) {
    case ZelSample::InjectedFault::Http::kUnavailable:
      return "503";
    case ZelSample::InjectedFault::Http::kReset:
      return "reset";
    case ZelSample::InjectedFault::Http::kNone:
      break;
  }
  return "-";
}

void Text(ZelHttp::Page& page, int status, const std::string& text) {
  page.status = status;
  page.contentType = "text/plain; charset=utf-8";
  page.body = text + "\n";
}

}  // namespace

bool QueryValue(const std::string& target, const std::string& name, std::string& value) {
  std::vector<QueryPair> pairs;
  if (!ParseQuery(target, pairs)) throw std::invalid_argument("a bad percent escape in the query");
  for (const QueryPair& pair : pairs) {
    if (pair.name == name) {
      value = pair.value;
      return true;
    }
  }
  return false;
}

bool AdminPages::Answer(const ZelHttp::PageRequest& request, ZelHttp::Page& page) {
  std::string path = PathOf(request.target);
  if (path.rfind("/admin/", 0) != 0) return false;
  try {
    if (path == "/admin/reset" && request.method == "POST") {
      _service.Reset();
      Text(page, 200, "reset: no profiles, associations, results or injected faults");
    } else if (path == "/admin/faults" && request.method == "POST") {
      AddFault(request.target, page);
    } else if (path == "/admin/faults" && (request.method == "GET" || request.method == "HEAD")) {
      Text(page, 200, ListFaults());
    } else if (path == "/admin/faults" && request.method == "DELETE") {
      _service.ClearFaults();
      Text(page, 200, "cleared");
    } else if (path == "/admin/reset" || path == "/admin/faults") {
      Text(page, 405, request.method + " is not served at " + path);
    } else {
      return false;
    }
  } catch (const std::invalid_argument& e) {
    Text(page, 400, e.what());
  }
  return true;
}

void AdminPages::AddFault(const std::string& target, ZelHttp::Page& page) {
  ZelSample::InjectedFault rule;
  if (!QueryValue(target, "method", rule.method) || rule.method.empty()) {
    throw std::invalid_argument("name the method: ?method=ProfileManager.create");
  }
  QueryValue(target, "session", rule.session);
  QueryValue(target, "fault", rule.fault);
  std::string text;
  if (QueryValue(target, "calls", text)) rule.calls = Number("calls", text, 1000000);
  if (QueryValue(target, "delay", text)) {
    rule.delay = std::chrono::milliseconds(
        Number("delay", text, static_cast<long>(ZelSample::kMaxInjectedDelay.count())));
  }
  if (QueryValue(target, "http", text)) {
    if (text == "503") {
      rule.http = ZelSample::InjectedFault::Http::kUnavailable;
    } else if (text == "reset") {
      rule.http = ZelSample::InjectedFault::Http::kReset;
    } else {
      throw std::invalid_argument("http is 503 or reset, not \"" + text + "\"");
    }
  }
  if (rule.fault.empty() && rule.http == ZelSample::InjectedFault::Http::kNone &&
      rule.delay.count() == 0) {
    throw std::invalid_argument("give a fault, a delay or an http failure");
  }
  _service.InjectFault(rule);
  Text(page, 200, "injected: " + ListFaults());
}

std::string AdminPages::ListFaults() const {
  std::string out;
  for (const ZelSample::InjectedFault& rule : _service.ListFaults()) {
    if (!out.empty()) out += "\n";
    out +=
        "method=" + rule.method + " session=" + (rule.session.empty() ? "*" : rule.session) +
        " calls=" + (rule.calls == 0 ? std::string("until-cleared") : std::to_string(rule.calls)) +
        " fault=" + (rule.fault.empty() ? "-" : rule.fault) +
        " delay=" + std::to_string(rule.delay.count()) + "ms http=" + HttpName(rule.http);
  }
  return out.empty() ? "no faults injected" : out;
}

}  // namespace ZelServer
