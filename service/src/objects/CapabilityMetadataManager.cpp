// zel.capability.CapabilityMetadataManager (CapabilityMetadataManager.h).
#include "objects/CapabilityMetadataManager.h"

#include "domain/Catalogue.h"

namespace ZelSample {

using Kestrum::Ref;

CapabilityMetadataManagerImpl::CapabilityMetadataManagerImpl(const char* id, ServiceCore& core)
    : Served(id), _core(core), _catalogue(core.catalogue) {}

void CapabilityMetadataManagerImpl::RegisterCapabilityMetadata(
    Zel::Capability::Provider::CapabilityProviderInfo* info,
    Zel::Capability::Provider::CapabilityObjectMetadataInfo* capabilityMetadata) {
  if (info == nullptr) Faults::InvalidArgument("info", "no provider given");
  if (capabilityMetadata == nullptr) {
    Faults::InvalidArgument("capabilityMetadata", "no capability metadata given");
  }
  _catalogue.Register(*info, *capabilityMetadata);
}

void CapabilityMetadataManagerImpl::UnregisterCapabilityMetadata(
    Zel::Capability::Provider::CapabilityProviderInfo* info) {
  if (info == nullptr) Faults::InvalidArgument("info", "no provider given");
  _catalogue.Unregister(*info);
}

void CapabilityMetadataManagerImpl::QueryAtomFeedQsProviderIds(
    Ref<Lumo::Array<std::string>>& result) {
  result = StringArray(_catalogue.RegisteredProviders());
}

bool CapabilityMetadataManagerImpl::RemoveAllCapabilityMetadataDocuments() {
  return _catalogue.RemoveAllRegistered();
}

}  // namespace ZelSample
