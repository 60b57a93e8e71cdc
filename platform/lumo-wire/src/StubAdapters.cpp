#include <Lumo/ManagedMethod.h>
#include <Lumo/ServedCall.h>
#include <Lumo/Type.h>
#include <Lumo/Wire/StubAdapters.h>

namespace Lumo {
namespace Wire {

// ---- LocalStubAdapter -------------------------------------------------------------------

namespace {

// A stub whose reference names no object the registry can call: the
// caller's fault, on the method called.
[[noreturn]] void RefuseLocalCall(Refusal why, const MoRef* ref, const ManagedMethod& method,
                                  const ManagedObject*) {
  if (why == Refusal::kWrongType) {
    ThrowWireFault(Reason::kWrongType, method.GetQualifiedName(),
                   "the object does not implement " + std::string(method.GetOwner()->GetName()));
  }
  ThrowWireFault(Reason::kUnknownObject, method.GetQualifiedName(),
                 ref ? "no " + ref->GetTypeName() + " '" + ref->GetId() + "'" : "no reference");
}

}  // namespace

LocalStubAdapter::LocalStubAdapter(ObjectRegistry* registry) : _registry(registry) {}
LocalStubAdapter::~LocalStubAdapter() = default;

void LocalStubAdapter::Invoke(Stub* stub, ManagedMethod* method,
                              std::vector<Kestrum::Ref<Any>>& args, Kestrum::Ref<Any>& result) {
  MoRef* ref = stub ? stub->_GetRef() : nullptr;
  if (!_registry) RefuseLocalCall(Refusal::kNoObject, ref, *method, nullptr);
  ServedCall call;
  _registry->Invoke(call, ref, *method, args, result, RefuseLocalCall);
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
