// The sessions of logged-in clients.
#pragma once

#include <ZelSample/Token.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ZelSample {

struct SessionInfo {
  std::string id;
  std::string user;
  std::set<std::string> privileges;
};

// Thread-safe table of sessions. A session exists from a successful login
// (a delegated token whose signature the service checked) to its logout or
// its idle timeout. Only logins open sessions: calls without a session hold
// nothing here, so no unauthenticated call can take a place in the table or
// push a session out of it.
//
// Bounds: at most maxSessions in all and maxSessionsPerUser per user. A
// user's login beyond their own bound ends that user's least recently used
// session. A login when the whole table is full (after expired sessions are
// dropped) is never refused, or whoever fills the table could keep everyone
// else out: it ends the least recently used session of the user who holds
// the most sessions. Those who hold many give up one first; among equals the
// one idle longest goes, which is the one least likely still to be in use.
//
// A token whose session was logged out cannot open another (its signature is
// remembered until the token expires, at most maxLoggedOutTokens of them; at
// that bound the one that expires first is forgotten).
class SessionTable {
 public:
  struct Settings {
    size_t maxSessions = 1024;
    size_t maxSessionsPerUser = 16;
    std::chrono::seconds idleTimeout{30 * 60};
    // The longest lifetime (Expires - IssuedAt) of a token a login accepts.
    std::chrono::seconds maxTokenLifetime{kDefaultMaxTokenLifetimeSeconds};
    size_t maxLoggedOutTokens = 65536;
  };

  SessionTable();
  explicit SessionTable(Settings settings);
  virtual ~SessionTable() = default;
  SessionTable(const SessionTable&) = delete;
  SessionTable& operator=(const SessionTable&) = delete;

  // The methods below are the table's whole interface; this class keeps the
  // sessions in the process's memory, a derived one may keep them where
  // several processes share them (with the same bounds and answers).
  //
  // Opens a session and returns its id: 32 random hexadecimal digits.
  virtual std::string Open(const std::string& user, std::set<std::string> privileges,
                           std::string* refusal = nullptr);
  // Opens a session for a verified token (its subject and privileges). Empty,
  // with the reason in refusal (when given), when the token was logged out.
  virtual std::string Open(const DelegatedToken& token, std::string* refusal = nullptr);
  // The session of an id, which counts as a use of it; nothing for an unknown
  // or expired id (an expired one is dropped).
  virtual std::optional<SessionInfo> Find(const std::string& id);
  // Ends a session; false when there was none of that id.
  virtual bool Close(const std::string& id);
  // Ends a session at its user's request: the token it was opened with
  // cannot open another. False when there was none of that id.
  virtual bool LogOut(const std::string& id);
  virtual size_t Count() const;
  virtual size_t CountOf(const std::string& user) const;
  const Settings& GetSettings() const { return _settings; }

  // A new session id: 32 hexadecimal digits from OpenSSL's random bytes.
  static std::string NewId();

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    SessionInfo info;
    Clock::time_point lastUsed;
    // Of the token it was opened with; empty when opened without one.
    std::string tokenSignature;
    int64_t tokenExpires = 0;
  };
  using Sessions = std::unordered_map<std::string, Entry>;

  std::string OpenLocked(const std::string& user, std::set<std::string> privileges);
  void EraseLocked(Sessions::iterator it);
  void DropExpiredLocked(Clock::time_point now);
  // Ends the least recently used session of one user's (of those ids).
  void EraseOldestLocked(const std::vector<std::string>& ids);
  // Ends a session of the user who holds the most (see the class comment).
  void MakeRoomLocked();
  bool IsExpired(const Entry& entry, Clock::time_point now) const;
  void ForgetLoggedOutLocked(int64_t now);

  Settings _settings;
  mutable std::mutex _mutex;
  Sessions _sessions;
  // The ids of each user's sessions.
  std::unordered_map<std::string, std::vector<std::string>> _byUser;
  // Signatures of logged-out tokens, with their expiry, and in order of it.
  std::unordered_map<std::string, int64_t> _loggedOut;
  std::set<std::pair<int64_t, std::string>> _loggedOutByExpiry;
};

}  // namespace ZelSample
