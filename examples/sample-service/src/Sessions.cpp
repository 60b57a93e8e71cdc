#include <ZelSample/Sessions.h>

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
}

std::string SessionTable::Open(const std::string& user, std::set<std::string> privileges) {
  std::string id = RandomId();
  std::lock_guard<std::mutex> lock(_mutex);
  while (_sessions.size() >= _settings.maxSessions) EvictOneLocked();
  Entry& entry = _sessions[id];
  entry.info.id = id;
  entry.info.user = user;
  entry.info.privileges = std::move(privileges);
  entry.lastUsed = Clock::now();
  return id;
}

std::optional<SessionInfo> SessionTable::Find(const std::string& id) {
  if (id.empty()) return std::nullopt;
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _sessions.find(id);
  if (it == _sessions.end()) return std::nullopt;
  Clock::time_point now = Clock::now();
  if (now - it->second.lastUsed > _settings.idleTimeout) {
    _sessions.erase(it);
    return std::nullopt;
  }
  it->second.lastUsed = now;
  return it->second.info;
}

bool SessionTable::Close(const std::string& id) {
  std::lock_guard<std::mutex> lock(_mutex);
  return _sessions.erase(id) > 0;
}

size_t SessionTable::Count() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _sessions.size();
}

void SessionTable::EvictOneLocked() {
  auto oldest = _sessions.begin();
  for (auto it = _sessions.begin(); it != _sessions.end(); ++it) {
    if (it->second.lastUsed < oldest->second.lastUsed) oldest = it;
  }
  if (oldest != _sessions.end()) _sessions.erase(oldest);
}

}  // namespace ZelSample
