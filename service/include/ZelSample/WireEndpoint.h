// The sample service on the wire: a dispatcher serving the service's own
// registry of objects (whose before-invoke hook checks each method's
// privilege), and sessions carried by a cookie. Transports (HTTP, in
// process) hand it requests.
#pragma once

#include <Kestrum/Object.h>
#include <Kestrum/Ref.h>
#include <Lumo/Wire/Dispatcher.h>
#include <Lumo/Wire/Transport.h>
#include <ZelSample/Service.h>

#include <mutex>
#include <string>

namespace ZelSample {

// The cookie that carries the session.
inline constexpr char kSessionCookie[] = "zel_session";

// The session a Set-Cookie header value sets (empty when it clears it);
// false for another cookie or a header that does not read.
bool SessionFromSetCookie(const std::string& header, std::string& session);

// Must not outlive the service it serves.
class WireEndpoint : public Kestrum::ObjectImpl {
 public:
  explicit WireEndpoint(SampleService& service,
                        const Lumo::Wire::DispatcherSettings& settings = {});

  // Answers one request; never throws. The session comes from the request's
  // Cookie header; when a login or logout changes it, the response carries a
  // Set-Cookie header that sets or clears the cookie.
  void Handle(const Lumo::Wire::TransportRequest& request, Lumo::Wire::TransportResponse& response);
  // The same, leaving the call record in call (the dispatcher's, with the
  // user the service resolved) for a log, and reading the body in place:
  // the request's body is left changed.
  void HandleInPlace(Lumo::Wire::TransportRequest& request, Lumo::Wire::TransportResponse& response,
                     Lumo::Wire::CallInfo& call);

  SampleService& GetService() const { return _service; }
  Lumo::Wire::Dispatcher* GetDispatcher() const { return _dispatcher.Get(); }

 protected:
  ~WireEndpoint() override;

 private:
  // The session of the request's cookie, for the call.
  static void TakeSession(const Lumo::Wire::TransportRequest& request, Lumo::Wire::CallInfo& call);
  // The cookie of a session the call changed, for the response.
  static void GiveSession(const Lumo::Wire::CallInfo& call,
                          Lumo::Wire::TransportResponse& response);

  SampleService& _service;
  Kestrum::Ref<Lumo::Wire::Dispatcher> _dispatcher;
};

// A transport to an endpoint in the same process: requests travel as bytes
// and the session cookie is kept as an HTTP client keeps it. No network.
class InProcessTransport : public Lumo::Wire::Transport {
 public:
  explicit InProcessTransport(WireEndpoint* endpoint);
  void Send(const Lumo::Wire::TransportRequest& request,
            Lumo::Wire::TransportResponse& response) override;

  // The session cookie's value; empty without a session.
  std::string GetSession() const;

 protected:
  ~InProcessTransport() override;

 private:
  Kestrum::Ref<WireEndpoint> _endpoint;
  mutable std::mutex _mutex;
  std::string _session;
};

}  // namespace ZelSample
