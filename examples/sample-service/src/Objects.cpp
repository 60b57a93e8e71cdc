// The service instance, the session manager, the capability metadata manager,
// the provider registries, the placement solver and the replication manager.
#include <Lumo/Fault/NotSupported.h>
#include <Olyx/Zel/Association/Provider/AssociationProviderInfo.h>
#include <Olyx/Zel/Compliance/Provider/ComplianceProviderInfo.h>
#include <Olyx/Zel/Placement/PlacementHubFinder.h>
#include <Olyx/Zel/Profile/Provider/ProfileProviderInfo.h>
#include <ZelSample/CallContext.h>
#include <ZelSample/Token.h>

#include "Managers.h"

namespace ZelSample {

using Kestrum::Ref;

// ---- shared helpers ------------------------------------------------------------------

std::string EntityKey(const Zel::ServerObjectRef& entity) {
  std::string key = entity.GetObjectType() + ":" + entity.GetKey();
  if (const std::string* server = entity.PeekServerUuid()) key += "@" + *server;
  return key;
}

std::string ResultKey(const std::string& entityKey, const std::string& profileId) {
  return entityKey + "\n" + profileId;
}

void CheckEntity(const Zel::ServerObjectRef* entity, const std::string& path) {
  if (entity == nullptr) Faults::InvalidArgument(path, "no entity given");
  static const char* const kTypes[] = {
      Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE,
      Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINEANDDISKS,
      Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID,
      Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKUUID,
      Zel::ServerObjectRef::OBJECTTYPE_DATASTORE,
      Zel::ServerObjectRef::OBJECTTYPE_HOST,
      Zel::ServerObjectRef::OBJECTTYPE_CLUSTER,
  };
  bool known = false;
  for (const char* type : kTypes) known = known || entity->GetObjectType() == type;
  if (!known) {
    Faults::InvalidArgument(path + ".objectType",
                            "unknown object type \"" + entity->GetObjectType() + "\"");
  }
  if (entity->GetKey().empty()) Faults::InvalidArgument(path + ".key", "the entity key is empty");
}

std::string CurrentUser(SessionTable& sessions) {
  CallContext* context = CallScope::Current();
  if (context != nullptr) {
    if (auto session = sessions.Find(context->sessionId)) return session->user;
  }
  return "anonymous";
}

// ---- zel.ServiceInstance ---------------------------------------------------------------

ServiceInstanceImpl::ServiceInstanceImpl(const char* id, Zel::ServiceInstanceContent* content)
    : Served(id), _content(content) {}

void ServiceInstanceImpl::GetContent(Ref<Zel::ServiceInstanceContent>& result) {
  result = _content->_Clone();
}

void ServiceInstanceImpl::RetrieveContent(Ref<Zel::ServiceInstanceContent>& result) {
  result = _content->_Clone();
}

void ServiceInstanceImpl::QueryAtomFeedQsProviderIds(const std::string&,
                                                     Ref<Lumo::Array<std::string>>&) {
  Faults::NotServed(METHOD_QUERYATOMFEEDQSPROVIDERIDS);
}

void ServiceInstanceImpl::GetZelDebugManager(Ref<Lumo::MoRef>&) {
  Faults::NotServed(METHOD_GETZELDEBUGMANAGER);
}

// ---- zel.auth.SessionManager ----------------------------------------------------------

SessionManagerImpl::SessionManagerImpl(const char* id, SessionTable& sessions,
                                       std::shared_ptr<const TrustedIssuers> trusted)
    : Served(id), _sessions(sessions), _trusted(std::move(trusted)) {}

void SessionManagerImpl::LoginByToken(const std::string& delegatedTokenXml) {
  DelegatedToken token;
  std::string reason;
  if (!VerifyDelegatedToken(delegatedTokenXml, *_trusted, TokenClockNow(), token, reason)) {
    Faults::InvalidLogin("the delegated token was refused: " + reason);
  }
  CallContext* context = CallScope::Current();
  if (context == nullptr) {
    Kestrum::Ref<Lumo::Fault::NotSupported> fault(new Lumo::Fault::NotSupported);
    fault->SetMsg("a login needs a transport that keeps sessions");
    fault->Throw();
  }
  if (!context->sessionId.empty()) {
    _sessions.Close(context->sessionId);
    context->sessionId.clear();
    context->sessionChanged = true;
  }
  std::string refusal;
  std::string id = _sessions.Open(token.subject, token.privileges, &refusal);
  if (id.empty()) Faults::InvalidLogin("the login was refused: " + refusal);
  context->sessionId = id;
  context->sessionChanged = true;
}

void SessionManagerImpl::Logout() {
  CallContext* context = CallScope::Current();
  if (context == nullptr || context->sessionId.empty()) return;
  _sessions.Close(context->sessionId);
  context->sessionId.clear();
  context->sessionChanged = true;
}

// ---- zel.capability.CapabilityMetadataManager --------------------------------------------

CapabilityMetadataManagerImpl::CapabilityMetadataManagerImpl(const char* id, Catalogue& catalogue)
    : Served(id), _catalogue(catalogue) {}

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

void CapabilityMetadataManagerImpl::QueryAtomFeedQsProviderIds(Ref<Lumo::Array<std::string>>&) {
  Faults::NotServed(METHOD_QUERYATOMFEEDQSPROVIDERIDS);
}

bool CapabilityMetadataManagerImpl::RemoveAllCapabilityMetadataDocuments() {
  return _catalogue.RemoveAllRegistered();
}

// ---- zel.placement.PlacementSolver, zel.replication.ReplicationManager ---------------------

PlacementSolverImpl::PlacementSolverImpl(const char* id) : Served(id) {}

void PlacementSolverImpl::QueryMatchingHub(Lumo::DataArray<Zel::Placement::PlacementHub>*,
                                           Zel::Profile::ProfileId*,
                                           Ref<Lumo::DataArray<Zel::Placement::PlacementHub>>&) {
  Faults::NotServed(METHOD_QUERYMATCHINGHUB);
}

void PlacementSolverImpl::QueryMatchingHubWithSpec(
    Lumo::DataArray<Zel::Placement::PlacementHub>*, Zel::Profile::CapabilityBasedProfileCreateSpec*,
    Ref<Lumo::DataArray<Zel::Placement::PlacementHub>>&) {
  Faults::NotServed(METHOD_QUERYMATCHINGHUBWITHSPEC);
}

void PlacementSolverImpl::CheckCompatibility(
    Lumo::DataArray<Zel::Placement::PlacementHub>*, Zel::Profile::ProfileId*,
    Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>&) {
  Faults::NotServed(METHOD_CHECKCOMPATIBILITY);
}

void PlacementSolverImpl::CheckCompatibilityWithSpec(
    Lumo::DataArray<Zel::Placement::PlacementHub>*, Zel::Profile::CapabilityBasedProfileCreateSpec*,
    Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>&) {
  Faults::NotServed(METHOD_CHECKCOMPATIBILITYWITHSPEC);
}

void PlacementSolverImpl::CheckRequirements(
    Lumo::DataArray<Zel::Placement::PlacementHub>*, Zel::ServerObjectRef*,
    Lumo::DataArray<Zel::Placement::Requirement>*,
    Ref<Lumo::DataArray<Zel::Placement::CompatibilityResult>>&) {
  Faults::NotServed(METHOD_CHECKREQUIREMENTS);
}

ReplicationManagerImpl::ReplicationManagerImpl(const char* id) : Served(id) {}

void ReplicationManagerImpl::QueryReplicationGroups(
    Lumo::DataArray<Zel::ServerObjectRef>*,
    Ref<Lumo::DataArray<Zel::Replication::QueryReplicationGroupResult>>&) {
  Faults::NotServed(METHOD_QUERYREPLICATIONGROUPS);
}

// ---- provider registries ------------------------------------------------------------------

void ProviderTable::Add(const std::string& uniqueId, const Lumo::Any& record) {
  Ref<Lumo::Any> copy(record._Clone());
  std::lock_guard<std::mutex> lock(_mutex);
  if (_records.count(uniqueId) != 0) Faults::AlreadyExists(uniqueId);
  _records.emplace(uniqueId, copy);
}

void ProviderTable::Remove(const std::string& uniqueId) {
  std::lock_guard<std::mutex> lock(_mutex);
  if (_records.erase(uniqueId) == 0) {
    Faults::NotFound("no provider is registered with the id \"" + uniqueId + "\"");
  }
}

size_t ProviderTable::Count() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _records.size();
}

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

ProfileProviderRegistryImpl::ProfileProviderRegistryImpl(const char* id) : Served(id) {}

void ProfileProviderRegistryImpl::RegisterProfileProvider(
    Zel::Profile::Provider::ProfileProviderInfo* providerInfo) {
  CheckProviderInfo(providerInfo, "providerInfo",
                    providerInfo ? providerInfo->GetProvider() : nullptr, "provider");
  _table.Add(providerInfo->GetUniqueId(), *providerInfo);
}

void ProfileProviderRegistryImpl::UnregisterProfileProvider(const std::string& providerUid) {
  _table.Remove(providerUid);
}

ComplianceProviderRegistryImpl::ComplianceProviderRegistryImpl(const char* id) : Served(id) {}

void ComplianceProviderRegistryImpl::RegisterComplianceProvider(
    Zel::Compliance::Provider::ComplianceProviderInfo* providerInfo) {
  CheckProviderInfo(providerInfo, "providerInfo",
                    providerInfo ? providerInfo->GetProvider() : nullptr, "provider");
  _table.Add(providerInfo->GetUniqueId(), *providerInfo);
}

void ComplianceProviderRegistryImpl::UnregisterComplianceProvider(const std::string& uniqueId) {
  _table.Remove(uniqueId);
}

HubFinderRegistryImpl::HubFinderRegistryImpl(const char* id) : Served(id) {}

void HubFinderRegistryImpl::RegisterPlacementHubFinder(
    Zel::Placement::PlacementHubFinder::Info* finderInfo) {
  CheckProviderInfo(finderInfo, "finderInfo", finderInfo ? finderInfo->GetFinder() : nullptr,
                    "finder");
  _table.Add(finderInfo->GetUniqueId(), *finderInfo);
}

void HubFinderRegistryImpl::UnregisterPlacementHubFinder(const std::string& uniqueId) {
  _table.Remove(uniqueId);
}

AssociationProviderRegistryImpl::AssociationProviderRegistryImpl(const char* id) : Served(id) {}

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
