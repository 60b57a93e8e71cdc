#include "objects/FaultPlan.h"

#include <Lumo/MethodFault.h>
#include <Lumo/Type.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace ZelSample {

Lumo::ManagedMethod* MethodNamed(const std::string& name, std::string& why) {
  size_t dot = name.rfind('.');
  std::string typePart = dot == std::string::npos ? "" : name.substr(0, dot);
  std::string methodPart = dot == std::string::npos ? name : name.substr(dot + 1);
  if (auto* owner = dynamic_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName(typePart))) {
    Lumo::ManagedMethod* method = owner->FindMethod(methodPart);
    if (method && !method->IsProperty()) return method;
  }
  std::vector<Lumo::ManagedMethod*> found;
  for (Lumo::Type* type : Lumo::GetAllTypes()) {
    auto* owner = dynamic_cast<Lumo::ManagedObjectType*>(type);
    if (owner == nullptr) continue;
    const std::string typeName = owner->GetName();
    if (typeName.rfind("zel.", 0) != 0) continue;
    if (!typePart.empty() && (typeName.size() <= typePart.size() ||
                              typeName.compare(typeName.size() - typePart.size() - 1,
                                               std::string::npos, "." + typePart) != 0)) {
      continue;
    }
    Lumo::ManagedMethod* method = owner->FindMethod(methodPart);
    // Each method once, under the type that declares it.
    if (method && !method->IsProperty() &&
        method->GetQualifiedName() == typeName + "." + methodPart) {
      found.push_back(method);
    }
  }
  if (found.size() > 1) {
    std::string names;
    for (const auto* method : found) {
      names += (names.empty() ? "" : ", ") + method->GetQualifiedName();
    }
    why = "\"" + name + "\" names several methods (" + names + "): give one in full";
    return nullptr;
  }
  if (found.empty()) {
    why = "no method is named \"" + name +
          "\" (give it as create, ProfileManager.create or zel.profile.ProfileManager.create)";
    return nullptr;
  }
  return found.front();
}

namespace {

bool IsFaultType(const std::string& name) {
  auto* type = dynamic_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(name));
  return type != nullptr && type->IsA(Lumo::FindTypeByName("olyx.MethodFault"));
}

[[noreturn]] void Raise(const std::string& faultName, const std::string& method) {
  // The name was checked to be a fault type when the rule was added.
  auto* type = static_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(faultName));
  Kestrum::Ref<Lumo::Any> made(type->CreateInstance());
  auto* fault = static_cast<Lumo::MethodFault*>(made.Get());
  fault->SetMsg(method + " fails on purpose: the error mode is on for it");
  fault->Throw();
  throw std::logic_error("a fault did not throw");
}

}  // namespace

void FaultPlan::Add(InjectedFault rule) {
  std::string why;
  Lumo::ManagedMethod* method = MethodNamed(rule.method, why);
  if (method == nullptr) throw std::invalid_argument(why);
  if (!rule.fault.empty() && !IsFaultType(rule.fault)) {
    throw std::invalid_argument("no fault type is named \"" + rule.fault + "\"");
  }
  if (rule.delay.count() < 0 || rule.delay > kMaxInjectedDelay) {
    throw std::invalid_argument("a delay is from 0 to " +
                                std::to_string(kMaxInjectedDelay.count()) + " ms");
  }
  if (rule.calls < 0) throw std::invalid_argument("a number of calls is 0 (until cleared) or more");
  rule.method = method->GetQualifiedName();
  std::lock_guard<std::mutex> lock(_mutex);
  _rules.push_back(std::move(rule));
  RecountDelays();
}

void FaultPlan::RecountDelays() {
  int delays = 0;
  for (const InjectedFault& rule : _rules) delays += rule.delay.count() > 0 ? 1 : 0;
  _delays.store(delays, std::memory_order_relaxed);
}

void FaultPlan::SetErrorMode(const std::string& method, const std::string& fault) {
  InjectedFault rule;
  rule.method = method;
  rule.fault = fault;
  std::lock_guard<std::mutex> lock(_mutex);
  auto same = [&](const InjectedFault& one) {
    return one.method == method && one.session.empty() && one.calls == 0 &&
           one.http == InjectedFault::Http::kNone && one.delay.count() == 0;
  };
  _rules.erase(std::remove_if(_rules.begin(), _rules.end(), same), _rules.end());
  _rules.push_back(std::move(rule));
  RecountDelays();
}

void FaultPlan::Clear(const std::string& method) {
  std::lock_guard<std::mutex> lock(_mutex);
  _rules.erase(std::remove_if(_rules.begin(), _rules.end(),
                              [&](const InjectedFault& one) { return one.method == method; }),
               _rules.end());
  RecountDelays();
}

void FaultPlan::ClearAll() {
  std::lock_guard<std::mutex> lock(_mutex);
  _rules.clear();
  RecountDelays();
}

std::vector<InjectedFault> FaultPlan::List() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _rules;
}

InjectedFault::Http FaultPlan::Apply(const Lumo::ManagedMethod& method,
                                     const std::string& session) {
  InjectedFault applied;
  {
    std::lock_guard<std::mutex> lock(_mutex);
    if (_rules.empty()) return InjectedFault::Http::kNone;
    auto it = std::find_if(_rules.begin(), _rules.end(), [&](const InjectedFault& one) {
      return one.method == method.GetQualifiedName() &&
             (one.session.empty() || one.session == session);
    });
    if (it == _rules.end()) return InjectedFault::Http::kNone;
    applied = *it;
    if (it->calls > 0 && --it->calls == 0) {
      _rules.erase(it);
      RecountDelays();
    }
  }
  // Outside the lock: other calls' rules are not held up by this one's wait.
  if (applied.delay.count() > 0) std::this_thread::sleep_for(applied.delay);
  if (applied.http != InjectedFault::Http::kNone) return applied.http;
  if (!applied.fault.empty()) Raise(applied.fault, applied.method);
  return InjectedFault::Http::kNone;
}

}  // namespace ZelSample
