// zel.ServiceInstance: the object a client starts from, and the content
// naming the managers.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/MoRef.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>

#include "Support.h"
#include "objects/ServiceCore.h"

namespace ZelSample {

class ServiceInstanceImpl : public Served<Zel::ServiceInstance> {
 public:
  ServiceInstanceImpl(const char* id, Zel::ServiceInstanceContent* content, ServiceCore& core,
                      Lumo::MoRef* debugManager);

  void GetContent(Kestrum::Ref<Zel::ServiceInstanceContent>& result) override;
  void RetrieveContent(Kestrum::Ref<Zel::ServiceInstanceContent>& result) override;
  void QueryAtomFeedQsProviderIds(const std::string& providerType,
                                  Kestrum::Ref<Lumo::Array<std::string>>& result) override;
  void GetZelDebugManager(Kestrum::Ref<Lumo::MoRef>& result) override;

 private:
  const Kestrum::Ref<Zel::ServiceInstanceContent> _content;  // never changed
  ServiceCore& _core;
  const Kestrum::Ref<Lumo::MoRef> _debugManager;
};

}  // namespace ZelSample
