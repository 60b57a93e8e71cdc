// Stub adapters: where the calls of client stubs go.
//
// LocalStubAdapter calls the object registered under the stub's reference
// through the registry's Invoke (look-up, type check, hooks,
// invokeByIndex): no serialisation. Its calls carry no session unless it
// keeps the session of its client as a transport keeps a cookie.
// WireStubAdapter writes each call as a request, sends it through a
// Transport, and reads the response: the result, or the fault thrown as the
// exception class of its own type.
//
// Asynchronous calls (StartInvoke, the runtime's default) return at once: the
// call runs on the runtime's call pool (Lumo/CallPool.h), which then calls the
// completion with the result or with the exception and marks the item done.
// Many calls may be in flight over one transport at a time.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Stub.h>
#include <Lumo/Wire/Codec.h>
#include <Lumo/Wire/Dispatcher.h>
#include <Lumo/Wire/Options.h>
#include <Lumo/Wire/Transport.h>

#include <mutex>
#include <string>

namespace Lumo {
namespace Wire {

// Whether a local stub adapter keeps the session of its client.
enum class SessionKeeping {
  kNone,  // every call comes without a session; a login is refused
  kKept,  // a login's session goes with the calls after it, until a logout
};

class LocalStubAdapter : public StubAdapter {
 public:
  explicit LocalStubAdapter(ObjectRegistry* registry,
                            SessionKeeping sessions = SessionKeeping::kNone);
  // Throws a WireFormatFault (reason "unknownObject") when the stub's
  // reference names no registered object, (reason "wrongType") when the
  // object does not implement the method, as the dispatcher answers such a
  // request; what the registry's hooks and the implementation throw passes
  // unchanged.
  void Invoke(Stub* stub, ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args,
              Kestrum::Ref<Any>& result) override;

  // The client's session; empty before a login, after a logout and when
  // sessions are not kept.
  std::string GetSessionId() const;
  void SetSessionId(const std::string& id);

 protected:
  ~LocalStubAdapter() override;

 private:
  Kestrum::Ref<ObjectRegistry> _registry;
  const SessionKeeping _sessions;
  mutable std::mutex _mutex;
  std::string _sessionId;
};

class WireStubAdapter : public StubAdapter {
 public:
  // Throws a WireFormatFault (reason "version") for an unknown version.
  explicit WireStubAdapter(Transport* transport, const Options& options = Options());
  void Invoke(Stub* stub, ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args,
              Kestrum::Ref<Any>& result) override;

  const Codec& GetCodec() const { return _codec; }
  // A header sent with every request from now on (e.g. a session cookie);
  // an empty value removes it.
  void SetHeader(const std::string& name, const std::string& value);
  // The headers of the last response that carried any (e.g. a new cookie).
  Headers GetLastResponseHeaders() const;

 protected:
  ~WireStubAdapter() override;

 private:
  Kestrum::Ref<Transport> _transport;
  Codec _codec;
  mutable std::mutex _mutex;
  Headers _headers;
  Headers _lastResponseHeaders;
};

}  // namespace Wire
}  // namespace Lumo
