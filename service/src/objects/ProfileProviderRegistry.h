// zel.profile.ProfileProviderRegistry: the registrations of profile providers.
#pragma once

#include <Olyx/Zel/Profile/ProfileProviderRegistry.h>

#include <string>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class ProfileProviderRegistryImpl : public Served<Zel::Profile::ProfileProviderRegistry> {
 public:
  ProfileProviderRegistryImpl(const char* id, ProviderTable& table);
  void RegisterProfileProvider(Zel::Profile::Provider::ProfileProviderInfo* providerInfo) override;
  void UnregisterProfileProvider(const std::string& providerUid) override;

 private:
  ProviderTable& _table;
};

}  // namespace ZelSample
