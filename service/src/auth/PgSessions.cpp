#include "auth/PgSessions.h"

#include <sstream>
#include <utility>

#include "Support.h"
#include "store/DataUri.h"
#include "store/PgConnection.h"
#include "store/PgPool.h"
#include "store/Store.h"

namespace ZelSample {

namespace {

// Taken by every login, so that the bounds hold across services.
constexpr char kOpenLock[] = "SELECT pg_advisory_xact_lock(7361220412)";
// Connections for calls that find, open or end sessions at the same time; a
// call past that many waits for one of them.
constexpr size_t kConnections = 16;

// A token's signature is bytes; the database keeps text.
std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * bytes.size());
  for (unsigned char byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0xf]);
  }
  return text;
}

std::string JoinLines(const std::set<std::string>& values) {
  std::string text;
  for (const std::string& value : values) {
    if (!text.empty()) text += '\n';
    text += value;
  }
  return text;
}

std::set<std::string> SplitLines(const std::string& text) {
  std::set<std::string> values;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) values.insert(line);
  }
  return values;
}

class PostgresSessionTable : public SharedSessionTable {
 public:
  PostgresSessionTable(const std::string& uri, Settings settings)
      : SharedSessionTable(settings),
        _pool(uri, "PostgreSQL database " + RedactUri(uri), kConnections),
        _idle(std::to_string(GetSettings().idleTimeout.count())) {}

  std::string Open(const std::string& user, std::set<std::string> privileges,
                   std::string* /*refusal: a login without a token is never refused*/) override {
    return Insert(user, privileges, std::string(), 0);
  }

  std::string Open(const DelegatedToken& token, std::string* refusal) override {
    if (!token.signature.empty()) {
      bool loggedOut = Guarded("log in", [&](PgConnection& db) {
        return db.Exec("SELECT 1 FROM zel_logged_out WHERE signature = $1", {Hex(token.signature)})
                   .Rows() > 0;
      });
      if (loggedOut) {
        if (refusal != nullptr) *refusal = "the token was logged out; log in with a new token";
        return std::string();
      }
    }
    return Insert(token.subject, token.privileges, Hex(token.signature), token.expires);
  }

  std::optional<SessionInfo> Find(const std::string& id) override {
    if (id.empty()) return std::nullopt;
    return Guarded("find the session", [&](PgConnection& db) -> std::optional<SessionInfo> {
      // A use is written at most once a second: most calls only read.
      PgResult found = db.Exec(
          "WITH live AS (SELECT id, user_name, privileges, last_used FROM zel_sessions "
          "WHERE id = $1 AND last_used > clock_timestamp() - make_interval(secs => $2::bigint)), "
          "used AS (UPDATE zel_sessions s SET last_used = clock_timestamp() FROM live "
          "WHERE s.id = live.id AND live.last_used < clock_timestamp() - interval '1 second') "
          "SELECT user_name, privileges FROM live",
          {id, _idle});
      if (found.Rows() == 0) {
        // Unknown, or idle too long: an expired one is dropped.
        db.Exec("DELETE FROM zel_sessions WHERE id = $1", {id});
        return std::nullopt;
      }
      SessionInfo info;
      info.id = id;
      info.user = found.Text(0, 0);
      info.privileges = SplitLines(found.Text(0, 1));
      return info;
    });
  }

  bool Close(const std::string& id) override {
    return Guarded("end the session", [&](PgConnection& db) {
      return db.Exec("DELETE FROM zel_sessions WHERE id = $1 RETURNING id", {id}).Rows() > 0;
    });
  }

  bool LogOut(const std::string& id) override {
    return Guarded("log out", [&](PgConnection& db) {
      PgResult ended = db.Exec(
          "DELETE FROM zel_sessions WHERE id = $1 RETURNING token_signature, token_expires", {id});
      if (ended.Rows() == 0) return false;
      const std::string signature = ended.Text(0, 0);
      const long long expires = ended.Integer(0, 1);
      const int64_t now = TokenClockNow();
      if (signature.empty() || expires <= now) return true;
      // The expired ones go, then, at the bound, those that expire first.
      db.Exec("DELETE FROM zel_logged_out WHERE expires <= $1", {std::to_string(now)});
      db.Exec(
          "DELETE FROM zel_logged_out WHERE signature IN (SELECT signature FROM zel_logged_out "
          "ORDER BY expires OFFSET $1)",
          {std::to_string(GetSettings().maxLoggedOutTokens - 1)});
      db.Exec(
          "INSERT INTO zel_logged_out (signature, expires) VALUES ($1, $2) "
          "ON CONFLICT (signature) DO NOTHING",
          {signature, std::to_string(expires)});
      return true;
    });
  }

  size_t Count() const override {
    try {
      return Live("SELECT count(*) FROM zel_sessions WHERE " + LiveCondition(1), {_idle});
    } catch (const StoreError&) {
      return 0;
    }
  }

  size_t CountOf(const std::string& user) const override {
    try {
      return Live("SELECT count(*) FROM zel_sessions WHERE user_name = $2 AND " + LiveCondition(1),
                  {_idle, user});
    } catch (const StoreError&) {
      return 0;
    }
  }

  SessionUsage UsageOf(const std::string& id) override {
    PgPool::Lease db = _pool.Borrow();
    PgResult row = db->Exec(
        "SELECT profiles, associations, results, bytes FROM zel_sessions WHERE id = $1", {id});
    SessionUsage usage;
    if (row.Rows() == 0) return usage;
    usage.profiles = static_cast<size_t>(row.Integer(0, 0));
    usage.associations = static_cast<size_t>(row.Integer(0, 1));
    usage.results = static_cast<size_t>(row.Integer(0, 2));
    usage.bytes = static_cast<size_t>(row.Integer(0, 3));
    return usage;
  }

  void ForgetAllUsage() override {
    PgPool::Lease db = _pool.Borrow();
    db->Exec("UPDATE zel_sessions SET profiles = 0, associations = 0, results = 0, bytes = 0");
  }

 private:
  static std::string LiveCondition(int idleParameter) {
    return "last_used > clock_timestamp() - make_interval(secs => $" +
           std::to_string(idleParameter) + "::bigint)";
  }

  size_t Live(const std::string& sql, const std::vector<std::string>& params) const {
    PgPool::Lease db = _pool.Borrow();
    return static_cast<size_t>(db->Exec(sql.c_str(), params).Integer(0, 0));
  }

  // Runs work on a connection borrowed for it alone; a database that cannot
  // answer fails the call with a fault that says so.
  template <class Work>
  auto Guarded(const char* what, Work&& work) -> decltype(work(std::declval<PgConnection&>())) {
    try {
      PgPool::Lease db = _pool.Borrow();
      return work(*db);
    } catch (const StoreError& e) {
      Faults::ZelFault(std::string("cannot ") + what + " now: " + e.what());
    }
  }

  std::string Insert(const std::string& user, const std::set<std::string>& privileges,
                     const std::string& signature, int64_t expires) {
    const std::string id = NewId();
    Guarded("open a session", [&](PgConnection& db) {
      db.Exec("BEGIN");
      try {
        db.Exec(kOpenLock);
        db.Exec(("DELETE FROM zel_sessions WHERE NOT (" + LiveCondition(1) + ")").c_str(), {_idle});
        // Beyond the user's own bound, their least recently used sessions
        // make room.
        db.Exec(
            "DELETE FROM zel_sessions WHERE id IN (SELECT id FROM zel_sessions WHERE "
            "user_name = $1 ORDER BY last_used DESC OFFSET $2)",
            {user, std::to_string(GetSettings().maxSessionsPerUser - 1)});
        // A full table: the least recently used session of the user who
        // holds the most goes.
        while (Count(db, "SELECT count(*) FROM zel_sessions") >= GetSettings().maxSessions) {
          PgResult ended = db.Exec(
              "DELETE FROM zel_sessions WHERE id = (SELECT s.id FROM zel_sessions s JOIN "
              "(SELECT user_name, count(*) AS held FROM zel_sessions GROUP BY user_name) c "
              "USING (user_name) ORDER BY c.held DESC, s.last_used LIMIT 1) RETURNING id");
          if (ended.Rows() == 0) break;
        }
        db.Exec(
            "INSERT INTO zel_sessions (id, user_name, privileges, last_used, token_signature, "
            "token_expires) VALUES ($1, $2, $3, clock_timestamp(), $4, $5)",
            {id, user, JoinLines(privileges), signature, std::to_string(expires)});
        db.Exec("COMMIT");
      } catch (...) {
        db.ExecQuietly("ROLLBACK");
        throw;
      }
    });
    return id;
  }

  static size_t Count(PgConnection& db, const char* sql) {
    return static_cast<size_t>(db.Exec(sql).Integer(0, 0));
  }

  mutable PgPool _pool;
  const std::string _idle;  // the idle timeout in seconds, as a parameter
};

}  // namespace

std::unique_ptr<SharedSessionTable> OpenPostgresSessions(const std::string& uri,
                                                         SessionTable::Settings settings) {
  return std::make_unique<PostgresSessionTable>(uri, settings);
}

}  // namespace ZelSample
