// The sample storage-policy service: every managed object it serves, their
// shared state, its sessions, and the entry through which calls reach them.
//
// The service holds a built-in catalogue of capabilities (extended by what
// providers register), an inventory read at start (hubs, machines, disks,
// replication groups), and what clients make it store: profiles, their
// associations with entities, the default profiles of hubs and compliance
// results. Those live in memory and, with a data file, in an SQLite database
// that every answered change has reached. Several clients may call at once.
//
// The runtime must have been started (Lumo::StartRuntime) before a service is
// built.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MoRef.h>
#include <Lumo/ObjectRegistry.h>
#include <Lumo/ServedCall.h>
#include <Lumo/Wire/Options.h>
#include <ZelSample/InjectedFault.h>
#include <ZelSample/IssuerKeys.h>
#include <ZelSample/Sessions.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ZelSample {

// The ids of the service's objects; each reference's type is the wire name of
// the object's managed type ("zel.profile.ProfileManager"). The registries are
// not named by the service content: a provider is told their ids.
namespace ObjectIds {
inline constexpr char kServiceInstance[] = "ServiceInstance";
inline constexpr char kSessionManager[] = "SessionManager";
inline constexpr char kProfileManager[] = "ProfileManager";
inline constexpr char kCapabilityMetadataManager[] = "CapabilityMetadataManager";
inline constexpr char kComplianceManager[] = "ComplianceManager";
inline constexpr char kPlacementSolver[] = "PlacementSolver";
inline constexpr char kReplicationManager[] = "ReplicationManager";
inline constexpr char kProfileProviderRegistry[] = "ProfileProviderRegistry";
inline constexpr char kComplianceProviderRegistry[] = "ComplianceProviderRegistry";
inline constexpr char kHubFinderRegistry[] = "HubFinderRegistry";
inline constexpr char kAssociationProviderRegistry[] = "AssociationProviderRegistry";
inline constexpr char kDebugManager[] = "ZelDebugManager";
}  // namespace ObjectIds

// Bounds on what clients can make the service store. The per-session counts
// add up over a session's life; re-checking an entity already checked for a
// profile stores nothing new.
//
// Bytes: each stored profile, association and compliance result counts the
// size of its value's wire form (the XML a data file keeps of it). A session
// is charged what its calls add (a record replacing another, only what it
// grew by); the service's count is what it holds, so deleting profiles
// gives their bytes, and those of their associations and results, back.
struct QuotaSettings {
  size_t profilesPerSession = 10000;
  size_t associationsPerSession = 50000;
  size_t resultsPerSession = 20000;
  size_t bytesPerSession = 16u << 20;
  size_t maxProfiles = 100000;
  size_t maxAssociations = 500000;
  size_t maxResults = 200000;
  size_t maxBytes = 256u << 20;
  // Entities (or hubs) one call may name.
  size_t maxEntitiesPerCall = 10000;
  // The longest description of a profile, in bytes.
  size_t maxDescriptionBytes = 64u << 10;
  // The limits of the wire the service is served over, its message size
  // above all (the wire codec's, with which the dispatcher writes answers):
  // a changing call over a wire whose answer could not be written within
  // them is refused with the wire's own fault before it stores anything.
  Lumo::Wire::Limits answerLimits;
};

// Told of every commit to the store: the time it took and whether it
// failed (the change was refused). Runs on the calling thread, so it must be
// safe to call from several at once.
using StoreObserver = std::function<void(std::chrono::nanoseconds elapsed, bool failed)>;

struct ServiceSettings {
  std::string name = "zel sample storage-policy service";
  std::string version = "1.0.0";
  // Random when empty.
  std::string instanceUuid;
  SessionTable::Settings sessions;
  QuotaSettings quotas;
  // The inventory file; empty for the built-in inventory.
  std::string inventoryFile;
  // Where the data is kept: empty for memory only, a PostgreSQL URI
  // (postgresql://USER@HOST:PORT/DB or postgres://...) for a database that
  // any number of services share, anything else for an SQLite data file.
  std::string dataFile;
  // The issuers whose delegated tokens log users in; null: the demo issuer
  // (ZelSample/IssuerKeys.h), which is fit for demonstrations only.
  std::shared_ptr<const TrustedIssuers> trustedIssuers;
  // Null: commits are not observed.
  StoreObserver storeObserver;
};

class SampleService {
 public:
  // Throws InventoryError for an inventory file it refuses and StoreError
  // (a std::runtime_error) for a data file it cannot use.
  explicit SampleService(ServiceSettings settings = {});
  ~SampleService();
  SampleService(const SampleService&) = delete;
  SampleService& operator=(const SampleService&) = delete;

  // The reference a client starts from: the service instance.
  Kestrum::Ref<Lumo::MoRef> GetServiceInstanceRef() const;
  // The registry of every object of the service, through which every call
  // reaches them (a dispatcher's, a local stub adapter's such as
  // DirectAdapter): its hooks are BeforeCall and AfterCall. The objects are
  // unregistered when the service ends.
  Lumo::ObjectRegistry* GetRegistry() const;

  // Refuses the call, by throwing a fault exception, when its session may
  // not call the method: a method whose privilege is "System.Anonymous"
  // needs no session; every other needs a logged-in session that holds the
  // method's privilege.
  void Authorize(const Lumo::ManagedMethod& method, const Lumo::ServedCall& call) const;
  // What runs at the entry of every call, once its target is found: the
  // call's session is resolved (its user goes to call.user), then
  // Authorize, then the faults injected (configureErrorMode, InjectFault)
  // that may delay or fail the method on purpose.
  void BeforeCall(const Lumo::ManagedMethod& method, Lumo::ServedCall& call) const;
  // What runs when a call returned: a login's new session is resolved, so
  // that call.user names the user who logged in.
  void AfterCall(const Lumo::ManagedMethod& method, Lumo::ServedCall& call) const;

  // Whether the store answers now (a trivial query of a data file, which
  // must still be the file opened): empty when it does, else why not.
  // Cheap: it waits for no call's lock, only for a commit being written.
  std::string ProbeStore() const;
  // Whether a call may wait now: on a store that writes to disk or a
  // network, or on a delay injected into it. When none may, a transport can
  // run calls on the thread that read them. Cheap.
  bool CallsMayWait() const;

  // ---- for a test double's operator ----------------------------------------------
  // Adds a fault injected into calls (see InjectedFault). Throws
  // std::invalid_argument, saying what is wrong, for a rule it cannot take.
  void InjectFault(const InjectedFault& rule);
  // Removes every injected fault, configureErrorMode's too.
  void ClearFaults();
  // The injected faults in force, in the order they match.
  std::vector<InjectedFault> ListFaults() const;
  // The HTTP failure an injected fault gave the last call on this thread
  // (the call then did not run), and clears it: a transport that can fail
  // its exchange asks after each call.
  static InjectedFault::Http TakeHttpFailure();
  // Drops everything clients made the service store (profiles with their
  // associations, results and default assignments), what sessions are
  // charged for it, and every injected fault. Sessions stay open. Throws
  // StoreError when the store cannot commit it; then nothing changed.
  void Reset();

  SessionTable& GetSessions();
  const ServiceSettings& GetSettings() const;

 private:
  struct State;
  std::unique_ptr<State> _state;
};

}  // namespace ZelSample
