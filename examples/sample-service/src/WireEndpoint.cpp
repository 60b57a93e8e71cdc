#include <Lumo/Wire/WireFormatFault.h>
#include <ZelSample/WireEndpoint.h>

namespace ZelSample {

namespace {

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string SetCookieValue(const std::string& session) {
  std::string value = std::string(kSessionCookie) + "=" + session + "; Path=/; HttpOnly";
  if (session.empty()) value += "; Max-Age=0";
  return value;
}

// The session a Set-Cookie header value sets; false for another cookie.
bool SessionFromSetCookie(const std::string& header, std::string& session) {
  std::string pair = header.substr(0, header.find(';'));
  size_t equals = pair.find('=');
  if (equals == std::string::npos || Trim(pair.substr(0, equals)) != kSessionCookie) return false;
  session = Trim(pair.substr(equals + 1));
  if (header.find("Max-Age=0") != std::string::npos) session.clear();
  return true;
}

}  // namespace

std::string FindCookie(const std::string& cookieHeader, const std::string& name) {
  size_t start = 0;
  while (start <= cookieHeader.size()) {
    size_t end = cookieHeader.find(';', start);
    if (end == std::string::npos) end = cookieHeader.size();
    std::string pair = cookieHeader.substr(start, end - start);
    size_t equals = pair.find('=');
    if (equals != std::string::npos && Trim(pair.substr(0, equals)) == name) {
      return Trim(pair.substr(equals + 1));
    }
    start = end + 1;
  }
  return std::string();
}

// ---- WireEndpoint ---------------------------------------------------------------------

WireEndpoint::WireEndpoint(SampleService& service, const Lumo::Wire::DispatcherSettings& settings)
    : _service(service), _dispatcher(new Lumo::Wire::Dispatcher(service.GetObjects(), settings)) {}

WireEndpoint::~WireEndpoint() = default;

void WireEndpoint::Handle(const Lumo::Wire::TransportRequest& request,
                          Lumo::Wire::TransportResponse& response) {
  Lumo::Wire::CallInfo call;
  call.keepsSessions = true;
  if (const std::string* cookies = Lumo::Wire::FindHeader(request.headers, "Cookie")) {
    call.sessionId = FindCookie(*cookies, kSessionCookie);
  }
  _dispatcher->Handle(request, response, call);
  if (call.sessionChanged) {
    response.headers.emplace_back("Set-Cookie", SetCookieValue(call.sessionId));
  }
}

// ---- InProcessTransport -------------------------------------------------------------------

InProcessTransport::InProcessTransport(WireEndpoint* endpoint) : _endpoint(endpoint) {}

InProcessTransport::~InProcessTransport() = default;

void InProcessTransport::Send(const Lumo::Wire::TransportRequest& request,
                              Lumo::Wire::TransportResponse& response) {
  if (!_endpoint) {
    Lumo::Wire::ThrowWireFault(Lumo::Wire::Reason::kTransport, "", "no endpoint to send to");
  }
  Lumo::Wire::TransportRequest withCookie = request;
  std::string session = GetSession();
  if (!session.empty()) {
    withCookie.headers.emplace_back("Cookie", std::string(kSessionCookie) + "=" + session);
  }
  _endpoint->Handle(withCookie, response);
  for (const auto& [name, value] : response.headers) {
    std::string updated;
    if (name == "Set-Cookie" && SessionFromSetCookie(value, updated)) {
      std::lock_guard<std::mutex> lock(_mutex);
      _session = updated;
    }
  }
}

std::string InProcessTransport::GetSession() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _session;
}

}  // namespace ZelSample
