// zel.association.AssociationProviderRegistry: the registrations of
// association providers.
#pragma once

#include <Olyx/Zel/Association/AssociationProviderRegistry.h>

#include <string>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class AssociationProviderRegistryImpl
    : public Served<Zel::Association::AssociationProviderRegistry> {
 public:
  AssociationProviderRegistryImpl(const char* id, ProviderTable& table);
  void RegisterAssociationProvider(
      Zel::Association::Provider::AssociationProviderInfo* providerInfo) override;
  void UnregisterAssociationProvider(const std::string& uniqueId) override;

 private:
  ProviderTable& _table;
};

}  // namespace ZelSample
