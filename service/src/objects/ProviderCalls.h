// Calls to the registered providers that live in this process: finding the
// one that serves what is asked, and calling it through its type record.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/BindingSupport.h>
#include <Lumo/ManagedObject.h>

#include <string>
#include <utility>
#include <vector>

#include "objects/ServiceCore.h"

namespace ZelSample {

// Calls a method of a provider, by its wire name, through its type record's
// invokeByIndex; the arguments are packed as stubs pack them.
Kestrum::Ref<Lumo::Any> CallProvider(Lumo::ManagedObject* provider, const char* method,
                                     std::vector<Kestrum::Ref<Lumo::Any>> args);
// The answer of a provider, as the declared class of the method's result.
template <class T>
Kestrum::Ref<T> ProviderAnswer(Lumo::ManagedObject* provider, const char* method,
                               std::vector<Kestrum::Ref<Lumo::Any>> args) {
  Kestrum::Ref<Lumo::Any> answer = CallProvider(provider, method, std::move(args));
  if (!answer) return Kestrum::Ref<T>(new T);
  return Kestrum::Ref<T>(Lumo::Binding::CheckedCast<T>(answer.Get()));
}

// The first registered provider, in the order of registration, that lives in
// this process and serves what is asked; null when none does.
Lumo::ManagedObject* ComplianceProviderFor(ServiceCore& core, const std::string& entityType);
Lumo::ManagedObject* HubFinderFor(ServiceCore& core, const std::string& hubType);
Lumo::ManagedObject* AnyAssociationProvider(ServiceCore& core);
Lumo::ManagedObject* AnyProfileProvider(ServiceCore& core);

}  // namespace ZelSample
