// The sessions of logged-in clients.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

namespace ZelSample {

struct SessionInfo {
  std::string id;
  std::string user;
  std::set<std::string> privileges;
};

// Thread-safe table of sessions. A session exists from a successful login to
// its logout, its idle timeout, or its eviction when the table is full (the
// least recently used goes first).
class SessionTable {
 public:
  struct Settings {
    size_t maxSessions = 1024;
    std::chrono::seconds idleTimeout{30 * 60};
  };

  SessionTable();
  explicit SessionTable(Settings settings);

  // Opens a session and returns its id: 32 random hexadecimal digits.
  std::string Open(const std::string& user, std::set<std::string> privileges);
  // The session of an id, which counts as a use of it; nothing for an unknown
  // or expired id (an expired one is dropped).
  std::optional<SessionInfo> Find(const std::string& id);
  // Ends a session; false when there was none of that id.
  bool Close(const std::string& id);
  size_t Count() const;

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    SessionInfo info;
    Clock::time_point lastUsed;
  };

  void EvictOneLocked();

  Settings _settings;
  mutable std::mutex _mutex;
  std::unordered_map<std::string, Entry> _sessions;
};

}  // namespace ZelSample
