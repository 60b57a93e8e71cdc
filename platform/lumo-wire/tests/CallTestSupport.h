// A serving side for call tests: every managed type of zel-types is served by
// one of its own stubs whose adapter records each call and answers what the
// test programmed (a result or a fault). So the generated stub members and
// invokeByIndex work on the serving side, and the client side calls through
// the adapter under test.
#pragma once

#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wire.h>

#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "WireTestSupport.h"

namespace WireTest {

class RecordingAdapter : public Lumo::StubAdapter {
 public:
  struct Call {
    const Lumo::ManagedMethod* method = nullptr;
    std::vector<Kestrum::Ref<Lumo::Any>> args;
    std::vector<std::pair<std::string, std::string>> context;
    std::string version;
  };

  void Invoke(Lumo::Stub*, Lumo::ManagedMethod* method, std::vector<Kestrum::Ref<Lumo::Any>>& args,
              Kestrum::Ref<Lumo::Any>& result) override {
    Call call;
    call.method = method;
    call.args = args;
    if (const Lumo::Wire::CallInfo* info = Lumo::Wire::Dispatcher::CurrentCall()) {
      call.context = *info->context;
      call.version = *info->version;
    }
    Kestrum::Ref<Lumo::MethodFault> fault;
    std::function<void()> hold;
    {
      std::lock_guard<std::mutex> lock(_mutex);
      hold = _hold;
    }
    if (hold) hold();
    {
      std::lock_guard<std::mutex> lock(_mutex);
      _calls.push_back(call);
      result = _result;
      fault = _fault;
    }
    if (fault) fault->Throw();
    if (_plainFailure == 1) throw std::runtime_error("plain failure");
    if (_plainFailure == 2) {
      Kestrum::ThrowTypeMismatchException(typeid(Lumo::MoRef), typeid(Lumo::KeyAnyValue));
    }
  }
  // 1: a std::runtime_error, 2: the core library's type mismatch, 0: none.
  void FailPlainly(int how) {
    std::lock_guard<std::mutex> lock(_mutex);
    _plainFailure = how;
  }

  // Runs in every call before it answers (to hold calls back); null: none.
  void Hold(std::function<void()> hold) {
    std::lock_guard<std::mutex> lock(_mutex);
    _hold = std::move(hold);
  }
  void Answer(Lumo::Any* result) {
    std::lock_guard<std::mutex> lock(_mutex);
    _result = result;
    _fault.Reset();
  }
  void Fail(Lumo::MethodFault* fault) {
    std::lock_guard<std::mutex> lock(_mutex);
    _result.Reset();
    _fault = fault;
  }
  Call Last() {
    std::lock_guard<std::mutex> lock(_mutex);
    return _calls.empty() ? Call() : _calls.back();
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(_mutex);
    return _calls.size();
  }

 protected:
  ~RecordingAdapter() override = default;

 private:
  std::mutex _mutex;
  std::vector<Call> _calls;
  Kestrum::Ref<Lumo::Any> _result;
  Kestrum::Ref<Lumo::MethodFault> _fault;
  int _plainFailure = 0;
  std::function<void()> _hold;
};

// Keeps what a wire exchange carried.
class TappedTransport : public Lumo::Wire::Transport {
 public:
  explicit TappedTransport(Lumo::Wire::Transport* inner) : _inner(inner) {}
  void Send(const Lumo::Wire::TransportRequest& request,
            Lumo::Wire::TransportResponse& response) override {
    _inner->Send(request, response);
    std::lock_guard<std::mutex> lock(_mutex);
    lastRequest = request;
    lastResponse = response;
  }
  Lumo::Wire::TransportRequest lastRequest;
  Lumo::Wire::TransportResponse lastResponse;

 protected:
  ~TappedTransport() override = default;

 private:
  Kestrum::Ref<Lumo::Wire::Transport> _inner;
  std::mutex _mutex;
};

// Serving objects for every managed type, registered under "<wire name>-1".
struct Service {
  Service();
  std::string IdOf(const Lumo::ManagedObjectType* type) const {
    return std::string(type->GetName()) + "-1";
  }
  // A client stub of type whose calls go through adapter.
  Kestrum::Ref<Lumo::Stub> ClientStub(const Lumo::ManagedObjectType* type,
                                      Lumo::StubAdapter* adapter,
                                      Lumo::RequestContext* context = nullptr) const;

  Kestrum::Ref<RecordingAdapter> recorder;
  Kestrum::Ref<Lumo::ObjectRegistry> registry;
  Kestrum::Ref<Lumo::Wire::Dispatcher> dispatcher;
  Kestrum::Ref<TappedTransport> transport;
  std::vector<const Lumo::ManagedObjectType*> types;
};

// The parameter and result records of method object m.
const Lumo::ParamInfo* ParametersOf(const Lumo::ManagedMethod* m);
// Result type and flags; false for a method without result.
bool ResultOf(const Lumo::ManagedMethod* m, const Lumo::TypeInfo** type, uint32_t* flags);

}  // namespace WireTest
