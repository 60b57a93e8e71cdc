// Where the service keeps what clients make it store: profiles, their
// associations with entities, the default profiles of hubs and the
// compliance results.
//
// The service holds all of it in memory (ProfileState) and writes every
// change through a Store first: a changing call gathers its changes in one
// ChangeSet, the store commits the set as one transaction, and only then
// does the service change its memory and answer. A set the store cannot
// commit changes nothing anywhere. At start the service loads what the store
// holds.
#pragma once

#include <Kestrum/Ref.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <ZelSample/Service.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace ZelSample {

struct ProfileRecord {
  std::string id;
  uint64_t sequence = 0;  // creation order
  Kestrum::Ref<Zel::Profile::CapabilityBasedProfile> profile;
  // The profile's wire form once written (by ProfileState::Measure, or as
  // loaded): what a store keeps of it and what it is measured by; empty: not
  // yet written.
  std::string wire = {};
};

struct AssociationRecord {
  std::string entityKey;
  Kestrum::Ref<Zel::ServerObjectRef> entity;
  std::string profileId;
  std::string wire = {};  // the entity's wire form once written; empty: not yet
};

struct ResultRecord {
  std::string entityKey;
  std::string profileId;
  int64_t generation = 0;  // of the profile the result was computed for
  Kestrum::Ref<Zel::Compliance::ComplianceResult> result;
  std::string wire = {};  // the result's wire form once written; empty: not yet
};

struct DefaultRecord {
  std::string hubId;
  std::string profileId;
};

// Dropping a profile drops its associations, results and default
// assignments with it.
struct DropProfile {
  std::string id;
};
struct DropAssociation {
  std::string entityKey;
};
struct DropDefault {
  std::string hubId;
};

// What a call adds to its session's counts, committed with the call's
// changes by a store that keeps the sessions (memory and SQLite ignore it:
// the service counts in memory then).
struct SessionCharge {
  std::string session;
  size_t profiles = 0;
  size_t associations = 0;
  size_t results = 0;
  size_t bytes = 0;
};

using Change = std::variant<ProfileRecord, DropProfile, AssociationRecord, DropAssociation,
                            ResultRecord, DefaultRecord, DropDefault, SessionCharge>;

// The changes of one call, applied in order.
using ChangeSet = std::vector<Change>;

// Everything a store holds, as loaded at start.
struct StoredData {
  std::vector<ProfileRecord> profiles;
  std::vector<AssociationRecord> associations;
  std::vector<ResultRecord> results;
  std::vector<DefaultRecord> defaults;
};

// What other processes changed since this one last loaded: the drops, in
// the order they were made, and the records written (their latest form).
// Applied drops first, then records, they bring memory up to date.
struct StoredChanges {
  std::vector<Change> drops;
  StoredData written;
};

// A store that cannot open, read or write its data.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Store {
 public:
  virtual ~Store() = default;
  // Everything stored. Throws StoreError.
  virtual StoredData Load() = 0;
  // Writes the changes as one transaction: all of them or, on a StoreError,
  // none. When Commit returns, the changes are durable.
  virtual void Commit(const ChangeSet& changes) = 0;
  // Where the data lives, for messages ("memory", "SQLite file /path").
  virtual std::string Describe() const = 0;
  // Whether the store answers now, cheaply: empty when it does, else why
  // not. Safe to call while calls commit.
  virtual std::string Probe() const { return std::string(); }

  // ---- a store that other processes change too ------------------------------------
  // Memory and SQLite keep the defaults: only this process changes them.
  //
  // Whether what the store holds changed, by another process, since this one
  // last loaded or committed it. Throws StoreError.
  virtual bool Changed() { return false; }
  // What changed since this process last loaded or committed, into
  // changes; false when the store cannot tell (then Load() it all). Throws
  // StoreError.
  virtual bool LoadChanges(StoredChanges& /*changes*/) { return false; }
  // Begins a stretch whose commit must rest on what it read: other
  // processes' changes wait until the stretch commits or ends, so nothing
  // changes between its reads and its commit. Answers Changed(), which the
  // caller reloads for before it reads. Throws StoreError.
  virtual bool BeginChange() { return false; }
  // Ends the stretch BeginChange began; a stretch that did not commit
  // changes nothing.
  virtual void EndChange() noexcept {}
  // Inside a stretch: may write the changes ahead of Commit(changes), which
  // then only makes them durable, so that a commit is short. Throws
  // StoreError; then the stretch has ended and nothing was stored.
  virtual void WriteAhead(const ChangeSet& /*changes*/) {}
  // The place of a new profile in the creation order, from the store's own
  // sequence; 0: the store has none, the service counts. Throws StoreError.
  virtual uint64_t NextOrder() { return 0; }
};

// Keeps nothing: the service's memory is all there is.
std::unique_ptr<Store> MakeMemoryStore();
// An SQLite database file, created when missing. Throws StoreError for a
// file that cannot be opened or that is not a data file of this service.
std::unique_ptr<Store> OpenSqliteStore(const std::string& path);
// A PostgreSQL database named by a connection URI (postgresql://...), shared
// by any number of services: the schema is made on first use. Throws
// StoreError for a database it cannot reach or whose data it does not read.
std::unique_ptr<Store> OpenPostgresStore(const std::string& uri);
// The store, with every commit timed and told to observer (ObservedStore.cpp).
std::unique_ptr<Store> ObserveStore(std::unique_ptr<Store> store, StoreObserver observer);

}  // namespace ZelSample
