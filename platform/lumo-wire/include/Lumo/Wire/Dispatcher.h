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

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Lumo {
namespace Wire {

// The served objects and the one way calls reach them live in the runtime
// (Lumo/ObjectRegistry.h): the dispatcher, the local stub adapter and a
// service's own adapters share them.
using ObjectRegistry = Lumo::ObjectRegistry;

// What an implementation may learn about the call it serves when the call
// came through a dispatcher: the session its transport carries
// (ServedCall's members) and what the dispatcher read.
struct CallInfo : ServedCall {
  const TransportRequest* request = nullptr;
  // The API version of the call; empty for every version.
  const std::string* version = nullptr;
  // The request context entries the caller sent.
  const std::vector<std::pair<std::string, std::string>>* context = nullptr;
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
  void Handle(const TransportRequest& request, TransportResponse& response);
  // The same, for a transport that keeps sessions: call comes with the
  // session of the request (sessionId, keepsSessions) and leaves with the
  // session as the service left it (sessionChanged after a login or a
  // logout). The dispatcher fills in request, version and context. The call
  // goes through the registry's Invoke, whose before-invoke hook (a
  // privilege check) runs once the target is found.
  void Handle(const TransportRequest& request, TransportResponse& response, CallInfo& call);

  // On the thread running an implementation inside Handle: the call it
  // serves. Null elsewhere, and inside a call that did not come through a
  // dispatcher (Lumo::CurrentCall() answers for every call).
  static const CallInfo* CurrentCall();

 protected:
  ~Dispatcher() override;

 private:
  const Codec& CodecFor(const std::string& action);
  void WriteFault(const Codec& codec, const MethodFault* fault, FaultCode code,
                  const ManagedMethod* method, TransportResponse& response);

  Kestrum::Ref<ObjectRegistry> _registry;
  Settings _settings;
  std::unique_ptr<Codec> _anyVersion;
  std::mutex _mutex;
  std::unordered_map<std::string, std::unique_ptr<Codec>> _codecs;
};

}  // namespace Wire
}  // namespace Lumo
