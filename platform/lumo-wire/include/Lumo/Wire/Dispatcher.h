// The serving side: managed objects registered by id, and the dispatcher that
// reads a request, calls the object through its type record's invokeByIndex
// and writes the result or the fault.
#pragma once

#include <Kestrum/Object.h>
#include <Kestrum/Ref.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MoRef.h>
#include <Lumo/Wire/Codec.h>
#include <Lumo/Wire/Options.h>
#include <Lumo/Wire/Transport.h>

#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>

namespace Lumo {
namespace Wire {

class ObjectRegistry : public Kestrum::ObjectImpl {
 public:
  ObjectRegistry();

  // Registers object under id (replacing what was there) and returns the
  // reference that names it: its type's wire name and id.
  Kestrum::Ref<MoRef> Register(const std::string& id, ManagedObject* object);
  // False when nothing was registered under id.
  bool Unregister(const std::string& id);
  // The object a reference names: registered under its id, of its type or a
  // type derived from it. Null otherwise.
  Kestrum::Ref<ManagedObject> Find(const MoRef* ref) const;

 protected:
  ~ObjectRegistry() override;

 private:
  mutable std::shared_mutex _mutex;
  std::unordered_map<std::string, Kestrum::Ref<ManagedObject>> _objects;
};

// What an implementation may learn about the call it serves.
struct CallInfo {
  const TransportRequest* request = nullptr;
  // The API version of the call; empty for every version.
  const std::string* version = nullptr;
  // The request context entries the caller sent.
  const std::vector<std::pair<std::string, std::string>>* context = nullptr;
};

struct DispatcherSettings {
  Limits limits;
  bool lenient = false;
  // Called on the serving thread once a request is read and its target
  // found, before the invocation (CurrentCall() answers inside). A fault
  // exception it throws is answered instead of invoking: the place for a
  // service's privilege check.
  std::function<void(const ManagedMethod& method, const CallInfo& call)> beforeInvoke;
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

  // On the thread running an implementation inside Handle: the call it
  // serves. Null elsewhere.
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
