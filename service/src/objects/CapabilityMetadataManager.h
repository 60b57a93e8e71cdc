// zel.capability.CapabilityMetadataManager: capability metadata that
// providers register into the catalogue.
#pragma once

#include <Olyx/Zel/Capability/CapabilityMetadataManager.h>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class CapabilityMetadataManagerImpl : public Served<Zel::Capability::CapabilityMetadataManager> {
 public:
  CapabilityMetadataManagerImpl(const char* id, ServiceCore& core);

  void RegisterCapabilityMetadata(
      Zel::Capability::Provider::CapabilityProviderInfo* info,
      Zel::Capability::Provider::CapabilityObjectMetadataInfo* capabilityMetadata) override;
  void UnregisterCapabilityMetadata(
      Zel::Capability::Provider::CapabilityProviderInfo* info) override;
  void QueryAtomFeedQsProviderIds(Kestrum::Ref<Lumo::Array<std::string>>& result) override;
  bool RemoveAllCapabilityMetadataDocuments() override;

 private:
  ServiceCore& _core;
  Catalogue& _catalogue;
};

}  // namespace ZelSample
