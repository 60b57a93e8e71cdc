#include <ZelSample/Sessions.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace ZelSample {

std::string SessionTable::NewId() {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) {
    throw std::runtime_error("no random bytes for a session id");
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string id;
  id.reserve(2 * sizeof bytes);
  for (unsigned char byte : bytes) {
    id.push_back(kDigits[byte >> 4]);
    id.push_back(kDigits[byte & 0xf]);
  }
  return id;
}

SessionTable::SessionTable() : SessionTable(Settings{}) {}

SessionTable::SessionTable(Settings settings) : _settings(settings) {
  if (_settings.maxSessions == 0) _settings.maxSessions = 1;
  if (_settings.maxSessionsPerUser == 0) _settings.maxSessionsPerUser = 1;
  if (_settings.maxLoggedOutTokens == 0) _settings.maxLoggedOutTokens = 1;
}

bool SessionTable::IsExpired(const Entry& entry, Clock::time_point now) const {
  return now - entry.lastUsed > _settings.idleTimeout;
}

std::string SessionTable::Open(const std::string& user, std::set<std::string> privileges,
                               std::string* /*refusal: a login without a token is never refused*/) {
  std::lock_guard<std::mutex> lock(_mutex);
  return OpenLocked(user, std::move(privileges));
}

std::string SessionTable::Open(const DelegatedToken& token, std::string* refusal) {
  std::lock_guard<std::mutex> lock(_mutex);
  auto loggedOut = _loggedOut.find(token.signature);
  if (!token.signature.empty() && loggedOut != _loggedOut.end()) {
    if (refusal != nullptr) {
      *refusal = "the token was logged out; log in with a new token";
    }
    return std::string();
  }
  std::string id = OpenLocked(token.subject, token.privileges);
  Entry& entry = _sessions.at(id);
  entry.tokenSignature = token.signature;
  entry.tokenExpires = token.expires;
  return id;
}

std::string SessionTable::OpenLocked(const std::string& user, std::set<std::string> privileges) {
  std::string id = NewId();
  Clock::time_point now = Clock::now();
  // The user's own sessions first: beyond their bound, their least recently
  // used one makes room.
  auto own = _byUser.find(user);
  while (own != _byUser.end() && own->second.size() >= _settings.maxSessionsPerUser) {
    EraseOldestLocked(own->second);
    own = _byUser.find(user);
  }
  if (_sessions.size() >= _settings.maxSessions) DropExpiredLocked(now);
  while (_sessions.size() >= _settings.maxSessions) MakeRoomLocked();
  Entry& entry = _sessions[id];
  entry.info.id = id;
  entry.info.user = user;
  entry.info.privileges = std::move(privileges);
  entry.lastUsed = now;
  _byUser[user].push_back(id);
  return id;
}

void SessionTable::EraseOldestLocked(const std::vector<std::string>& ids) {
  auto oldest = _sessions.end();
  for (const std::string& id : ids) {
    auto it = _sessions.find(id);
    if (oldest == _sessions.end() || it->second.lastUsed < oldest->second.lastUsed) oldest = it;
  }
  if (oldest != _sessions.end()) EraseLocked(oldest);
}

void SessionTable::MakeRoomLocked() {
  const std::vector<std::string>* victim = nullptr;
  Clock::time_point victimOldest{};
  for (const auto& [user, ids] : _byUser) {
    if (victim != nullptr && ids.size() < victim->size()) continue;
    Clock::time_point oldest = Clock::time_point::max();
    for (const std::string& id : ids) oldest = std::min(oldest, _sessions.at(id).lastUsed);
    if (victim == nullptr || ids.size() > victim->size() || oldest < victimOldest) {
      victim = &ids;
      victimOldest = oldest;
    }
  }
  if (victim != nullptr) EraseOldestLocked(*victim);
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

bool SessionTable::LogOut(const std::string& id) {
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _sessions.find(id);
  if (it == _sessions.end()) return false;
  std::string signature = std::move(it->second.tokenSignature);
  int64_t expires = it->second.tokenExpires;
  EraseLocked(it);
  int64_t now = TokenClockNow();
  if (signature.empty() || expires <= now) return true;
  ForgetLoggedOutLocked(now);
  if (_loggedOut.emplace(signature, expires).second) {
    _loggedOutByExpiry.emplace(expires, std::move(signature));
  }
  return true;
}

void SessionTable::ForgetLoggedOutLocked(int64_t now) {
  // The expired ones, then, at the bound, those that expire first.
  while (!_loggedOutByExpiry.empty() &&
         (_loggedOutByExpiry.begin()->first <= now ||
          _loggedOutByExpiry.size() >= _settings.maxLoggedOutTokens)) {
    _loggedOut.erase(_loggedOutByExpiry.begin()->second);
    _loggedOutByExpiry.erase(_loggedOutByExpiry.begin());
  }
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

void SessionTable::EraseLocked(Sessions::iterator it) {
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
