// Transports carry the bytes of a call and of its response. The interface is
// deliberately small: a request (action, body, headers) in, a response
// (status, body, headers) out. Headers carry what lies beside the message,
// such as a session cookie.
#pragma once

#include <Kestrum/Object.h>
#include <Kestrum/Ref.h>

#include <string>
#include <utility>
#include <vector>

namespace Lumo {
namespace Wire {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct TransportRequest {
  // What names the API and its version (Codec::GetAction): "urn:zel/6.7.2".
  std::string action;
  std::string body;
  Headers headers;
};

struct TransportResponse {
  // 200 with a result, 500 with a fault (as HTTP has them).
  int status = 0;
  std::string body;
  Headers headers;
};

// The value of the first header of that name (case-insensitive), or null.
const std::string* FindHeader(const Headers& headers, const std::string& name);

class Transport : public Kestrum::ObjectImpl {
 public:
  // Carries one request and fills the response. Throws a WireFormatFault
  // (reason "transport") when no response came back; a fault response is a
  // response. May be called from several threads at once.
  virtual void Send(const TransportRequest& request, TransportResponse& response) = 0;

 protected:
  ~Transport() override;
};

class Dispatcher;

// Hands requests to a dispatcher in the same process, as bytes: no network.
class LoopbackTransport : public Transport {
 public:
  explicit LoopbackTransport(Dispatcher* dispatcher);
  void Send(const TransportRequest& request, TransportResponse& response) override;

 protected:
  ~LoopbackTransport() override;

 private:
  Kestrum::Ref<Dispatcher> _dispatcher;
};

}  // namespace Wire
}  // namespace Lumo
