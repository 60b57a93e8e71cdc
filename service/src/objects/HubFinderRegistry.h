// zel.placement.HubFinderRegistry: the registrations of hub finders, each for
// one hub type.
#pragma once

#include <Olyx/Zel/Placement/HubFinderRegistry.h>

#include <string>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class HubFinderRegistryImpl : public Served<Zel::Placement::HubFinderRegistry> {
 public:
  HubFinderRegistryImpl(const char* id, ProviderTable& table);
  void RegisterPlacementHubFinder(Zel::Placement::PlacementHubFinder::Info* finderInfo) override;
  void UnregisterPlacementHubFinder(const std::string& uniqueId) override;

 private:
  ProviderTable& _table;
};

}  // namespace ZelSample
