#include <Lumo/ManagedMethod.h>
#include <Lumo/ServedCall.h>
#include <Lumo/Type.h>
#include <Lumo/Wire/StubAdapters.h>

#include "CallRefusal.h"

namespace Lumo {
namespace Wire {

// ---- LocalStubAdapter -------------------------------------------------------------------

LocalStubAdapter::LocalStubAdapter(ObjectRegistry* registry, SessionKeeping sessions)
    : _registry(registry), _sessions(sessions) {}
LocalStubAdapter::~LocalStubAdapter() = default;

void LocalStubAdapter::Invoke(Stub* stub, ManagedMethod* method,
                              std::vector<Kestrum::Ref<Any>>& args, Kestrum::Ref<Any>& result) {
  MoRef* ref = stub ? stub->_GetRef() : nullptr;
  if (!_registry) Detail::RefuseCall(Refusal::kNoObject, ref, *method, nullptr);
  ServedCall call;
  if (_sessions == SessionKeeping::kKept) {
    call.keepsSessions = true;
    call.sessionId = GetSessionId();
  }
  _registry->Invoke(call, ref, *method, args, result, Detail::RefuseCall);
  if (call.sessionChanged && call.keepsSessions) SetSessionId(call.sessionId);
}

std::string LocalStubAdapter::GetSessionId() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _sessionId;
}

void LocalStubAdapter::SetSessionId(const std::string& id) {
  std::lock_guard<std::mutex> lock(_mutex);
  _sessionId = id;
}

// ---- WireStubAdapter --------------------------------------------------------------------

WireStubAdapter::WireStubAdapter(Transport* transport, const Options& options)
    : _transport(transport), _codec(options) {}

WireStubAdapter::~WireStubAdapter() = default;

void WireStubAdapter::SetHeader(const std::string& name, const std::string& value) {
  std::lock_guard<std::mutex> lock(_mutex);
  for (auto it = _headers.begin(); it != _headers.end(); ++it) {
    if (it->first == name) {
      if (value.empty()) {
        _headers.erase(it);
      } else {
        it->second = value;
      }
      return;
    }
  }
  if (!value.empty()) _headers.emplace_back(name, value);
}

Headers WireStubAdapter::GetLastResponseHeaders() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _lastResponseHeaders;
}

void WireStubAdapter::Invoke(Stub* stub, ManagedMethod* method,
                             std::vector<Kestrum::Ref<Any>>& args, Kestrum::Ref<Any>& result) {
  if (!_transport) ThrowWireFault(Reason::kTransport, "", "no transport");
  TransportRequest request;
  request.action = _codec.GetAction(method);
  Kestrum::Ref<RequestContext> context(stub ? stub->_GetRequestContext() : nullptr);
  _codec.EncodeRequest(method, stub ? stub->_GetRef() : nullptr, args, request.body, context.Get());
  {
    std::lock_guard<std::mutex> lock(_mutex);
    request.headers = _headers;
  }
  TransportResponse response;
  _transport->Send(request, response);
  if (!response.headers.empty()) {
    std::lock_guard<std::mutex> lock(_mutex);
    _lastResponseHeaders = response.headers;
  }
  if (response.body.empty()) {
    ThrowWireFault(Reason::kTransport, method->GetQualifiedName(),
                   "an empty response (status " + std::to_string(response.status) + ")");
  }
  result = _codec.DecodeResponseInPlace(method, response.body);
}

}  // namespace Wire
}  // namespace Lumo
