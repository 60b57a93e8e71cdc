// The sessions of logged-in clients.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
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
// session, never another user's. A login when the whole table is full (after
// expired sessions are dropped) is refused: a login never ends another
// user's session.
class SessionTable {
 public:
  struct Settings {
    size_t maxSessions = 1024;
    size_t maxSessionsPerUser = 16;
    std::chrono::seconds idleTimeout{30 * 60};
  };

  SessionTable();
  explicit SessionTable(Settings settings);

  // Opens a session and returns its id: 32 random hexadecimal digits. Empty,
  // with the reason in refusal (when given), when the table is full.
  std::string Open(const std::string& user, std::set<std::string> privileges,
                   std::string* refusal = nullptr);
  // The session of an id, which counts as a use of it; nothing for an unknown
  // or expired id (an expired one is dropped).
  std::optional<SessionInfo> Find(const std::string& id);
  // Ends a session; false when there was none of that id.
  bool Close(const std::string& id);
  size_t Count() const;
  size_t CountOf(const std::string& user) const;
  const Settings& GetSettings() const { return _settings; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    SessionInfo info;
    Clock::time_point lastUsed;
  };

  void EraseLocked(std::unordered_map<std::string, Entry>::iterator it);
  void DropExpiredLocked(Clock::time_point now);
  bool IsExpired(const Entry& entry, Clock::time_point now) const;

  Settings _settings;
  mutable std::mutex _mutex;
  std::unordered_map<std::string, Entry> _sessions;
  // The ids of each user's sessions.
  std::unordered_map<std::string, std::vector<std::string>> _byUser;
};

}  // namespace ZelSample
