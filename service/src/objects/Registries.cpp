// The provider registries, the directory of providers living in this
// process, and calls to providers through their type records.
#include <Lumo/Primitive.h>
#include <Lumo/Type.h>
#include <Olyx/Zel/Association/AssociationMetadata.h>
#include <Olyx/Zel/Association/Provider/AssociationProviderInfo.h>
#include <Olyx/Zel/Compliance/Provider/ComplianceProviderInfo.h>
#include <Olyx/Zel/Placement/PlacementHubFinder.h>
#include <Olyx/Zel/Profile/Provider/ProfileProviderInfo.h>

#include "objects/Managers.h"

namespace ZelSample {

using Kestrum::Ref;

// ---- ProviderTable, ProviderDirectory -----------------------------------------------------

void ProviderTable::Add(const std::string& uniqueId, const Lumo::Any& record) {
  Ref<Lumo::Any> copy(record._Clone());
  std::lock_guard<std::mutex> lock(_mutex);
  for (const auto& [id, held] : _records) {
    if (id == uniqueId) Faults::AlreadyExists(uniqueId);
  }
  if (_records.size() >= kMaxRegistrations) {
    Faults::InvalidArgument("uniqueId", "the registry holds its maximum of " +
                                            std::to_string(kMaxRegistrations) + " providers");
  }
  _records.emplace_back(uniqueId, copy);
}

void ProviderTable::Remove(const std::string& uniqueId) {
  std::lock_guard<std::mutex> lock(_mutex);
  for (auto it = _records.begin(); it != _records.end(); ++it) {
    if (it->first == uniqueId) {
      _records.erase(it);
      return;
    }
  }
  Faults::NotFound("no provider is registered with the id \"" + uniqueId + "\"");
}

size_t ProviderTable::Count() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _records.size();
}

std::vector<std::string> ProviderTable::Ids() const {
  std::lock_guard<std::mutex> lock(_mutex);
  std::vector<std::string> ids;
  for (const auto& [id, record] : _records) ids.push_back(id);
  return ids;
}

std::vector<Ref<Lumo::Any>> ProviderTable::Records() const {
  std::lock_guard<std::mutex> lock(_mutex);
  std::vector<Ref<Lumo::Any>> records;
  for (const auto& [id, record] : _records) records.push_back(record);
  return records;
}

void ProviderDirectory::AddLocal(Lumo::ManagedObject* provider, Ref<Kestrum::Object> owner) {
  _local[provider->_GetRef()->GetId()] = {provider, owner};
}

Lumo::ManagedObject* ProviderDirectory::FindLocal(const Lumo::MoRef* ref) const {
  if (ref == nullptr) return nullptr;
  auto it = _local.find(ref->GetId());
  if (it == _local.end()) return nullptr;
  Lumo::Type* named = Lumo::FindTypeByName(ref->GetTypeName());
  if (named == nullptr || !it->second.first->_GetType()->IsA(named)) return nullptr;
  return it->second.first;
}

// ---- calls to providers -----------------------------------------------------------------

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

// ---- the registries ------------------------------------------------------------------------

namespace {

// The checks common to every provider record.
void CheckProviderInfo(const Zel::Provider::ProviderInfo* info, const char* name,
                       const Lumo::MoRef* provider, const char* providerProperty) {
  std::string path = name;
  if (info == nullptr) Faults::InvalidArgument(path, "no provider record given");
  if (info->GetUniqueId().empty()) Faults::InvalidArgument(path + ".uniqueId", "the id is empty");
  if (provider == nullptr) {
    Faults::InvalidArgument(path + "." + providerProperty, "no provider reference given");
  }
}

}  // namespace

ProfileProviderRegistryImpl::ProfileProviderRegistryImpl(const char* id, ProviderTable& table)
    : Served(id), _table(table) {}

void ProfileProviderRegistryImpl::RegisterProfileProvider(
    Zel::Profile::Provider::ProfileProviderInfo* providerInfo) {
  CheckProviderInfo(providerInfo, "providerInfo",
                    providerInfo ? providerInfo->GetProvider() : nullptr, "provider");
  _table.Add(providerInfo->GetUniqueId(), *providerInfo);
}

void ProfileProviderRegistryImpl::UnregisterProfileProvider(const std::string& providerUid) {
  _table.Remove(providerUid);
}

ComplianceProviderRegistryImpl::ComplianceProviderRegistryImpl(const char* id, ProviderTable& table)
    : Served(id), _table(table) {}

void ComplianceProviderRegistryImpl::RegisterComplianceProvider(
    Zel::Compliance::Provider::ComplianceProviderInfo* providerInfo) {
  CheckProviderInfo(providerInfo, "providerInfo",
                    providerInfo ? providerInfo->GetProvider() : nullptr, "provider");
  if (providerInfo->GetMetadata() == nullptr) {
    Faults::InvalidArgument("providerInfo.metadata", "no association metadata given");
  }
  _table.Add(providerInfo->GetUniqueId(), *providerInfo);
}

void ComplianceProviderRegistryImpl::UnregisterComplianceProvider(const std::string& uniqueId) {
  _table.Remove(uniqueId);
}

HubFinderRegistryImpl::HubFinderRegistryImpl(const char* id, ProviderTable& table)
    : Served(id), _table(table) {}

void HubFinderRegistryImpl::RegisterPlacementHubFinder(
    Zel::Placement::PlacementHubFinder::Info* finderInfo) {
  CheckProviderInfo(finderInfo, "finderInfo", finderInfo ? finderInfo->GetFinder() : nullptr,
                    "finder");
  _table.Add(finderInfo->GetUniqueId(), *finderInfo);
}

void HubFinderRegistryImpl::UnregisterPlacementHubFinder(const std::string& uniqueId) {
  _table.Remove(uniqueId);
}

AssociationProviderRegistryImpl::AssociationProviderRegistryImpl(const char* id,
                                                                 ProviderTable& table)
    : Served(id), _table(table) {}

void AssociationProviderRegistryImpl::RegisterAssociationProvider(
    Zel::Association::Provider::AssociationProviderInfo* providerInfo) {
  CheckProviderInfo(providerInfo, "providerInfo",
                    providerInfo ? providerInfo->GetProvider() : nullptr, "provider");
  _table.Add(providerInfo->GetUniqueId(), *providerInfo);
}

void AssociationProviderRegistryImpl::UnregisterAssociationProvider(const std::string& uniqueId) {
  _table.Remove(uniqueId);
}

}  // namespace ZelSample
