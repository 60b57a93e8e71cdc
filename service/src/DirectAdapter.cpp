#include <Lumo/ServedCall.h>
#include <ZelSample/DirectAdapter.h>

namespace ZelSample {

DirectAdapter::DirectAdapter(SampleService& service) : _service(service) {}

DirectAdapter::~DirectAdapter() = default;

void DirectAdapter::Invoke(Lumo::Stub* stub, Lumo::ManagedMethod* method,
                           std::vector<Kestrum::Ref<Lumo::Any>>& args,
                           Kestrum::Ref<Lumo::Any>& result) {
  Lumo::ServedCall call;
  call.keepsSessions = true;
  call.sessionId = GetSessionId();
  _service.Invoke(call, stub->_GetRef(), method, args, result);
  if (call.sessionChanged) SetSessionId(call.sessionId);
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
