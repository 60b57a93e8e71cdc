// The serving side on the wire: the dispatcher reads a request, hands the
// call to the registry of served objects (Lumo::ObjectRegistry::Invoke: look-up,
// type check, before-invoke hook, invokeByIndex) and writes the result or the
// fault.
#pragma once

#include <Kestrum/Object.h>
#include <Kestrum/Ref.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MoRef.h>
#include <Lumo/ObjectRegistry.h>
#include <Lumo/ServedCall.h>
#include <Lumo/Wire/Codec.h>
#include <Lumo/Wire/Options.h>
#include <Lumo/Wire/Transport.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Lumo {
namespace Wire {

// What an implementation may learn about the call it serves when the call
// came through a dispatcher: the session its transport carries and the user
// the service resolved for it (ServedCall's members), what the dispatcher
// read, and what it recorded about the call for a log.
struct CallInfo : ServedCall {
  // While the call runs: the request as the transport handed it over (its
  // body is consumed by an in-place read), the API version of the call
  // (empty for every version) and the request context entries the caller
  // sent. The dispatcher clears request and context when it returns.
  const TransportRequest* request = nullptr;
  const std::string* version = nullptr;
  const std::vector<std::pair<std::string, std::string>>* context = nullptr;

  // The call record, kept after the call for a log. The method and target
  // are set once read (they stay null for a request that names neither).
  const ManagedMethod* method = nullptr;
  Kestrum::Ref<MoRef> target;
  // The wire type name of the fault the response carries
  // ("ZelFaultNotFound"); empty when the call was answered with its result.
  std::string fault;
  size_t requestBytes = 0;
  size_t responseBytes = 0;
  // Reading the request, running the call (look-up, hooks, implementation)
  // and writing the response.
  std::chrono::nanoseconds decodeTime{0};
  std::chrono::nanoseconds invokeTime{0};
  std::chrono::nanoseconds encodeTime{0};
};

struct DispatcherSettings {
  Limits limits;
  bool lenient = false;
};

class Dispatcher : public Kestrum::ObjectImpl {
 public:
  using Settings = DispatcherSettings;

  explicit Dispatcher(ObjectRegistry* registry, const Settings& settings = Settings());
  ObjectRegistry* GetRegistry() const { return _registry.Get(); }

  // Answers one request; never throws. The action names the version the
  // request is read for and the response written for. A fault of the
  // implementation, of the runtime or of the wire format becomes a fault
  // response (status 500) with the fault's own type; its faultcode is Client
  // for a request that does not read, names an unknown object or carries
  // arguments the service refuses (olyx.fault.InvalidArgument), Server for
  // other failures of the service and for a result that cannot be written,
  // VersionMismatch and MustUnderstand for envelope and header refusals.
  // The body is read from a copy.
  void Handle(const TransportRequest& request, TransportResponse& response);
  // The same, for a transport that keeps sessions or a log that reads the
  // call record: call comes with the session of the request (sessionId,
  // keepsSessions) and leaves with the session as the service left it
  // (sessionChanged after a login or a logout) and with the record filled
  // in. The call goes through the registry's Invoke, whose before-invoke
  // hook (a privilege check) runs once the target is found.
  void Handle(const TransportRequest& request, TransportResponse& response, CallInfo& call);
  // The same without copying the body: it is read in place and left
  // changed. For a transport that owns the request and has no further use
  // for its body.
  void HandleInPlace(TransportRequest& request, TransportResponse& response, CallInfo& call);

  // On the thread running an implementation inside Handle: the call it
  // serves. Null elsewhere, and inside a call that did not come through a
  // dispatcher (Lumo::CurrentCall() answers for every call).
  static const CallInfo* CurrentCall();

 protected:
  ~Dispatcher() override;

 private:
  const Codec& CodecFor(const std::string& action);
  // body: the request's body to read in place, or null to read a copy.
  void Serve(const TransportRequest& request, std::string* body, TransportResponse& response,
             CallInfo& call);
  void WriteFault(const Codec& codec, const MethodFault* fault, FaultCode code,
                  const ManagedMethod* method, TransportResponse& response, CallInfo& call);

  Kestrum::Ref<ObjectRegistry> _registry;
  Settings _settings;
  std::unique_ptr<Codec> _anyVersion;
  std::mutex _mutex;
  std::unordered_map<std::string, std::unique_ptr<Codec>> _codecs;
};

}  // namespace Wire
}  // namespace Lumo
