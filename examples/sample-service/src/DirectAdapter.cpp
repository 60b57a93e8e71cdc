#include <ZelSample/CallContext.h>
#include <ZelSample/DirectAdapter.h>

namespace ZelSample {

DirectAdapter::DirectAdapter(SampleService& service) : _service(service) {}

DirectAdapter::~DirectAdapter() = default;

void DirectAdapter::Invoke(Lumo::Stub* stub, Lumo::ManagedMethod* method,
                           std::vector<Kestrum::Ref<Lumo::Any>>& args,
                           Kestrum::Ref<Lumo::Any>& result) {
  CallContext context;
  context.sessionId = GetSessionId();
  {
    CallScope scope(context);
    _service.Invoke(stub->_GetRef(), method, args, result);
  }
  if (context.sessionChanged) SetSessionId(context.sessionId);
}

std::string DirectAdapter::GetSessionId() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _sessionId;
}

void DirectAdapter::SetSessionId(const std::string& id) {
  std::lock_guard<std::mutex> lock(_mutex);
  _sessionId = id;
}

}  // namespace ZelSample
