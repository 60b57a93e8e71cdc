// The service instance, the session manager, the capability metadata manager
// and the replication manager.
#include <Hox/Vm/Replication/ReplicationGroupId.h>
#include <Lumo/Fault/NotSupported.h>
#include <Lumo/ServedCall.h>
#include <Olyx/Zel/Provider/AtomFeedQsProviderType.h>
#include <Olyx/Zel/Replication/QueryReplicationGroupResult.h>
#include <ZelSample/Token.h>

#include "objects/Managers.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;

namespace {

Ref<Lumo::Array<std::string>> StringArray(const std::vector<std::string>& values) {
  auto array = MakeRef<Lumo::Array<std::string>>();
  for (const std::string& value : values) array->Append(value);
  return array;
}

}  // namespace

// ---- zel.ServiceInstance ---------------------------------------------------------------

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

// ---- zel.auth.SessionManager ----------------------------------------------------------

SessionManagerImpl::SessionManagerImpl(const char* id, SessionTable& sessions, QuotaTable& quotas,
                                       std::shared_ptr<const TrustedIssuers> trusted)
    : Served(id), _sessions(sessions), _quotas(quotas), _trusted(std::move(trusted)) {}

void SessionManagerImpl::LoginByToken(const std::string& delegatedTokenXml) {
  DelegatedToken token;
  std::string reason;
  if (!VerifyDelegatedToken(delegatedTokenXml, *_trusted, TokenClockNow(), token, reason,
                            _sessions.GetSettings().maxTokenLifetime.count())) {
    Faults::InvalidLogin("the delegated token was refused: " + reason);
  }
  Lumo::ServedCall* call = Lumo::CurrentCall();
  if (call == nullptr || !call->keepsSessions) {
    auto fault = Kestrum::MakeRef<Lumo::Fault::NotSupported>();
    fault->SetMsg("a login needs a transport that keeps sessions");
    fault->Throw();
  }
  if (!call->sessionId.empty()) {
    _sessions.Close(call->sessionId);
    _quotas.Forget(call->sessionId);
    call->ReplaceSession(std::string());
  }
  std::string refusal;
  std::string id = _sessions.Open(token, &refusal);
  if (id.empty()) Faults::InvalidLogin("the login was refused: " + refusal);
  call->ReplaceSession(id);
}

void SessionManagerImpl::Logout() {
  Lumo::ServedCall* call = Lumo::CurrentCall();
  if (call == nullptr || call->sessionId.empty()) return;
  _sessions.LogOut(call->sessionId);
  _quotas.Forget(call->sessionId);
  call->ReplaceSession(std::string());
}

// ---- zel.capability.CapabilityMetadataManager --------------------------------------------

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

// ---- zel.replication.ReplicationManager -------------------------------------------------

ReplicationManagerImpl::ReplicationManagerImpl(const char* id, ServiceCore& core)
    : Served(id), _core(core) {}

void ReplicationManagerImpl::QueryReplicationGroups(
    Lumo::DataArray<Zel::ServerObjectRef>* entities,
    Ref<Lumo::DataArray<Zel::Replication::QueryReplicationGroupResult>>& result) {
  using Zel::Replication::QueryReplicationGroupResult;
  const Inventory& inventory = _core.inventory;
  if (entities != nullptr) {
    _core.quotas.CheckEntityCount(static_cast<size_t>(entities->GetLength()), "entities");
  }
  // Without entities: every member of a group.
  Ref<Lumo::DataArray<Zel::ServerObjectRef>> asked(entities);
  if (!asked) {
    asked = new Lumo::DataArray<Zel::ServerObjectRef>;
    for (const InventoryReplicationGroup& group : inventory.GetGroups()) {
      for (const std::string& member : group.members) {
        auto entity = MakeRef<Zel::ServerObjectRef>();
        entity->SetObjectType(inventory.FindVm(member) ? "virtualMachine" : "virtualDiskId");
        entity->SetKey(member);
        asked->Append(entity.Get());
      }
    }
  }
  result = new Lumo::DataArray<QueryReplicationGroupResult>;
  for (int i = 0; i < asked->GetLength(); ++i) {
    const Zel::ServerObjectRef* entity = asked->Get(i);
    auto one = MakeRef<QueryReplicationGroupResult>();
    one->SetObject(entity->_Clone());
    try {
      CheckEntity(entity, Indexed("entities", i));
      const std::string& type = entity->GetObjectType();
      bool listed = ((type == "virtualMachine" || type == "virtualMachineAndDisks") &&
                     inventory.FindVm(entity->GetKey())) ||
                    ((type == "virtualDiskId" || type == "virtualDiskUUID") &&
                     inventory.FindDisk(entity->GetKey()));
      if (!listed) {
        Faults::NotFound("the inventory lists no virtual machine or disk " + EntityKey(*entity));
      }
      if (const InventoryReplicationGroup* group = inventory.GroupOf(entity->GetKey())) {
        auto id = MakeRef<Hox::Vm::Replication::ReplicationGroupId>();
        id->SetFaultDomainId(group->faultDomainId);
        id->SetDeviceGroupId(group->deviceGroupId);
        one->SetReplicationGroupId(id.Get());
      }
    } catch (const Lumo::MethodFault::Exception& refused) {
      one->SetFault(refused.GetFault());
    }
    result->Append(one.Get());
  }
}

}  // namespace ZelSample
