#include "ConnectionTable.h"

namespace ZelHttp {
namespace Detail {

ConnectionTable::ConnectionTable(size_t maxTotal, size_t maxPerPeer)
    : _maxTotal(maxTotal), _maxPerPeer(maxPerPeer) {}

ConnectionTable::Admission ConnectionTable::Admit(const std::string& peer) {
  std::lock_guard<std::mutex> lock(_mutex);
  Admission admission;
  bool peerFull = _perPeer[peer] >= _maxPerPeer;
  bool totalFull = _entries.size() >= _maxTotal;
  if (peerFull || totalFull) {
    auto victim = OldestIdle(peerFull ? &peer : nullptr);
    if (victim == _entries.end()) {
      if (_perPeer[peer] == 0) _perPeer.erase(peer);
      return admission;
    }
    admission.evicted = victim->second.connection.lock();
    Erase(victim);
  }
  admission.admitted = true;
  admission.id = _nextId++;
  _entries[admission.id] = Entry{peer, false, 0, {}};
  ++_perPeer[peer];
  return admission;
}

void ConnectionTable::Attach(uint64_t id, const std::weak_ptr<Closable>& connection) {
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _entries.find(id);
  if (it != _entries.end()) it->second.connection = connection;
}

void ConnectionTable::SetIdle(uint64_t id, bool idle) {
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _entries.find(id);
  if (it == _entries.end()) return;
  it->second.idle = idle;
  it->second.idleSince = ++_clock;
}

void ConnectionTable::Remove(uint64_t id) {
  std::lock_guard<std::mutex> lock(_mutex);
  auto it = _entries.find(id);
  if (it != _entries.end()) Erase(it);
}

size_t ConnectionTable::Count() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _entries.size();
}

std::vector<std::shared_ptr<Closable>> ConnectionTable::All() const {
  std::lock_guard<std::mutex> lock(_mutex);
  std::vector<std::shared_ptr<Closable>> all;
  for (const auto& [id, entry] : _entries) {
    if (auto connection = entry.connection.lock()) all.push_back(std::move(connection));
  }
  return all;
}

bool ConnectionTable::WaitUntilEmpty(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(_mutex);
  return _emptied.wait_until(lock, deadline, [this] { return _entries.empty(); });
}

std::map<uint64_t, ConnectionTable::Entry>::iterator ConnectionTable::OldestIdle(
    const std::string* peer) {
  auto oldest = _entries.end();
  for (auto it = _entries.begin(); it != _entries.end(); ++it) {
    const Entry& entry = it->second;
    if (!entry.idle || (peer != nullptr && entry.peer != *peer)) continue;
    if (oldest == _entries.end() || entry.idleSince < oldest->second.idleSince) oldest = it;
  }
  return oldest;
}

void ConnectionTable::Erase(std::map<uint64_t, Entry>::iterator it) {
  auto peer = _perPeer.find(it->second.peer);
  if (peer != _perPeer.end() && --peer->second == 0) _perPeer.erase(peer);
  _entries.erase(it);
  if (_entries.empty()) _emptied.notify_all();
}

}  // namespace Detail
}  // namespace ZelHttp
