// The store in a PostgreSQL database that any number of services share.
//
// Records are kept as the wire format's XML of their values, as in an
// SQLite data file. Every service keeps a copy in memory; the one-row table
// zel_change holds a number that every commit raises, so a service sees with
// one cheap query whether another changed the data since it last loaded it.
// Every row names the change that wrote it and zel_dropped the drops of the
// last kKeptDrops changes, so a service behind reads only what changed.
// A stretch that may commit locks that row first (SELECT ... FOR UPDATE):
// changes of all services happen one after the other, each on data that is
// current when it is made.
//
// Calls that only read run at the same time: each asks whether the number
// moved on a connection of its own, borrowed from a pool. Loading, catching
// up and change stretches run one at a time in this process (the state's
// exclusive lock) on the store's own connection.
#include <Lumo/Wire/Codec.h>

#include <atomic>
#include <mutex>
#include <type_traits>

#include "store/DataUri.h"
#include "store/PgConnection.h"
#include "store/PgPool.h"
#include "store/Store.h"

namespace ZelSample {

namespace {

constexpr long long kSchemaVersion = 1;
// Drops are kept for this many changes; a service further behind loads all.
constexpr long long kKeptDrops = 10000;
// Taken while the schema is checked or made, so that services starting
// together make it once.
constexpr char kSchemaLock[] = "SELECT pg_advisory_xact_lock(7361220411)";
// Connections for calls asking at the same time whether the data changed;
// a call past that many waits for one of them.
constexpr size_t kCheckConnections = 16;

const char* const kSchema = R"sql(
CREATE TABLE zel_schema (version bigint NOT NULL);
CREATE TABLE zel_change (
  one boolean PRIMARY KEY DEFAULT true CHECK (one),
  number bigint NOT NULL,
  pruned bigint NOT NULL DEFAULT 0
);
INSERT INTO zel_change (number) VALUES (0);
CREATE SEQUENCE zel_profile_order;
CREATE TABLE zel_profiles (
  id text PRIMARY KEY,
  sequence bigint NOT NULL UNIQUE,
  name text NOT NULL UNIQUE,
  body text NOT NULL,
  changed bigint NOT NULL
);
CREATE INDEX zel_profiles_by_change ON zel_profiles(changed);
CREATE TABLE zel_associations (
  entity_key text PRIMARY KEY,
  profile_id text NOT NULL REFERENCES zel_profiles(id) ON DELETE CASCADE,
  entity text NOT NULL,
  changed bigint NOT NULL
);
CREATE INDEX zel_associations_by_profile ON zel_associations(profile_id);
CREATE INDEX zel_associations_by_change ON zel_associations(changed);
CREATE TABLE zel_results (
  entity_key text NOT NULL,
  profile_id text NOT NULL REFERENCES zel_profiles(id) ON DELETE CASCADE,
  generation bigint NOT NULL,
  body text NOT NULL,
  changed bigint NOT NULL,
  PRIMARY KEY (entity_key, profile_id)
);
CREATE INDEX zel_results_by_profile ON zel_results(profile_id);
CREATE INDEX zel_results_by_change ON zel_results(changed);
CREATE TABLE zel_defaults (
  hub_id text PRIMARY KEY,
  profile_id text NOT NULL REFERENCES zel_profiles(id) ON DELETE CASCADE,
  changed bigint NOT NULL
);
CREATE INDEX zel_defaults_by_change ON zel_defaults(changed);
CREATE TABLE zel_dropped (
  number bigint NOT NULL,
  kind text NOT NULL,
  key text NOT NULL
);
CREATE INDEX zel_dropped_by_number ON zel_dropped(number);
CREATE TABLE zel_sessions (
  id text PRIMARY KEY,
  user_name text NOT NULL,
  privileges text NOT NULL,
  last_used timestamptz NOT NULL,
  token_signature text NOT NULL,
  token_expires bigint NOT NULL,
  profiles bigint NOT NULL DEFAULT 0,
  associations bigint NOT NULL DEFAULT 0,
  results bigint NOT NULL DEFAULT 0,
  bytes bigint NOT NULL DEFAULT 0
);
CREATE INDEX zel_sessions_by_user ON zel_sessions(user_name, last_used);
CREATE TABLE zel_logged_out (
  signature text PRIMARY KEY,
  expires bigint NOT NULL
);
)sql";

class PostgresStore : public Store {
 public:
  explicit PostgresStore(const std::string& uri)
      : _describe("PostgreSQL database " + RedactUri(uri)),
        _change(uri, _describe),
        _read(uri, _describe),
        _checks(uri, _describe, kCheckConnections),
        _probe(uri, _describe, false) {
    PrepareSchema();
  }

  std::string Describe() const override { return _describe; }

  std::string Probe() const override {
    std::lock_guard<std::mutex> lock(_probeMutex);
    try {
      _probe.Exec("SELECT number FROM zel_change");
    } catch (const StoreError& e) {
      return e.what();
    }
    return std::string();
  }

  // Catching up reads on a connection of its own, in one snapshot that gives
  // the number and the rows that go with it, so that it never waits for a
  // change stretch, which holds the change row on the change connection.
  StoredData Load() override {
    std::lock_guard<std::mutex> lock(_readMutex);
    long long number = 0;
    StoredData data = InSnapshot([&] {
      number = _read.Exec("SELECT number FROM zel_change").Integer(0, 0);
      return ReadRows(-1);
    });
    _seen = number;  // only once the snapshot has ended well
    return data;
  }

  bool LoadChanges(StoredChanges& changes) override {
    std::lock_guard<std::mutex> lock(_readMutex);
    if (_seen < 0) return false;
    long long number = 0;
    const bool known = InSnapshot([&] {
      PgResult change = _read.Exec("SELECT number, pruned FROM zel_change");
      number = change.Integer(0, 0);
      if (_seen < change.Integer(0, 1)) return false;
      const std::vector<std::string> since = {std::to_string(_seen)};
      PgResult drops =
          _read.Exec("SELECT kind, key FROM zel_dropped WHERE number > $1 ORDER BY number", since);
      for (int row = 0; row < drops.Rows(); ++row) {
        const std::string kind = drops.Text(row, 0);
        const std::string key = drops.Text(row, 1);
        if (kind == "profile") {
          changes.drops.push_back(DropProfile{key});
        } else if (kind == "association") {
          changes.drops.push_back(DropAssociation{key});
        } else {
          changes.drops.push_back(DropDefault{key});
        }
      }
      changes.written = ReadRows(_seen);
      return true;
    });
    if (known) _seen = number;
    return known;
  }

  // Safe beside every other member: it runs on a pooled connection and
  // reads the number seen atomically.
  bool Changed() override {
    PgPool::Lease db = _checks.Borrow();
    return db->Exec("SELECT number FROM zel_change").Integer(0, 0) != _seen.load();
  }

  bool BeginChange() override {
    std::lock_guard<std::mutex> lock(_changeMutex);
    if (_inChange) return false;
    _change.Exec("BEGIN");
    try {
      const long long number = LockChangeRow();
      _inChange = true;
      return number != _seen;
    } catch (...) {
      _change.ExecQuietly("ROLLBACK");
      throw;
    }
  }

  uint64_t NextOrder() override {
    std::lock_guard<std::mutex> lock(_changeMutex);
    return static_cast<uint64_t>(_change.Exec("SELECT nextval('zel_profile_order')").Integer(0, 0));
  }

  void EndChange() noexcept override {
    std::lock_guard<std::mutex> lock(_changeMutex);
    if (!_inChange) return;
    _inChange = false;
    _written = -1;
    _change.ExecQuietly("ROLLBACK");
  }

  // Inside a change stretch: writes the changes now, so that Commit() only
  // commits them.
  void WriteAhead(const ChangeSet& changes) override {
    if (changes.empty()) return;
    std::lock_guard<std::mutex> lock(_changeMutex);
    if (!_inChange || _written >= 0) return;
    _written = WriteInTransaction(changes);
  }

  void Commit(const ChangeSet& changes) override {
    if (changes.empty()) return;
    std::lock_guard<std::mutex> lock(_changeMutex);
    if (!_inChange) {
      // A commit outside a change stretch: it rests on what this service
      // loaded last, so it must still be current.
      _change.Exec("BEGIN");
      try {
        if (LockChangeRow() != _seen) {
          throw StoreError(_describe +
                           ": another service changed the data while the call ran; nothing was "
                           "stored: call again");
        }
      } catch (...) {
        _change.ExecQuietly("ROLLBACK");
        throw;
      }
      _inChange = true;
    }
    const long long number = _written >= 0 ? _written : WriteInTransaction(changes);
    _inChange = false;
    _written = -1;
    try {
      _change.Exec("COMMIT");
    } catch (...) {
      _change.ExecQuietly("ROLLBACK");
      throw;
    }
    _seen = number;
  }

 private:
  long long LockChangeRow() {
    return _change.Exec("SELECT number FROM zel_change FOR UPDATE").Integer(0, 0);
  }

  // Writes the changes in the open transaction under the next change number
  // and answers that number. On a failure the transaction is rolled back
  // and the stretch has ended.
  long long WriteInTransaction(const ChangeSet& changes) {
    try {
      const long long number =
          _change.Exec("UPDATE zel_change SET number = number + 1 RETURNING number").Integer(0, 0);
      const std::string written = std::to_string(number);
      for (const Change& change : changes) Write(change, written);
      if (number % 1000 == 0) {
        const std::string below = std::to_string(number - kKeptDrops);
        _change.Exec("DELETE FROM zel_dropped WHERE number <= $1", {below});
        _change.Exec("UPDATE zel_change SET pruned = $1", {below});
      }
      return number;
    } catch (const StoreError& e) {
      _change.ExecQuietly("ROLLBACK");
      _inChange = false;
      _written = -1;
      if (_change.LastState() == "23505") {
        throw StoreError(_describe + ": the change collides with a stored record: " + e.what());
      }
      throw;
    }
  }

  // Runs read in a read-only snapshot on the read connection.
  template <class Read>
  auto InSnapshot(Read&& read) -> decltype(read()) {
    _read.Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    try {
      auto answer = read();
      _read.Exec("COMMIT");
      return answer;
    } catch (...) {
      _read.ExecQuietly("ROLLBACK");
      throw;
    }
  }

  // Checks the database's schema, making it in an empty one. Refuses data
  // of a version this service does not read.
  void PrepareSchema() {
    _change.Exec("BEGIN");
    try {
      _change.Exec(kSchemaLock);
      const bool made = !_change.Exec("SELECT to_regclass('zel_schema')").IsNull(0, 0);
      if (!made) {
        if (!_change.Exec("SELECT to_regclass('zel_profiles')").IsNull(0, 0)) {
          throw StoreError(_describe + ": the database holds zel_ tables of another program");
        }
        _change.ExecScript(kSchema);
        _change.Exec("INSERT INTO zel_schema (version) VALUES ($1)",
                     {std::to_string(kSchemaVersion)});
      } else {
        PgResult version = _change.Exec("SELECT version FROM zel_schema");
        if (version.Rows() != 1) {
          throw StoreError(_describe + ": the table zel_schema does not name one version");
        }
        const long long found = version.Integer(0, 0);
        if (found > kSchemaVersion) {
          throw StoreError(_describe + ": its data is of version " + std::to_string(found) +
                           ", newer than this service reads (version " +
                           std::to_string(kSchemaVersion) + "): run a newer zel-server");
        }
        if (found != kSchemaVersion) {
          throw StoreError(_describe + ": its data is of version " + std::to_string(found) +
                           ", which this service does not read (version " +
                           std::to_string(kSchemaVersion) + ")");
        }
      }
      _change.Exec("COMMIT");
    } catch (...) {
      _change.ExecQuietly("ROLLBACK");
      throw;
    }
  }

  // The rows written by changes after `after` (-1: all of them).
  StoredData ReadRows(long long after) {
    StoredData data;
    const std::vector<std::string> since = {std::to_string(after)};
    PgResult profiles = _read.Exec(
        "SELECT id, sequence, body FROM zel_profiles WHERE changed > $1 ORDER BY sequence", since);
    for (int row = 0; row < profiles.Rows(); ++row) {
      ProfileRecord record;
      record.id = profiles.Text(row, 0);
      record.sequence = static_cast<uint64_t>(profiles.Integer(row, 1));
      record.wire = profiles.Text(row, 2);
      record.profile =
          Decode<Zel::Profile::CapabilityBasedProfile>(record.wire, "profile " + record.id);
      if (record.profile->GetProfileId() == nullptr ||
          record.profile->GetProfileId()->GetUniqueId() != record.id) {
        throw StoreError(_describe + ": the profile " + record.id + " names another id");
      }
      data.profiles.push_back(std::move(record));
    }
    PgResult associations = _read.Exec(
        "SELECT entity_key, profile_id, entity FROM zel_associations WHERE changed > $1", since);
    for (int row = 0; row < associations.Rows(); ++row) {
      AssociationRecord record;
      record.entityKey = associations.Text(row, 0);
      record.profileId = associations.Text(row, 1);
      record.wire = associations.Text(row, 2);
      record.entity =
          Decode<Zel::ServerObjectRef>(record.wire, "association of " + record.entityKey);
      data.associations.push_back(std::move(record));
    }
    PgResult results = _read.Exec(
        "SELECT entity_key, profile_id, generation, body FROM zel_results WHERE changed > $1",
        since);
    for (int row = 0; row < results.Rows(); ++row) {
      ResultRecord record;
      record.entityKey = results.Text(row, 0);
      record.profileId = results.Text(row, 1);
      record.generation = results.Integer(row, 2);
      record.wire = results.Text(row, 3);
      record.result =
          Decode<Zel::Compliance::ComplianceResult>(record.wire, "result of " + record.entityKey);
      data.results.push_back(std::move(record));
    }
    PgResult defaults =
        _read.Exec("SELECT hub_id, profile_id FROM zel_defaults WHERE changed > $1", since);
    for (int row = 0; row < defaults.Rows(); ++row) {
      data.defaults.push_back(DefaultRecord{defaults.Text(row, 0), defaults.Text(row, 1)});
    }
    return data;
  }

  template <class T>
  Kestrum::Ref<T> Decode(const std::string& xml, const std::string& what) {
    Kestrum::Ref<Lumo::Any> value;
    try {
      value = _codec.DecodeValue(xml);
    } catch (const std::exception& e) {
      throw StoreError(_describe + ": the " + what + " is unreadable: " + e.what());
    }
    auto* typed = dynamic_cast<T*>(value.Get());
    if (typed == nullptr) throw StoreError(_describe + ": the " + what + " is of another type");
    return Kestrum::Ref<T>(typed);
  }

  // Notes a drop for the services that catch up with changes.
  void Dropped(const std::string& number, const char* kind, const std::string& key) {
    _change.Exec("INSERT INTO zel_dropped (number, kind, key) VALUES ($1, $2, $3)",
                 {number, kind, key});
  }

  // The wire form of a record's value: the one the state wrote to measure
  // it, else written here.
  template <class Record>
  std::string WireOf(const Record& record, const Lumo::Any* value) {
    if (!record.wire.empty()) return record.wire;
    std::string wire;
    _codec.EncodeValue(value, wire);
    return wire;
  }

  // Writes one change of the change numbered `number`.
  void Write(const Change& change, const std::string& number) {
    std::visit(
        [&](const auto& c) {
          using T = std::decay_t<decltype(c)>;
          if constexpr (std::is_same_v<T, ProfileRecord>) {
            _change.Exec(
                "INSERT INTO zel_profiles (id, sequence, name, body, changed) "
                "VALUES ($1, $2, $3, $4, $5) ON CONFLICT (id) DO UPDATE SET "
                "name = excluded.name, body = excluded.body, changed = excluded.changed",
                {c.id, std::to_string(c.sequence), c.profile->GetName(), WireOf(c, c.profile.Get()),
                 number});
          } else if constexpr (std::is_same_v<T, DropProfile>) {
            _change.Exec("DELETE FROM zel_profiles WHERE id = $1", {c.id});
            Dropped(number, "profile", c.id);
          } else if constexpr (std::is_same_v<T, AssociationRecord>) {
            _change.Exec(
                "INSERT INTO zel_associations (entity_key, profile_id, entity, changed) "
                "VALUES ($1, $2, $3, $4) ON CONFLICT (entity_key) DO UPDATE SET "
                "profile_id = excluded.profile_id, entity = excluded.entity, "
                "changed = excluded.changed",
                {c.entityKey, c.profileId, WireOf(c, c.entity.Get()), number});
          } else if constexpr (std::is_same_v<T, DropAssociation>) {
            _change.Exec("DELETE FROM zel_associations WHERE entity_key = $1", {c.entityKey});
            Dropped(number, "association", c.entityKey);
          } else if constexpr (std::is_same_v<T, ResultRecord>) {
            _change.Exec(
                "INSERT INTO zel_results (entity_key, profile_id, generation, body, changed) "
                "VALUES ($1, $2, $3, $4, $5) ON CONFLICT (entity_key, profile_id) DO UPDATE SET "
                "generation = excluded.generation, body = excluded.body, "
                "changed = excluded.changed",
                {c.entityKey, c.profileId, std::to_string(c.generation), WireOf(c, c.result.Get()),
                 number});
          } else if constexpr (std::is_same_v<T, DefaultRecord>) {
            _change.Exec(
                "INSERT INTO zel_defaults (hub_id, profile_id, changed) VALUES ($1, $2, $3) "
                "ON CONFLICT (hub_id) DO UPDATE SET profile_id = excluded.profile_id, "
                "changed = excluded.changed",
                {c.hubId, c.profileId, number});
          } else if constexpr (std::is_same_v<T, DropDefault>) {
            _change.Exec("DELETE FROM zel_defaults WHERE hub_id = $1", {c.hubId});
            Dropped(number, "default", c.hubId);
          } else if constexpr (std::is_same_v<T, SessionCharge>) {
            _change.Exec(
                "UPDATE zel_sessions SET profiles = profiles + $2, associations = associations + "
                "$3, results = results + $4, bytes = bytes + $5 WHERE id = $1",
                {c.session, std::to_string(c.profiles), std::to_string(c.associations),
                 std::to_string(c.results), std::to_string(c.bytes)});
          }
        },
        change);
  }

  const std::string _describe;
  // A change stretch and a commit: one at a time.
  std::mutex _changeMutex;
  PgConnection _change;
  // Loads and catch-ups.
  std::mutex _readMutex;
  PgConnection _read;
  PgPool _checks;
  // Probes use a connection of their own, so that they never wait for a
  // change in progress.
  mutable std::mutex _probeMutex;
  mutable PgConnection _probe;
  Lumo::Wire::Codec _codec;
  // The change number of what this service last loaded or committed.
  std::atomic<long long> _seen{-1};
  bool _inChange = false;
  // The change number the stretch's changes were written under; -1: none yet.
  long long _written = -1;
};

}  // namespace

std::unique_ptr<Store> OpenPostgresStore(const std::string& uri) {
  return std::make_unique<PostgresStore>(uri);
}

}  // namespace ZelSample
