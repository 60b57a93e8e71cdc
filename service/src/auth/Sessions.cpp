#include <ZelSample/Sessions.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>

namespace ZelSample {

namespace {

std::string RandomId() {
  static std::mutex mutex;
  static std::random_device device;
  uint64_t parts[2];
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (uint64_t& part : parts) {
      part = (static_cast<uint64_t>(device()) << 32) ^ static_cast<uint64_t>(device());
    }
  }
  char text[33];
  std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(parts[0]),
                static_cast<unsigned long long>(parts[1]));
  return text;
}

}  // namespace

SessionTable::SessionTable() : SessionTable(Settings{}) {}

SessionTable::SessionTable(Settings settings) : _settings(settings) {
  if (_settings.maxSessions == 0) _settings.maxSessions = 1;
  if (_settings.maxSessionsPerUser == 0) _settings.maxSessionsPerUser = 1;
}

bool SessionTable::IsExpired(const Entry& entry, Clock::time_point now) const {
  return now - entry.lastUsed > _settings.idleTimeout;
}

std::string SessionTable::Open(const std::string& user, std::set<std::string> privileges,
                               std::string* refusal) {
  std::string id = RandomId();
  std::lock_guard<std::mutex> lock(_mutex);
  Clock::time_point now = Clock::now();
  // The user's own sessions first: beyond their bound, their least recently
  // used one makes room.
  auto own = _byUser.find(user);
  while (own != _byUser.end() && own->second.size() >= _settings.maxSessionsPerUser) {
    auto oldest = _sessions.end();
    for (const std::string& ownId : own->second) {
      auto it = _sessions.find(ownId);
      if (oldest == _sessions.end() || it->second.lastUsed < oldest->second.lastUsed) oldest = it;
    }
    EraseLocked(oldest);
    own = _byUser.find(user);
  }
  if (_sessions.size() >= _settings.maxSessions) DropExpiredLocked(now);
  if (_sessions.size() >= _settings.maxSessions) {
    if (refusal != nullptr) {
      *refusal = "the service holds as many sessions as it may (" +
                 std::to_string(_settings.maxSessions) + "); try again when some have ended";
    }
    return std::string();
  }
  Entry& entry = _sessions[id];
  entry.info.id = id;
  entry.info.user = user;
  entry.info.privileges = std::move(privileges);
  entry.lastUsed = now;
  _byUser[user].push_back(id);
  return id;
}

std::optional<SessionInfo> SessionTable::Find(const std::string& id) {
  if (id.empty()) return std::nullopt;
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _sessions.find(id);
  if (it == _sessions.end()) return std::nullopt;
  Clock::time_point now = Clock::now();
  if (IsExpired(it->second, now)) {
    EraseLocked(it);
    return std::nullopt;
  }
  it->second.lastUsed = now;
  return it->second.info;
}

bool SessionTable::Close(const std::string& id) {
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _sessions.find(id);
  if (it == _sessions.end()) return false;
  EraseLocked(it);
  return true;
}

size_t SessionTable::Count() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _sessions.size();
}

size_t SessionTable::CountOf(const std::string& user) const {
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _byUser.find(user);
  return it == _byUser.end() ? 0 : it->second.size();
}

void SessionTable::EraseLocked(std::unordered_map<std::string, Entry>::iterator it) {
  auto user = _byUser.find(it->second.info.user);
  if (user != _byUser.end()) {
    std::vector<std::string>& ids = user->second;
    ids.erase(std::remove(ids.begin(), ids.end(), it->first), ids.end());
    if (ids.empty()) _byUser.erase(user);
  }
  _sessions.erase(it);
}

void SessionTable::DropExpiredLocked(Clock::time_point now) {
  for (auto it = _sessions.begin(); it != _sessions.end();) {
    auto next = std::next(it);
    if (IsExpired(it->second, now)) EraseLocked(it);
    it = next;
  }
}

}  // namespace ZelSample
