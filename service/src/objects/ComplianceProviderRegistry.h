// zel.compliance.ComplianceProviderRegistry: the registrations of compliance
// providers, each for one entity type.
#pragma once

#include <Olyx/Zel/Compliance/ComplianceProviderRegistry.h>

#include <string>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class ComplianceProviderRegistryImpl : public Served<Zel::Compliance::ComplianceProviderRegistry> {
 public:
  ComplianceProviderRegistryImpl(const char* id, ProviderTable& table);
  void RegisterComplianceProvider(
      Zel::Compliance::Provider::ComplianceProviderInfo* providerInfo) override;
  void UnregisterComplianceProvider(const std::string& uniqueId) override;

 private:
  ProviderTable& _table;
};

}  // namespace ZelSample
