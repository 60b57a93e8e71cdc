// What the served objects share: the inventory, the catalogue, the guarded
// state, sessions, quotas, the provider registrations and the faults injected;
// and the one way a call commits its changes.
#pragma once

#include <Kestrum/Object.h>
#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/ManagedObject.h>
#include <Lumo/MoRef.h>
#include <ZelSample/Inventory.h>
#include <ZelSample/Sessions.h>

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "objects/FaultPlan.h"
#include "store/Quotas.h"
#include "store/State.h"

namespace ZelSample {

class Catalogue;

// The registrations of one registry: provider records by unique id, in the
// order of their registration.
class ProviderTable {
 public:
  static constexpr size_t kMaxRegistrations = 256;

  // Keeps a copy of the record. A second registration of an id is refused
  // with zel.fault.AlreadyExists, one past kMaxRegistrations with
  // olyx.fault.InvalidArgument.
  void Add(const std::string& uniqueId, const Lumo::Any& record);
  // zel.fault.NotFound for an unknown id.
  void Remove(const std::string& uniqueId);
  size_t Count() const;
  std::vector<std::string> Ids() const;
  std::vector<Kestrum::Ref<Lumo::Any>> Records() const;

 private:
  mutable std::mutex _mutex;
  std::vector<std::pair<std::string, Kestrum::Ref<Lumo::Any>>> _records;
};

// The provider registrations of the four registries, and the providers
// that live in this process: the service can call a registered provider
// only when its reference names one of those.
class ProviderDirectory {
 public:
  ProviderTable profiles;
  ProviderTable compliance;
  ProviderTable hubFinders;
  ProviderTable associations;

  // Filled at start, then only read.
  void AddLocal(Lumo::ManagedObject* provider, Kestrum::Ref<Kestrum::Object> owner);
  Lumo::ManagedObject* FindLocal(const Lumo::MoRef* ref) const;

 private:
  std::map<std::string, std::pair<Lumo::ManagedObject*, Kestrum::Ref<Kestrum::Object>>> _local;
};

// What the served objects share.
struct ServiceCore {
  const Inventory& inventory;
  Catalogue& catalogue;
  GuardedState& state;
  SessionTable& sessions;
  QuotaTable& quotas;
  ProviderDirectory& providers;
  FaultPlan& faults;
};

// Commits a call's changes through its locked state: measures the bytes
// they add, refuses (with `refuse`) additions past a quota, turns a store
// failure into zel.fault.ProfileStorageFault, and counts the additions
// against the call's session. A call whose answer grows with what it names
// has checked that answer (QuotaTable::CheckAnswer) before.
void CommitChanges(ServiceCore& core, ChangingState& state, ChangeSet changes, QuotaUse adds,
                   void (*refuse)(const std::string& message));

// The user of the current call's session; "anonymous" without one.
std::string CurrentUser(SessionTable& sessions);
// The session id of the current call; empty without one.
std::string CurrentSession();

}  // namespace ZelSample
