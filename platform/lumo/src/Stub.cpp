// Managed objects, method objects, stubs and their adapters.
#include <Kestrum/Exception.h>
#include <Lumo/CallPool.h>
#include <Lumo/Fault/NotSupported.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MethodFault.h>
#include <Lumo/Stub.h>
#include <Lumo/Type.h>
#include <Lumo/TypeInfoLoader.h>

#include <memory>

namespace Lumo {

// ---- ManagedObject, ManagedMethod ------------------------------------------------

ManagedObject::~ManagedObject() = default;
MoRef* ManagedObject::_GetRef() const { return nullptr; }
void ManagedObject::_Unregistered() {}

ManagedMethod::ManagedMethod(ManagedObjectType* owner, int index, const MethodInfo* method)
    : _owner(owner),
      _index(index),
      _method(method),
      _property(nullptr),
      _qualifiedName(std::string(owner->GetName()) + "." + method->name) {}

ManagedMethod::ManagedMethod(ManagedObjectType* owner, int index, const PropInfo* property)
    : _owner(owner),
      _index(index),
      _method(nullptr),
      _property(property),
      _qualifiedName(std::string(owner->GetName()) + "." + property->name) {}

const char* ManagedMethod::GetName() const { return _method ? _method->name : _property->name; }

const char* ManagedMethod::GetWsdlName() const {
  return _method ? _method->wsdlName : _property->name;
}

const char* ManagedMethod::GetPrivilege() const {
  return _method ? _method->privilege : _property->privilege;
}

const char* ManagedMethod::GetVersion() const {
  return _method ? _method->version : _property->version;
}

// ---- StubAdapter, RequestContext -----------------------------------------------------

StubAdapter::~StubAdapter() = default;

namespace {

// Performs a started call on a pool thread: the call, then its completion
// with the result or with the exception it failed with, then the item.
void RunStartedCall(StubAdapter* adapter, Stub* stub, ManagedMethod* method,
                    std::vector<Kestrum::Ref<Any>>& args, const CompletionFunctor& completion,
                    Kestrum::System::ScheduledItem* item) {
  Kestrum::Ref<Any> result;
  std::unique_ptr<Kestrum::Exception> failure;
  try {
    adapter->Invoke(stub, method, args, result);
  } catch (const Kestrum::Exception& e) {
    failure.reset(e.Clone());
  } catch (const std::exception& e) {
    failure.reset(new Kestrum::Exception(std::string(e.what())));
  }
  if (completion) completion(item, failure.get(), failure ? nullptr : result.Get());
  item->Complete();
}

// A call that the pool shut down before it began.
void CancelStartedCall(ManagedMethod* method, const CompletionFunctor& completion,
                       Kestrum::System::ScheduledItem* item) {
  auto fault = Kestrum::MakeRef<MethodFault>();
  fault->SetMsg("the call of " + (method ? method->GetQualifiedName() : std::string("a method")) +
                " was cancelled: the runtime's call pool shut down before it began");
  MethodFault::Exception cancelled(fault.Get());
  if (completion) completion(item, &cancelled, nullptr);
  item->Complete();
}

}  // namespace

void StubAdapter::StartInvoke(Stub* stub, ManagedMethod* method,
                              const std::vector<Kestrum::Ref<Any>>& args,
                              const CompletionFunctor& completion,
                              Kestrum::Ref<Kestrum::System::ScheduledItem>& item) {
  auto started = Kestrum::MakeRef<Kestrum::System::ScheduledItem>();
  // The call keeps what it uses: the adapter, its own copy of the arguments
  // and, when the stub is held by references, the stub. A stub that nobody
  // holds by reference must outlive its started calls.
  Kestrum::Ref<StubAdapter> adapter(this);
  Kestrum::Ref<Stub> keptStub;
  if (stub != nullptr && stub->GetRefCount() > 0) keptStub = stub;
  auto callArgs = std::make_shared<std::vector<Kestrum::Ref<Any>>>(args);
  bool queued = GetCallPool().Post(
      [adapter, keptStub, stub, method, callArgs, completion, started] {
        RunStartedCall(adapter.Get(), stub, method, *callArgs, completion, started.Get());
      },
      [method, completion, started] { CancelStartedCall(method, completion, started.Get()); });
  if (!queued) {
    auto fault = Kestrum::MakeRef<MethodFault>();
    fault->SetMsg(GetCallPool().IsShutDown()
                      ? "the runtime's call pool has shut down: no call can be started"
                      : "too many asynchronous calls are waiting (" +
                            std::to_string(GetCallPool().GetSettings().maxQueued) +
                            "): the call was not started");
    throw MethodFault::Exception(fault.Get());
  }
  item = started;
}

RequestContext::RequestContext() = default;
RequestContext::~RequestContext() = default;

void RequestContext::Set(const std::string& key, const std::string& value) { _values[key] = value; }

const std::string* RequestContext::Get(const std::string& key) const {
  auto it = _values.find(key);
  return it == _values.end() ? nullptr : &it->second;
}

void RequestContext::Remove(const std::string& key) { _values.erase(key); }

// ---- Stub, StubImpl -------------------------------------------------------------------

namespace {

// A stub reads its method objects from its type's method-object array, which
// the runtime fills when it creates the type at StartRuntime(). A null method
// object is almost always a program that never started the runtime: say so,
// rather than let the adapter fail on a call without a method.
ManagedMethod* RequireMethod(ManagedMethod* method) {
  if (method != nullptr) return method;
  if (!IsRuntimeStarted()) {
    throw Kestrum::Exception(
        std::string("a stub was called before Lumo::StartRuntime(): the runtime creates the "
                    "method objects of every type when it starts; call Lumo::StartRuntime() "
                    "once, at the start of the program, before the first call"));
  }
  throw Kestrum::Exception(std::string(
      "a stub was called without its method object: the type library of the stub's type "
      "has not been loaded into the runtime"));
}

}  // namespace

Stub::~Stub() = default;

StubImpl::StubImpl(MoRef* ref, StubAdapter* adapter, RequestContext* context)
    : _ref(ref), _adapter(adapter), _context(context) {}

StubImpl::~StubImpl() = default;

MoRef* StubImpl::_GetRef() const { return _ref.Get(); }

void StubImpl::_Unregistered() {
  std::lock_guard<std::mutex> lock(_mutex);
  _unregistered = true;
}

bool StubImpl::IsUnregistered() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _unregistered;
}

StubAdapter* StubImpl::RequireAdapter() const {
  if (!_adapter) throw Fault::NotSupported::Exception();
  return _adapter.Get();
}

void StubImpl::_Invoke(ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args,
                       Kestrum::Ref<Any>& result) {
  ManagedMethod* checked = RequireMethod(method);
  RequireAdapter()->Invoke(this, checked, args, result);
}

void StubImpl::_Invoke_Task(ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args,
                            Kestrum::Ref<Any>& result) {
  ManagedMethod* checked = RequireMethod(method);
  RequireAdapter()->Invoke(this, checked, args, result);
}

void StubImpl::_Invoke_Task(ManagedMethod* method, std::vector<Kestrum::Ref<Any>>& args) {
  Kestrum::Ref<Any> ignored;
  _Invoke_Task(method, args, ignored);
}

void StubImpl::_StartInvoke(ManagedMethod* method, const std::vector<Kestrum::Ref<Any>>& args,
                            const CompletionFunctor& completion,
                            Kestrum::Ref<Kestrum::System::ScheduledItem>& item) {
  ManagedMethod* checked = RequireMethod(method);
  RequireAdapter()->StartInvoke(this, checked, args, completion, item);
}

void StubImpl::_StartInvoke_Task(ManagedMethod* method, const std::vector<Kestrum::Ref<Any>>& args,
                                 const CompletionFunctor& completion,
                                 Kestrum::Ref<Kestrum::System::ScheduledItem>& item) {
  ManagedMethod* checked = RequireMethod(method);
  RequireAdapter()->StartInvoke(this, checked, args, completion, item);
}

StubAdapter* StubImpl::_GetStubAdapter() const { return _adapter.Get(); }

RequestContext* StubImpl::_GetRequestContext() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _context.Get();
}

void StubImpl::_SetRequestContext(RequestContext* context) {
  std::lock_guard<std::mutex> lock(_mutex);
  _context = context;
}

}  // namespace Lumo
