// What clients make the service store, held in memory with the indexes its
// calls look things up by, and written through a Store.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "store/Guarded.h"
#include "store/Store.h"

namespace ZelSample {

// Not thread-safe by itself: the service holds it as a GuardedState (below),
// and a call reaches it only through the view it locks: a SharedState to
// read (many calls at once), a ChangingState to read and then change it.
class ProfileState {
 public:
  struct StoredProfile {
    Kestrum::Ref<Zel::Profile::CapabilityBasedProfile> profile;  // never changed once stored
    uint64_t sequence;
    size_t bytes;
  };
  struct Association {
    Kestrum::Ref<Zel::ServerObjectRef> entity;
    std::string profileId;
    size_t bytes;
  };
  struct StoredResult {
    Kestrum::Ref<Zel::Compliance::ComplianceResult> result;  // never changed once stored
    int64_t generation;
    size_t bytes;
  };
  // Results by entity key, then profile id.
  using ResultMap = std::map<std::pair<std::string, std::string>, StoredResult>;

  // Loads what the store holds. Throws StoreError.
  explicit ProfileState(std::unique_ptr<Store> store);

  // ---- reads ------------------------------------------------------------------------
  const StoredProfile* FindProfile(const std::string& id) const;
  // The id of the profile of a name; null when none has it.
  const std::string* FindProfileByName(const std::string& name) const;
  // Profile ids by creation order.
  const std::map<uint64_t, std::string>& ProfilesInOrder() const { return _bySequence; }
  size_t ProfileCount() const { return _profiles.size(); }
  // The generation of a stored profile; 0 for none.
  int64_t GenerationOf(const std::string& id) const;

  const Association* FindAssociation(const std::string& entityKey) const;
  const std::map<std::string, Association>& Associations() const { return _associations; }
  // Keys of the entities associated with a profile; null for none.
  const std::set<std::string>* EntitiesOf(const std::string& profileId) const;

  const StoredResult* FindResult(const std::string& entityKey, const std::string& profileId) const;
  const ResultMap& Results() const { return _results; }
  // Keys of the entities with a result for a profile; null for none.
  const std::set<std::string>* ResultEntitiesOf(const std::string& profileId) const;

  // The default profile of a hub; null for none.
  const std::string* DefaultOf(const std::string& hubId) const;
  const std::map<std::string, std::string>& Defaults() const { return _defaults; }

  // What the profiles, associations and results held take, in bytes: each
  // record counts the size of its value's wire form, which is also what a
  // data file keeps of it.
  size_t StoredBytes() const { return _bytes; }
  // Measures the records the changes write and answers the bytes they add:
  // for each record, how much larger it is than the one it replaces (all of
  // it when it replaces none). Drops are not subtracted. May throw the wire
  // format's fault for a value it cannot write; then nothing is stored.
  size_t Measure(ChangeSet& changes) const;

  // ---- counters ------------------------------------------------------------------------
  // The creation order of a new profile: the store's sequence when it has
  // one (ProfileStorageFault when it cannot answer), else counted here. Taken
  // in a change stretch, which reads the state under the shared lock.
  uint64_t NextSequence() const;
  // Task ids are only counted: a call that only reads may take one.
  uint64_t NextTask() const { return _nextTask++; }

  // ---- changes ----------------------------------------------------------------------
  // Writes the changes through the store, then into memory. On a StoreError
  // nothing has changed.
  void Commit(const ChangeSet& changes);
  // In a change stretch, before Commit(changes) under the exclusive lock:
  // lets the store write the changes while readers still read, so that the
  // commit holds them off only for as long as it takes to make the changes
  // durable and apply them here. Memory is not changed. On a StoreError
  // nothing was stored.
  void WriteAhead(const ChangeSet& changes) const;
  const Store& GetStore() const { return *_store; }

  // ---- stretches (MutexGuarded) -----------------------------------------------------
  // At the start of an exclusive stretch: when another process changed the
  // store since memory was last brought up to date with it, catches up. A
  // store that cannot answer fails the call with a fault and enters nothing.
  void Enter();
  // At the start of a change stretch, before any lock of the state: holds
  // other processes' changes off until EndChange() and answers whether
  // memory is behind them. A store that cannot answer fails the call with a
  // fault.
  bool BeginChange();
  void EndChange() noexcept;
  // Whether another process changed the store since memory was last brought
  // up to date with it. Runs without the lock, beside any stretch. A store
  // that cannot answer fails the call with a fault.
  bool Stale() const;

 private:
  // Replaces what memory holds with what the store holds.
  void Reload();
  // Brings memory up to date with what other processes changed: only the
  // changes when the store can tell them, else all of it.
  void CatchUp();
  void Clear();
  // Keeps the creation order counted here past a sequence seen.
  void Follow(uint64_t sequence) const;
  void Apply(const Change& change);
  void Put(const ProfileRecord& record);
  void Drop(const DropProfile& drop);
  void Put(const AssociationRecord& record);
  void Drop(const DropAssociation& drop);
  void Put(const ResultRecord& record);

  std::unique_ptr<Store> _store;
  size_t _bytes = 0;
  mutable std::atomic<uint64_t> _nextSequence{1};
  mutable std::atomic<uint64_t> _nextTask{1};
  std::unordered_map<std::string, StoredProfile> _profiles;
  std::unordered_map<std::string, std::string> _byName;
  std::map<uint64_t, std::string> _bySequence;
  std::map<std::string, Association> _associations;
  std::unordered_map<std::string, std::set<std::string>> _associationsByProfile;
  ResultMap _results;
  std::unordered_map<std::string, std::set<std::string>> _resultsByProfile;
  std::map<std::string, std::string> _defaults;
};

// The state as the service holds it. A call locks it once for each stretch
// of work whose reads its answer depends on: shared to only read, for
// change to commit, through the same view before the lock ends. Helpers
// that commit take the ChangingState; helpers that only read take the state
// itself, const, which only a view reaches.
using GuardedState = MutexGuarded<ProfileState>;
using LockedState = Locked<ProfileState>;
using SharedState = Locked<const ProfileState>;
using ChangingState = ChangeLocked<ProfileState>;

}  // namespace ZelSample
