// Client stubs: managed objects whose calls go through a StubAdapter.
//
// A generated stub derives from its interface (virtually) and from StubImpl.
// Its members pack the arguments into a vector of Ref<Any> and call the
// task-form invocations below with the method object of the call.
#pragma once

#include <Kestrum/Functor.h>
#include <Kestrum/Object.h>
#include <Kestrum/Ref.h>
#include <Kestrum/ScheduledItem.h>
#include <Lumo/Any.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MoRef.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace Lumo {

// Completion of a started call: the scheduled item, the exception the call
// failed with (or null) and the result (or null).
using CompletionFunctor =
    Kestrum::Functor<void, Kestrum::System::ScheduledItem*, Kestrum::Exception*, Any*, Kestrum::Nil,
                     Kestrum::Nil, Kestrum::Nil, Kestrum::Nil>;

// Carries calls of stubs somewhere: to a remote service, to a local object...
class StubAdapter : public Kestrum::ObjectImpl {
 public:
  // Performs the call; throws what the call fails with (fault exceptions
  // included).
  virtual void Invoke(Stub* stub, ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args,
                      Kestrum::Ref<Any>& result) = 0;
  // Starts the call and returns at once. The default queues it on the
  // runtime's call pool (Lumo/CallPool.h): a pool thread runs Invoke, then
  // the completion with the result or with the caught Kestrum::Exception,
  // then marks the item done. A call the pool cancels at shutdown completes
  // with a MethodFault exception. Throws MethodFault::Exception, and starts
  // nothing, when the pool refuses the call (shut down, or its queue full).
  virtual void StartInvoke(Stub* stub, ManagedMethod* method,
                           const std::vector<Kestrum::Ref<Any>>& args,
                           const CompletionFunctor& completion,
                           Kestrum::Ref<Kestrum::System::ScheduledItem>& item);

 protected:
  ~StubAdapter() override;
};

// String key/value pairs that travel with the calls of a stub.
class RequestContext : public Kestrum::ObjectImpl {
 public:
  RequestContext();
  void Set(const std::string& key, const std::string& value);
  // Null when the key is absent.
  const std::string* Get(const std::string& key) const;
  void Remove(const std::string& key);
  const std::map<std::string, std::string>& GetAll() const { return _values; }

 protected:
  ~RequestContext() override;

 private:
  std::map<std::string, std::string> _values;
};

class Stub : public virtual ManagedObject {
 public:
  // Virtual order: _Invoke, _Invoke_Task, _StartInvoke, _StartInvoke_Task,
  // _GetStubAdapter, _GetRequestContext, _SetRequestContext.
  virtual void _Invoke(ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args,
                       Kestrum::Ref<Any>& result) = 0;
  virtual void _Invoke_Task(ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args,
                            Kestrum::Ref<Any>& result) = 0;
  virtual void _StartInvoke(ManagedMethod* method, const std::vector<Kestrum::Ref<Any>>& args,
                            const CompletionFunctor& completion,
                            Kestrum::Ref<Kestrum::System::ScheduledItem>& item) = 0;
  virtual void _StartInvoke_Task(ManagedMethod* method, const std::vector<Kestrum::Ref<Any>>& args,
                                 const CompletionFunctor& completion,
                                 Kestrum::Ref<Kestrum::System::ScheduledItem>& item) = 0;
  virtual StubAdapter* _GetStubAdapter() const = 0;
  virtual RequestContext* _GetRequestContext() const = 0;
  virtual void _SetRequestContext(RequestContext* context) = 0;

 protected:
  Stub() = default;
  ~Stub() override;
};

// The runtime's stub machinery. It does not override _GetType: the interface
// a generated stub implements does.
class StubImpl : public virtual Stub, public Kestrum::ObjectImpl {
 public:
  StubImpl(MoRef* ref, StubAdapter* adapter, RequestContext* context);
  ~StubImpl() override;

  MoRef* _GetRef() const override;
  void _Unregistered() override;

  // _Invoke and _Invoke_Task pass the call to the adapter's Invoke;
  // _StartInvoke and _StartInvoke_Task to its StartInvoke. Without an adapter
  // they throw Lumo::Fault::NotSupported::Exception.
  void _Invoke(ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args,
               Kestrum::Ref<Any>& result) override;
  void _Invoke_Task(ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args,
                    Kestrum::Ref<Any>& result) override;
  void _StartInvoke(ManagedMethod* method, const std::vector<Kestrum::Ref<Any>>& args,
                    const CompletionFunctor& completion,
                    Kestrum::Ref<Kestrum::System::ScheduledItem>& item) override;
  void _StartInvoke_Task(ManagedMethod* method, const std::vector<Kestrum::Ref<Any>>& args,
                         const CompletionFunctor& completion,
                         Kestrum::Ref<Kestrum::System::ScheduledItem>& item) override;
  StubAdapter* _GetStubAdapter() const override;
  RequestContext* _GetRequestContext() const override;
  void _SetRequestContext(RequestContext* context) override;

  bool IsUnregistered() const;

 protected:
  // Call of a method without result: the result of the call is dropped.
  void _Invoke_Task(ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args);

 private:
  StubAdapter* RequireAdapter() const;

  Kestrum::Ref<MoRef> _ref;
  Kestrum::Ref<StubAdapter> _adapter;
  mutable std::mutex _mutex;
  Kestrum::Ref<RequestContext> _context;
  bool _unregistered = false;
};

}  // namespace Lumo
