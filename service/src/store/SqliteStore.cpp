// The store in an SQLite database file. Records are kept as the wire
// format's XML of their values, keyed by the columns the service looks them
// up by; foreign keys drop what belongs to a dropped profile.
#include <Lumo/Wire/Codec.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <type_traits>

#include "store/Store.h"

namespace ZelSample {

namespace {

constexpr int kSchemaVersion = 1;

const char* const kSchema = R"sql(
CREATE TABLE profiles (
  id TEXT PRIMARY KEY,
  sequence INTEGER NOT NULL UNIQUE,
  name TEXT NOT NULL UNIQUE,
  body TEXT NOT NULL
);
CREATE TABLE associations (
  entity_key TEXT PRIMARY KEY,
  profile_id TEXT NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,
  entity TEXT NOT NULL
);
CREATE INDEX associations_by_profile ON associations(profile_id);
CREATE TABLE results (
  entity_key TEXT NOT NULL,
  profile_id TEXT NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,
  generation INTEGER NOT NULL,
  body TEXT NOT NULL,
  PRIMARY KEY (entity_key, profile_id)
);
CREATE INDEX results_by_profile ON results(profile_id);
CREATE TABLE defaults (
  hub_id TEXT PRIMARY KEY,
  profile_id TEXT NOT NULL REFERENCES profiles(id) ON DELETE CASCADE
);
)sql";

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &_statement, nullptr) != SQLITE_OK) {
      throw StoreError(std::string("cannot prepare a statement: ") + sqlite3_errmsg(db));
    }
  }
  ~Statement() { sqlite3_finalize(_statement); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* Get() const { return _statement; }

 private:
  sqlite3_stmt* _statement = nullptr;
};

class SqliteStore : public Store {
 public:
  explicit SqliteStore(const std::string& path) : _path(path) {
    int opened = sqlite3_open_v2(path.c_str(), &_db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                 nullptr);
    if (opened != SQLITE_OK) {
      std::string message = _db ? sqlite3_errmsg(_db) : sqlite3_errstr(opened);
      sqlite3_close(_db);
      throw StoreError(Describe() + ": cannot open: " + message);
    }
    try {
      sqlite3_busy_timeout(_db, 5000);
      Execute("PRAGMA foreign_keys = ON");
      // Nothing is written before the file is known to be ours (or empty):
      // a refused file keeps every byte.
      bool empty = CheckOwnership();
      // Write-ahead logging, and a sync at every commit: an answered change
      // survives a crash of the process and of the machine.
      Execute("PRAGMA journal_mode = WAL");
      Execute("PRAGMA synchronous = FULL");
      Prepare(empty);
      if (::stat(path.c_str(), &_opened) != 0) {
        throw StoreError(Describe() + ": cannot read its attributes: " + std::strerror(errno));
      }
    } catch (...) {
      sqlite3_close(_db);
      throw;
    }
  }

  ~SqliteStore() override {
    _statements.clear();
    sqlite3_close(_db);
  }

  std::string Describe() const override { return "SQLite file " + _path; }

  // Writes go to the file opened: one removed or replaced since (or in a
  // folder no longer readable) would take them where nobody reads them.
  std::string Probe() const override {
    struct stat now {};
    if (::stat(_path.c_str(), &now) != 0) {
      return Describe() + ": cannot reach the data file: " + std::strerror(errno);
    }
    if (now.st_dev != _opened.st_dev || now.st_ino != _opened.st_ino) {
      return Describe() + ": the data file was replaced since it was opened";
    }
    std::lock_guard<std::mutex> lock(_mutex);
    char* error = nullptr;
    if (sqlite3_exec(_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error) !=
        SQLITE_OK) {
      std::string message = error ? error : sqlite3_errmsg(_db);
      sqlite3_free(error);
      return Describe() + ": " + message;
    }
    return std::string();
  }

  StoredData Load() override {
    std::lock_guard<std::mutex> lock(_mutex);
    StoredData data;
    {
      Statement rows(_db, "SELECT id, sequence, body FROM profiles ORDER BY sequence");
      while (Step(rows.Get())) {
        ProfileRecord record;
        record.id = Text(rows.Get(), 0);
        record.sequence = static_cast<uint64_t>(sqlite3_column_int64(rows.Get(), 1));
        record.wire = Text(rows.Get(), 2);
        record.profile =
            Decode<Zel::Profile::CapabilityBasedProfile>(record.wire, "profile " + record.id);
        if (record.profile->GetProfileId() == nullptr ||
            record.profile->GetProfileId()->GetUniqueId() != record.id) {
          throw StoreError(Describe() + ": the profile " + record.id + " names another id");
        }
        data.profiles.push_back(std::move(record));
      }
    }
    {
      Statement rows(_db, "SELECT entity_key, profile_id, entity FROM associations");
      while (Step(rows.Get())) {
        AssociationRecord record;
        record.entityKey = Text(rows.Get(), 0);
        record.profileId = Text(rows.Get(), 1);
        record.wire = Text(rows.Get(), 2);
        record.entity =
            Decode<Zel::ServerObjectRef>(record.wire, "association of " + record.entityKey);
        data.associations.push_back(std::move(record));
      }
    }
    {
      Statement rows(_db, "SELECT entity_key, profile_id, generation, body FROM results");
      while (Step(rows.Get())) {
        ResultRecord record;
        record.entityKey = Text(rows.Get(), 0);
        record.profileId = Text(rows.Get(), 1);
        record.generation = sqlite3_column_int64(rows.Get(), 2);
        record.wire = Text(rows.Get(), 3);
        record.result =
            Decode<Zel::Compliance::ComplianceResult>(record.wire, "result of " + record.entityKey);
        data.results.push_back(std::move(record));
      }
    }
    {
      Statement rows(_db, "SELECT hub_id, profile_id FROM defaults");
      while (Step(rows.Get())) {
        data.defaults.push_back(DefaultRecord{Text(rows.Get(), 0), Text(rows.Get(), 1)});
      }
    }
    return data;
  }

  void Commit(const ChangeSet& changes) override {
    if (changes.empty()) return;
    std::lock_guard<std::mutex> lock(_mutex);
    if (TryCommit(changes)) return;
    // The disk is full. The write-ahead log keeps the room it has taken:
    // once its frames are copied into the database, a commit writes over
    // them from the start and needs no new room (a delete needs none in the
    // database either), so deletes still free space. Try once more so.
    sqlite3_exec(_db, "PRAGMA wal_checkpoint(RESTART)", nullptr, nullptr, nullptr);
    if (TryCommit(changes)) return;
    throw StoreError(Describe() + ": " + sqlite3_errstr(SQLITE_FULL) +
                     " (a change, a delete too, needs room on the disk to log it before it "
                     "is made: free space on the disk of the data file)");
  }

 private:
  // Commits changes in one transaction; false (rolled back) when the disk is
  // full, throws for any other failure.
  bool TryCommit(const ChangeSet& changes) {
    Execute("BEGIN IMMEDIATE");
    try {
      for (const Change& change : changes) Write(change);
      Execute("COMMIT");
      return true;
    } catch (...) {
      bool full = (sqlite3_errcode(_db) & 0xff) == SQLITE_FULL;
      sqlite3_exec(_db, "ROLLBACK", nullptr, nullptr, nullptr);
      if (full) return false;
      throw;
    }
  }

  void Execute(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : sqlite3_errmsg(_db);
      sqlite3_free(error);
      throw StoreError(Describe() + ": " + message);
    }
  }

  int UserVersion() {
    Statement version(_db, "PRAGMA user_version");
    if (!Step(version.Get())) throw StoreError(Describe() + ": cannot read its version");
    return sqlite3_column_int(version.Get(), 0);
  }

  // Reads, without writing, whether the file is an empty database (true) or
  // one of this service's data of the version it reads (false); throws for
  // anything else.
  bool CheckOwnership() {
    // Reading the version is the first read of the file: a file that is not
    // a database fails here.
    int version = UserVersion();
    if (version == 0) {
      Statement tables(_db, "SELECT count(*) FROM sqlite_master");
      Step(tables.Get());
      if (sqlite3_column_int(tables.Get(), 0) != 0) {
        throw StoreError(Describe() + ": the database holds tables of another program");
      }
      return true;
    }
    if (version != kSchemaVersion) {
      throw StoreError(Describe() + ": data of version " + std::to_string(version) +
                       ", this service reads version " + std::to_string(kSchemaVersion));
    }
    return false;
  }

  void Prepare(bool empty) {
    if (empty) {
      Execute("BEGIN IMMEDIATE");
      try {
        Execute(kSchema);
        Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
        Execute("COMMIT");
      } catch (...) {
        sqlite3_exec(_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
      }
    }
    auto add = [&](const char* name, const char* sql) {
      _statements[name] = std::make_unique<Statement>(_db, sql);
    };
    add("putProfile",
        "INSERT INTO profiles (id, sequence, name, body) VALUES (?1, ?2, ?3, ?4) "
        "ON CONFLICT (id) DO UPDATE SET name = excluded.name, body = excluded.body");
    add("dropProfile", "DELETE FROM profiles WHERE id = ?1");
    add("putAssociation",
        "INSERT INTO associations (entity_key, profile_id, entity) VALUES (?1, ?2, ?3) "
        "ON CONFLICT (entity_key) DO UPDATE SET profile_id = excluded.profile_id, "
        "entity = excluded.entity");
    add("dropAssociation", "DELETE FROM associations WHERE entity_key = ?1");
    add("putResult",
        "INSERT INTO results (entity_key, profile_id, generation, body) VALUES (?1, ?2, ?3, ?4) "
        "ON CONFLICT (entity_key, profile_id) DO UPDATE SET generation = excluded.generation, "
        "body = excluded.body");
    add("putDefault",
        "INSERT INTO defaults (hub_id, profile_id) VALUES (?1, ?2) "
        "ON CONFLICT (hub_id) DO UPDATE SET profile_id = excluded.profile_id");
    add("dropDefault", "DELETE FROM defaults WHERE hub_id = ?1");
  }

  bool Step(sqlite3_stmt* statement) {
    int stepped = sqlite3_step(statement);
    if (stepped == SQLITE_ROW) return true;
    if (stepped == SQLITE_DONE) return false;
    throw StoreError(Describe() + ": " + sqlite3_errmsg(_db));
  }

  static std::string Text(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    int bytes = sqlite3_column_bytes(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes))
                : std::string();
  }

  template <class T>
  Kestrum::Ref<T> Decode(const std::string& xml, const std::string& what) {
    Kestrum::Ref<Lumo::Any> value;
    try {
      value = _codec.DecodeValue(xml);
    } catch (const std::exception& e) {
      throw StoreError(Describe() + ": the " + what + " is unreadable: " + e.what());
    }
    auto* typed = dynamic_cast<T*>(value.Get());
    if (typed == nullptr) throw StoreError(Describe() + ": the " + what + " is of another type");
    return Kestrum::Ref<T>(typed);
  }

  // The wire form of a record's value: the one the state wrote to measure
  // it, else written here (into scratch).
  template <class Record>
  const std::string& WireOf(const Record& record, const Lumo::Any* value, std::string& scratch) {
    if (!record.wire.empty()) return record.wire;
    _codec.EncodeValue(value, scratch);
    return scratch;
  }

  sqlite3_stmt* Bound(const char* name, std::initializer_list<std::string> texts) {
    sqlite3_stmt* statement = _statements.at(name)->Get();
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    int index = 1;
    for (const std::string& text : texts) {
      sqlite3_bind_text(statement, index++, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
    }
    return statement;
  }

  void Run(sqlite3_stmt* statement) {
    Step(statement);
    sqlite3_reset(statement);
  }

  void Write(const Change& change) {
    std::visit(
        [&](const auto& c) {
          using T = std::decay_t<decltype(c)>;
          if constexpr (std::is_same_v<T, ProfileRecord>) {
            sqlite3_stmt* s = Bound("putProfile", {c.id});
            sqlite3_bind_int64(s, 2, static_cast<sqlite3_int64>(c.sequence));
            std::string name = c.profile->GetName();
            std::string scratch;
            const std::string& body = WireOf(c, c.profile.Get(), scratch);
            sqlite3_bind_text(s, 3, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 4, body.data(), static_cast<int>(body.size()), SQLITE_TRANSIENT);
            Run(s);
          } else if constexpr (std::is_same_v<T, DropProfile>) {
            Run(Bound("dropProfile", {c.id}));
          } else if constexpr (std::is_same_v<T, AssociationRecord>) {
            std::string scratch;
            Run(Bound("putAssociation",
                      {c.entityKey, c.profileId, WireOf(c, c.entity.Get(), scratch)}));
          } else if constexpr (std::is_same_v<T, DropAssociation>) {
            Run(Bound("dropAssociation", {c.entityKey}));
          } else if constexpr (std::is_same_v<T, ResultRecord>) {
            sqlite3_stmt* s = Bound("putResult", {c.entityKey, c.profileId});
            sqlite3_bind_int64(s, 3, c.generation);
            std::string scratch;
            const std::string& body = WireOf(c, c.result.Get(), scratch);
            sqlite3_bind_text(s, 4, body.data(), static_cast<int>(body.size()), SQLITE_TRANSIENT);
            Run(s);
          } else if constexpr (std::is_same_v<T, DefaultRecord>) {
            Run(Bound("putDefault", {c.hubId, c.profileId}));
          } else if constexpr (std::is_same_v<T, DropDefault>) {
            Run(Bound("dropDefault", {c.hubId}));
          }
        },
        change);
  }

  std::string _path;
  sqlite3* _db = nullptr;
  // The file as opened: a probe finds it gone or replaced by another.
  struct stat _opened {};
  mutable std::mutex _mutex;
  Lumo::Wire::Codec _codec;
  std::map<std::string, std::unique_ptr<Statement>> _statements;
};

}  // namespace

std::unique_ptr<Store> OpenSqliteStore(const std::string& path) {
  return std::make_unique<SqliteStore>(path);
}

}  // namespace ZelSample
