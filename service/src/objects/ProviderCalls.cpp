#include "objects/ProviderCalls.h"

#include <Lumo/ManagedMethod.h>
#include <Lumo/Type.h>
#include <Olyx/Zel/Association/AssociationMetadata.h>
#include <Olyx/Zel/Association/Provider/AssociationProviderInfo.h>
#include <Olyx/Zel/Compliance/Provider/ComplianceProviderInfo.h>
#include <Olyx/Zel/Placement/PlacementHubFinder.h>
#include <Olyx/Zel/Profile/Provider/ProfileProviderInfo.h>

#include "Support.h"

namespace ZelSample {

using Kestrum::Ref;

Ref<Lumo::Any> CallProvider(Lumo::ManagedObject* provider, const char* method,
                            std::vector<Ref<Lumo::Any>> args) {
  Lumo::ManagedMethod* found = provider->_GetType()->FindMethod(method);
  if (found == nullptr) Faults::ZelFault(std::string("the provider has no method ") + method);
  Ref<Lumo::Any> result;
  found->GetOwner()->GetInfo()->invokeByIndex(provider, found->GetIndex(), args, result);
  return result;
}

namespace {

template <class Info, class Accept>
Lumo::ManagedObject* First(ServiceCore& core, const ProviderTable& table, Accept accept) {
  for (const Ref<Lumo::Any>& record : table.Records()) {
    const auto* info = dynamic_cast<const Info*>(record.Get());
    if (info == nullptr || !accept(*info)) continue;
    if (Lumo::ManagedObject* local = core.providers.FindLocal(info->GetProvider())) return local;
  }
  return nullptr;
}

}  // namespace

Lumo::ManagedObject* ComplianceProviderFor(ServiceCore& core, const std::string& entityType) {
  using Info = Zel::Compliance::Provider::ComplianceProviderInfo;
  return First<Info>(core, core.providers.compliance, [&](const Info& info) {
    return info.GetMetadata() != nullptr &&
           info.GetMetadata()->GetAssociableEntityType() == entityType;
  });
}

Lumo::ManagedObject* HubFinderFor(ServiceCore& core, const std::string& hubType) {
  using Info = Zel::Placement::PlacementHubFinder::Info;
  for (const Ref<Lumo::Any>& record : core.providers.hubFinders.Records()) {
    const auto* info = dynamic_cast<const Info*>(record.Get());
    if (info == nullptr || info->GetSupportedHubType() != hubType) continue;
    if (Lumo::ManagedObject* local = core.providers.FindLocal(info->GetFinder())) return local;
  }
  return nullptr;
}

Lumo::ManagedObject* AnyAssociationProvider(ServiceCore& core) {
  using Info = Zel::Association::Provider::AssociationProviderInfo;
  return First<Info>(core, core.providers.associations, [](const Info&) { return true; });
}

Lumo::ManagedObject* AnyProfileProvider(ServiceCore& core) {
  using Info = Zel::Profile::Provider::ProfileProviderInfo;
  return First<Info>(core, core.providers.profiles, [](const Info&) { return true; });
}

}  // namespace ZelSample
