#include <Lumo/Type.h>
#include <Olyx/Zel/AboutInfo.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>

#include <cstring>

#include "domain/Catalogue.h"
#include "objects/AssociationProviderRegistry.h"
#include "objects/CapabilityMetadataManager.h"
#include "objects/ComplianceManager.h"
#include "objects/ComplianceProviderRegistry.h"
#include "objects/DebugManager.h"
#include "objects/HubFinderRegistry.h"
#include "objects/PlacementSolver.h"
#include "objects/ProfileManager.h"
#include "objects/ProfileProviderRegistry.h"
#include "objects/ReplicationManager.h"
#include "objects/SampleProviders.h"
#include "objects/ServiceCore.h"
#include "objects/ServiceInstance.h"
#include "objects/SessionManager.h"
#include "store/Store.h"

namespace ZelSample {

using Kestrum::MakeRef;
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

// A direct call naming an object the service has not, or a method its
// object does not have: an argument the service refuses.
[[noreturn]] void RefuseDirectCall(Lumo::Refusal why, const Lumo::MoRef* target,
                                   const Lumo::ManagedMethod& method,
                                   const Lumo::ManagedObject* object) {
  if (why == Lumo::Refusal::kWrongType && object != nullptr) {
    Faults::InvalidArgument("method", std::string(object->_GetType()->GetName()) +
                                          " has no method " + method.GetQualifiedName());
  }
  Faults::InvalidArgument(
      "_this", "the service has no object " + target->GetTypeName() + ":" + target->GetId());
}

}  // namespace

struct SampleService::State {
  ServiceSettings settings;
  SessionTable sessions;
  Inventory inventory;
  Catalogue catalogue;
  GuardedState profiles;
  QuotaTable quotas;
  ProviderDirectory providers;
  ErrorMode errorMode;
  ServiceCore core;

  // Every object by id; made in the service's constructor, emptied in its
  // destructor, so that the objects never outlive the state they use.
  Ref<Lumo::ObjectRegistry> objects;
  Ref<Lumo::MoRef> serviceInstance;

  explicit State(ServiceSettings s)
      : settings(std::move(s)),
        sessions(settings.sessions),
        inventory(LoadInventory(settings)),
        profiles(OpenStore(settings)),
        quotas(settings.quotas, settings.sessions.idleTimeout),
        core{inventory, catalogue, profiles, sessions, quotas, providers, errorMode} {}

  // Registers a new object under the id of its reference; the registry
  // keeps it.
  template <class T>
  T* Add(T* object) {
    Ref<T> held(object);
    objects->Register(object->_GetRef()->GetId(), object);
    return object;
  }
};

SampleService::SampleService(ServiceSettings settings)
    : _state(std::make_unique<State>(std::move(settings))) {
  State& s = *_state;
  if (s.settings.instanceUuid.empty()) s.settings.instanceUuid = RandomUuid();
  if (!s.settings.trustedIssuers) s.settings.trustedIssuers = DemoTrustedIssuers();
  s.objects =
      new Lumo::ObjectRegistry([this](const Lumo::ManagedMethod& method, Lumo::ServedCall& call) {
        BeforeCall(method, call);
      });

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

  auto about = MakeRef<Zel::AboutInfo>();
  about->SetName(s.settings.name);
  about->SetVersion(s.settings.version);
  about->SetInstanceUuid(s.settings.instanceUuid);
  auto content = MakeRef<Zel::ServiceInstanceContent>();
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

SampleService::~SampleService() { _state->objects->Clear(); }

Ref<Lumo::MoRef> SampleService::GetServiceInstanceRef() const {
  return Ref<Lumo::MoRef>(_state->serviceInstance->_Clone());
}

Lumo::ObjectRegistry* SampleService::GetObjects() const { return _state->objects.Get(); }

void SampleService::Authorize(const Lumo::ManagedMethod& method,
                              const Lumo::ServedCall& call) const {
  const char* privilege = method.GetPrivilege();
  if (privilege != nullptr && std::strcmp(privilege, kPrivilegeAnonymous) == 0) return;
  const std::string needed = privilege != nullptr ? privilege : "(unnamed)";
  const std::string what = method.GetQualifiedName() + " requires the privilege " + needed;
  if (call.sessionId.empty()) {
    Faults::NotAuthorized("Permission denied: " + what +
                          ", and the call carries no session: log in first");
  }
  std::optional<SessionInfo> session = _state->sessions.Find(call.sessionId);
  if (!session) {
    Faults::NotAuthorized("Permission denied: " + what +
                          ", and the call's session has ended or expired: log in again");
  }
  if (privilege == nullptr || session->privileges.count(privilege) == 0) {
    Faults::NotAuthorized("Permission denied: " + what + ", which the session of " + session->user +
                          " does not hold");
  }
}

void SampleService::Invoke(Lumo::ServedCall& call, Lumo::MoRef* target, Lumo::ManagedMethod* method,
                           std::vector<Ref<Lumo::Any>>& args, Ref<Lumo::Any>& result) {
  if (target == nullptr) Faults::InvalidArgument("_this", "the call names no object");
  if (method == nullptr) Faults::InvalidArgument("method", "the call names no method");
  _state->objects->Invoke(call, target, *method, args, result, RefuseDirectCall);
}

void SampleService::BeforeCall(const Lumo::ManagedMethod& method,
                               const Lumo::ServedCall& call) const {
  Authorize(method, call);
  _state->errorMode.Check(method);
}

SessionTable& SampleService::GetSessions() { return _state->sessions; }

const ServiceSettings& SampleService::GetSettings() const { return _state->settings; }

}  // namespace ZelSample
