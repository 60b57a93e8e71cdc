#include <Lumo/Type.h>
#include <Olyx/Zel/AboutInfo.h>
#include <ZelSample/CallContext.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>

#include <cstring>
#include <map>

#include "Managers.h"
#include "Store.h"

namespace ZelSample {

using Kestrum::Ref;

namespace {

Inventory LoadInventory(const ServiceSettings& settings) {
  if (settings.inventoryFile.empty()) return Inventory::BuiltIn();
  return Inventory::Read(settings.inventoryFile);
}

std::unique_ptr<Store> OpenStore(const ServiceSettings& settings) {
  if (settings.dataFile.empty()) return MakeMemoryStore();
  return OpenSqliteStore(settings.dataFile);
}

}  // namespace

struct SampleService::State {
  ServiceSettings settings;
  SessionTable sessions;
  Inventory inventory;
  Catalogue catalogue;
  ProfileState profiles;
  QuotaTable quotas;
  ProviderDirectory providers;
  ErrorMode errorMode;
  ServiceCore core;

  struct Entry {
    Ref<Lumo::MoRef> ref;
    Lumo::ManagedObject* object;
    Ref<Kestrum::Object> owner;  // keeps the object alive
  };
  std::map<std::string, Entry> objects;  // by id; filled once, then only read
  Ref<Lumo::MoRef> serviceInstance;

  explicit State(ServiceSettings s)
      : settings(std::move(s)),
        sessions(settings.sessions),
        inventory(LoadInventory(settings)),
        profiles(OpenStore(settings)),
        quotas(settings.quotas, settings.sessions.idleTimeout),
        core{inventory, catalogue, profiles, sessions, quotas, providers, errorMode} {}

  template <class T>
  T* Add(T* object) {
    Ref<T> held(object);
    objects[object->_GetRef()->GetId()] =
        Entry{Ref<Lumo::MoRef>(object->_GetRef()), object, Ref<Kestrum::Object>(object)};
    return object;
  }
};

SampleService::SampleService(ServiceSettings settings)
    : _state(std::make_unique<State>(std::move(settings))) {
  State& s = *_state;
  if (s.settings.instanceUuid.empty()) s.settings.instanceUuid = RandomUuid();
  if (!s.settings.trustedIssuers) s.settings.trustedIssuers = DemoTrustedIssuers();

  auto* sessionManager = s.Add(new SessionManagerImpl(ObjectIds::kSessionManager, s.sessions,
                                                      s.quotas, s.settings.trustedIssuers));
  auto* profileManager = s.Add(new ProfileManagerImpl(ObjectIds::kProfileManager, s.core));
  auto* metadataManager =
      s.Add(new CapabilityMetadataManagerImpl(ObjectIds::kCapabilityMetadataManager, s.core));
  auto* complianceManager = s.Add(new ComplianceManagerImpl(ObjectIds::kComplianceManager, s.core));
  auto* placementSolver = s.Add(new PlacementSolverImpl(ObjectIds::kPlacementSolver, s.core));
  auto* replicationManager =
      s.Add(new ReplicationManagerImpl(ObjectIds::kReplicationManager, s.core));
  s.Add(new ProfileProviderRegistryImpl(ObjectIds::kProfileProviderRegistry, s.providers.profiles));
  s.Add(new ComplianceProviderRegistryImpl(ObjectIds::kComplianceProviderRegistry,
                                           s.providers.compliance));
  s.Add(new HubFinderRegistryImpl(ObjectIds::kHubFinderRegistry, s.providers.hubFinders));
  s.Add(new AssociationProviderRegistryImpl(ObjectIds::kAssociationProviderRegistry,
                                            s.providers.associations));
  auto* debugManager = s.Add(new DebugManagerImpl(ObjectIds::kDebugManager, s.inventory));
  RegisterSampleProviders(s.core);

  Ref<Zel::AboutInfo> about(new Zel::AboutInfo);
  about->SetName(s.settings.name);
  about->SetVersion(s.settings.version);
  about->SetInstanceUuid(s.settings.instanceUuid);
  Ref<Zel::ServiceInstanceContent> content(new Zel::ServiceInstanceContent);
  content->SetAboutInfo(about.Get());
  content->SetSessionManager(sessionManager->_GetRef()->_Clone());
  content->SetProfileManager(profileManager->_GetRef()->_Clone());
  content->SetCapabilityMetadataManager(metadataManager->_GetRef()->_Clone());
  content->SetComplianceManager(complianceManager->_GetRef()->_Clone());
  content->SetPlacementSolver(placementSolver->_GetRef()->_Clone());
  content->SetReplicationManager(replicationManager->_GetRef()->_Clone());
  auto* instance = s.Add(new ServiceInstanceImpl(ObjectIds::kServiceInstance, content.Get(), s.core,
                                                 debugManager->_GetRef()));
  s.serviceInstance = instance->_GetRef();
}

SampleService::~SampleService() = default;

Ref<Lumo::MoRef> SampleService::GetServiceInstanceRef() const {
  return Ref<Lumo::MoRef>(_state->serviceInstance->_Clone());
}

std::vector<SampleService::ServedObject> SampleService::GetObjects() const {
  std::vector<ServedObject> all;
  for (const auto& [id, entry] : _state->objects) all.push_back({entry.ref, entry.object});
  return all;
}

Lumo::ManagedObject* SampleService::Find(const Lumo::MoRef& ref) const {
  auto it = _state->objects.find(ref.GetId());
  if (it == _state->objects.end()) return nullptr;
  Lumo::Type* named = Lumo::FindTypeByName(ref.GetTypeName());
  if (named == nullptr || !it->second.object->_GetType()->IsA(named)) return nullptr;
  return it->second.object;
}

void SampleService::Authorize(const Lumo::ManagedMethod& method) const {
  const char* privilege = method.GetPrivilege();
  if (privilege != nullptr && std::strcmp(privilege, kPrivilegeAnonymous) == 0) return;
  const std::string needed = privilege != nullptr ? privilege : "(unnamed)";
  const std::string what = method.GetQualifiedName() + " requires the privilege " + needed;
  CallContext* context = CallScope::Current();
  if (context == nullptr || context->sessionId.empty()) {
    Faults::NotAuthorized("Permission denied: " + what +
                          ", and the call carries no session: log in first");
  }
  std::optional<SessionInfo> session = _state->sessions.Find(context->sessionId);
  if (!session) {
    Faults::NotAuthorized("Permission denied: " + what +
                          ", and the call's session has ended or expired: log in again");
  }
  if (privilege == nullptr || session->privileges.count(privilege) == 0) {
    Faults::NotAuthorized("Permission denied: " + what + ", which the session of " + session->user +
                          " does not hold");
  }
}

void SampleService::Invoke(Lumo::MoRef* target, Lumo::ManagedMethod* method,
                           std::vector<Ref<Lumo::Any>>& args, Ref<Lumo::Any>& result) {
  if (target == nullptr) Faults::InvalidArgument("_this", "the call names no object");
  if (method == nullptr) Faults::InvalidArgument("method", "the call names no method");
  Lumo::ManagedObject* object = Find(*target);
  if (object == nullptr) {
    Faults::InvalidArgument(
        "_this", "the service has no object " + target->GetTypeName() + ":" + target->GetId());
  }
  if (!object->_GetType()->IsA(method->GetOwner())) {
    Faults::InvalidArgument("method", std::string(object->_GetType()->GetName()) +
                                          " has no method " + method->GetQualifiedName());
  }
  BeforeCall(*method);
  method->GetOwner()->GetInfo()->invokeByIndex(object, method->GetIndex(), args, result);
}

void SampleService::BeforeCall(const Lumo::ManagedMethod& method) const {
  Authorize(method);
  _state->errorMode.Check(method);
}

SessionTable& SampleService::GetSessions() { return _state->sessions; }

const ServiceSettings& SampleService::GetSettings() const { return _state->settings; }

}  // namespace ZelSample
