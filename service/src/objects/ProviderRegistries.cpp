// The provider registries: they keep the records providers register, for
// the service to find the providers by (ProviderCalls.h).
#include <Olyx/Zel/Association/Provider/AssociationProviderInfo.h>
#include <Olyx/Zel/Compliance/Provider/ComplianceProviderInfo.h>
#include <Olyx/Zel/Placement/PlacementHubFinder.h>
#include <Olyx/Zel/Profile/Provider/ProfileProviderInfo.h>

#include "objects/AssociationProviderRegistry.h"
#include "objects/ComplianceProviderRegistry.h"
#include "objects/HubFinderRegistry.h"
#include "objects/ProfileProviderRegistry.h"

namespace ZelSample {

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
