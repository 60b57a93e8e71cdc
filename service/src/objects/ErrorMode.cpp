// The error mode: methods that fail on purpose with a named fault, for
// clients that test their handling of faults.
#include <Lumo/MethodFault.h>
#include <Lumo/Type.h>

#include "objects/ServiceCore.h"

namespace ZelSample {

void ErrorMode::Set(const std::string& method, const std::string& fault) {
  std::lock_guard<std::mutex> lock(_mutex);
  _failing[method] = fault;
}

void ErrorMode::Clear(const std::string& method) {
  std::lock_guard<std::mutex> lock(_mutex);
  _failing.erase(method);
}

void ErrorMode::ClearAll() {
  std::lock_guard<std::mutex> lock(_mutex);
  _failing.clear();
}

void ErrorMode::Check(const Lumo::ManagedMethod& method) const {
  std::string faultName;
  {
    std::lock_guard<std::mutex> lock(_mutex);
    if (_failing.empty()) return;
    auto it = _failing.find(method.GetQualifiedName());
    if (it == _failing.end()) return;
    faultName = it->second;
  }
  // The name was checked to be a fault type when it was set.
  auto* type = static_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(faultName));
  Kestrum::Ref<Lumo::Any> made(type->CreateInstance());
  auto* fault = static_cast<Lumo::MethodFault*>(made.Get());
  fault->SetMsg(method.GetQualifiedName() + " fails on purpose: the error mode is on for it");
  fault->Throw();
}

}  // namespace ZelSample
