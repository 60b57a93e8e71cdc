// zel.ServiceInstance (ServiceInstance.h).
#include "objects/ServiceInstance.h"

#include <Olyx/Zel/Provider/AtomFeedQsProviderType.h>

#include "domain/Catalogue.h"

namespace ZelSample {

using Kestrum::Ref;

ServiceInstanceImpl::ServiceInstanceImpl(const char* id, Zel::ServiceInstanceContent* content,
                                         ServiceCore& core, Lumo::MoRef* debugManager)
    : Served(id), _content(content), _core(core), _debugManager(debugManager) {}

void ServiceInstanceImpl::GetContent(Ref<Zel::ServiceInstanceContent>& result) {
  result = _content->_Clone();
}

void ServiceInstanceImpl::RetrieveContent(Ref<Zel::ServiceInstanceContent>& result) {
  result = _content->_Clone();
}

void ServiceInstanceImpl::QueryAtomFeedQsProviderIds(const std::string& providerType,
                                                     Ref<Lumo::Array<std::string>>& result) {
  using namespace Zel::Provider;
  if (providerType == ATOMFEEDQSPROVIDERTYPE_ASSOCIATION) {
    result = StringArray(_core.providers.associations.Ids());
  } else if (providerType == ATOMFEEDQSPROVIDERTYPE_COMPLIANCE) {
    result = StringArray(_core.providers.compliance.Ids());
  } else if (providerType == ATOMFEEDQSPROVIDERTYPE_CAPABILITY_METADATA) {
    result = StringArray(_core.catalogue.RegisteredProviders());
  } else if (providerType == ATOMFEEDQSPROVIDERTYPE_CAPABILITY_PROFILE ||
             providerType == ATOMFEEDQSPROVIDERTYPE_REQUIREMENTS_PROFILE) {
    result = StringArray(_core.providers.profiles.Ids());
  } else {
    Faults::InvalidArgument("providerType", "unknown provider type \"" + providerType + "\"");
  }
}

void ServiceInstanceImpl::GetZelDebugManager(Ref<Lumo::MoRef>& result) {
  result = _debugManager->_Clone();
}

}  // namespace ZelSample
