#include <Lumo/Wire/Cookies.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <ZelSample/WireEndpoint.h>

#include <ctime>

namespace ZelSample {

namespace {

std::string SetCookieValue(const std::string& session) {
  std::string value = std::string(kSessionCookie) + "=" + session + "; Path=/; HttpOnly";
  if (session.empty()) value += "; Max-Age=0";
  return value;
}

}  // namespace

bool SessionFromSetCookie(const std::string& header, std::string& session) {
  Lumo::Wire::SetCookie cookie;
  if (!Lumo::Wire::ParseSetCookie(header, cookie) || cookie.name != kSessionCookie) return false;
  session = cookie.Removes(std::time(nullptr)) ? std::string() : cookie.value;
  return true;
}

// ---- WireEndpoint ---------------------------------------------------------------------

WireEndpoint::WireEndpoint(SampleService& service, const Lumo::Wire::DispatcherSettings& settings)
    : _service(service), _dispatcher(new Lumo::Wire::Dispatcher(service.GetRegistry(), settings)) {}

WireEndpoint::~WireEndpoint() = default;

void WireEndpoint::TakeSession(const Lumo::Wire::TransportRequest& request,
                               Lumo::Wire::CallInfo& call) {
  call.keepsSessions = true;
  if (const std::string* cookies = Lumo::Wire::FindHeader(request.headers, "Cookie")) {
    call.sessionId = Lumo::Wire::FindCookie(*cookies, kSessionCookie);
  }
}

void WireEndpoint::GiveSession(const Lumo::Wire::CallInfo& call,
                               Lumo::Wire::TransportResponse& response) {
  if (call.sessionChanged) {
    response.headers.emplace_back("Set-Cookie", SetCookieValue(call.sessionId));
  }
}

void WireEndpoint::Handle(const Lumo::Wire::TransportRequest& request,
                          Lumo::Wire::TransportResponse& response) {
  Lumo::Wire::CallInfo call;
  TakeSession(request, call);
  _dispatcher->Handle(request, response, call);
  GiveSession(call, response);
}

void WireEndpoint::HandleInPlace(Lumo::Wire::TransportRequest& request,
                                 Lumo::Wire::TransportResponse& response,
                                 Lumo::Wire::CallInfo& call) {
  TakeSession(request, call);
  _dispatcher->HandleInPlace(request, response, call);
  GiveSession(call, response);
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
    std::string cookies;
    Lumo::Wire::AppendCookie(cookies, kSessionCookie, session);
    withCookie.headers.emplace_back("Cookie", cookies);
  }
  Lumo::Wire::CallInfo call;
  _endpoint->HandleInPlace(withCookie, response, call);
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
