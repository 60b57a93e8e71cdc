#include <Lumo/Type.h>
#include <Olyx/Zel/AboutInfo.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>

#include <cstring>
#include <optional>
#include <utility>

#include "auth/PgSessions.h"
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
#include "store/DataUri.h"
#include "store/Quotas.h"
#include "store/Store.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;

namespace {

// The HTTP failure an injected fault gave this thread's last call.
thread_local InjectedFault::Http t_httpFailure = InjectedFault::Http::kNone;

Inventory LoadInventory(const ServiceSettings& settings) {
  if (settings.inventoryFile.empty()) return Inventory::BuiltIn();
  return Inventory::Read(settings.inventoryFile);
}

std::unique_ptr<Store> OpenStore(const ServiceSettings& settings) {
  std::unique_ptr<Store> store = settings.dataFile.empty() ? MakeMemoryStore()
                                 : IsPostgresUri(settings.dataFile)
                                     ? OpenPostgresStore(settings.dataFile)
                                     : OpenSqliteStore(settings.dataFile);
  if (!settings.storeObserver) return store;
  return ObserveStore(std::move(store), settings.storeObserver);
}

// Sessions live where the data does when several services share it.
std::unique_ptr<SessionTable> OpenSessions(const ServiceSettings& settings) {
  if (IsPostgresUri(settings.dataFile)) {
    return OpenPostgresSessions(settings.dataFile, settings.sessions);
  }
  return std::make_unique<SessionTable>(settings.sessions);
}

// With sessions in the shared database, their quota counts are kept there
// too, so that the bounds hold across services.
void ShareQuotaCounts(SessionTable& sessions, QuotaTable& quotas) {
  auto* shared = dynamic_cast<SharedSessionTable*>(&sessions);
  if (shared == nullptr) return;
  QuotaTable::SharedUsage usage;
  usage.of = [shared](const std::string& session) {
    SessionUsage held;
    try {
      held = shared->UsageOf(session);
    } catch (const StoreError& e) {
      Faults::ZelFault(std::string("the session's quota counts cannot be read now: ") + e.what());
    }
    QuotaUse used;
    used.profiles = held.profiles;
    used.associations = held.associations;
    used.results = held.results;
    used.bytes = held.bytes;
    return used;
  };
  usage.forgetAll = [shared] { shared->ForgetAllUsage(); };
  quotas.ShareUsage(std::move(usage));
}

bool IsAnonymous(const Lumo::ManagedMethod& method) {
  const char* privilege = method.GetPrivilege();
  return privilege != nullptr && std::strcmp(privilege, kPrivilegeAnonymous) == 0;
}

// Refuses the call unless its session (found in the table, or none) may
// call the method; see SampleService::Authorize.
void CheckPrivilege(const Lumo::ManagedMethod& method, const Lumo::ServedCall& call,
                    const std::optional<SessionInfo>& session) {
  if (IsAnonymous(method)) return;
  const char* privilege = method.GetPrivilege();
  const std::string needed = privilege != nullptr ? privilege : "(unnamed)";
  const std::string what = method.GetQualifiedName() + " requires the privilege " + needed;
  if (call.sessionId.empty()) {
    Faults::NotAuthorized("Permission denied: " + what +
                          ", and the call carries no session: log in first");
  }
  if (!session) {
    Faults::NotAuthorized("Permission denied: " + what +
                          ", and the call's session has ended or expired: log in again");
  }
  if (privilege == nullptr || session->privileges.count(privilege) == 0) {
    Faults::NotAuthorized("Permission denied: " + what + ", which the session of " + session->user +
                          " does not hold");
  }
}

}  // namespace

struct SampleService::State {
  ServiceSettings settings;
  std::unique_ptr<SessionTable> ownedSessions;
  SessionTable& sessions;
  Inventory inventory;
  Catalogue catalogue;
  GuardedState profiles;
  QuotaTable quotas;
  ProviderDirectory providers;
  FaultPlan faults;
  ServiceCore core;
  // The store the profiles are kept in, for readiness probes: it guards
  // itself, so a probe does not wait for the profiles' lock.
  const Store* store;

  // Every object by id; made in the service's constructor, emptied in its
  // destructor, so that the objects never outlive the state they use.
  Ref<Lumo::ObjectRegistry> objects;
  Ref<Lumo::MoRef> serviceInstance;

  explicit State(ServiceSettings s)
      : settings(std::move(s)),
        ownedSessions(OpenSessions(settings)),
        sessions(*ownedSessions),
        inventory(LoadInventory(settings)),
        profiles(OpenStore(settings)),
        quotas(settings.quotas, settings.sessions.idleTimeout),
        core{inventory, catalogue, profiles, sessions, quotas, providers, faults},
        store(&profiles.LockExclusive()->GetStore()) {
    ShareQuotaCounts(sessions, quotas);
  }

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
  s.objects = new Lumo::ObjectRegistry([this](const Lumo::ManagedMethod& method,
                                              Lumo::ServedCall& call) { BeforeCall(method, call); },
                                       [this](const Lumo::ManagedMethod& method,
                                              Lumo::ServedCall& call) { AfterCall(method, call); });

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

Lumo::ObjectRegistry* SampleService::GetRegistry() const { return _state->objects.Get(); }

void SampleService::Authorize(const Lumo::ManagedMethod& method,
                              const Lumo::ServedCall& call) const {
  std::optional<SessionInfo> session;
  if (!IsAnonymous(method) && !call.sessionId.empty()) {
    session = _state->sessions.Find(call.sessionId);
  }
  CheckPrivilege(method, call, session);
}

void SampleService::BeforeCall(const Lumo::ManagedMethod& method, Lumo::ServedCall& call) const {
  std::optional<SessionInfo> session;
  if (!call.sessionId.empty()) {
    session = _state->sessions.Find(call.sessionId);
    if (session) call.user = session->user;
  }
  CheckPrivilege(method, call, session);
  t_httpFailure = InjectedFault::Http::kNone;
  InjectedFault::Http http = _state->faults.Apply(method, call.sessionId);
  if (http != InjectedFault::Http::kNone) {
    // The call must not run; its transport fails the exchange instead of
    // sending this fault.
    t_httpFailure = http;
    Faults::ZelFault(method.GetQualifiedName() + " fails on purpose at the HTTP level");
  }
}

void SampleService::AfterCall(const Lumo::ManagedMethod&, Lumo::ServedCall& call) const {
  // A logout keeps the user its session had; a login names its own.
  if (!call.sessionChanged || call.sessionId.empty()) return;
  if (std::optional<SessionInfo> session = _state->sessions.Find(call.sessionId)) {
    call.user = session->user;
  }
}

std::string SampleService::ProbeStore() const { return _state->store->Probe(); }

bool SampleService::CallsMayWait() const {
  // The memory store writes nothing; the sample providers answer from memory.
  return !_state->settings.dataFile.empty() || _state->faults.HasDelays();
}

void SampleService::InjectFault(const InjectedFault& rule) { _state->faults.Add(rule); }

void SampleService::ClearFaults() { _state->faults.ClearAll(); }

std::vector<InjectedFault> SampleService::ListFaults() const { return _state->faults.List(); }

InjectedFault::Http SampleService::TakeHttpFailure() {
  return std::exchange(t_httpFailure, InjectedFault::Http::kNone);
}

void SampleService::Reset() {
  {
    ChangingState state = _state->profiles.LockForChange();
    ChangeSet changes;
    // A profile's associations, results and default assignments go with it.
    for (const auto& [sequence, id] : state->ProfilesInOrder()) changes.push_back(DropProfile{id});
    state.Exclusive().Commit(changes);
  }
  _state->quotas.ForgetAll();
  _state->faults.ClearAll();
}

SessionTable& SampleService::GetSessions() { return _state->sessions; }

const ServiceSettings& SampleService::GetSettings() const { return _state->settings; }

}  // namespace ZelSample
