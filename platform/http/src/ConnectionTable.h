// The server's open connections, counted in all and per peer address. A new
// connection over a limit takes the place of the connection that has sat
// idle longest (a kept-alive connection waiting for its next request), or
// is refused when none is idle.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace ZelHttp {
namespace Detail {

// What the table asks of a connection; both run the work on the
// connection's own I/O thread.
class Closable {
 public:
  virtual ~Closable() = default;
  // Closes the connection whatever it does.
  virtual void Close() = 0;
  // Closes the connection unless a call is in flight on it; a call in
  // flight gets its answer, then the connection closes.
  virtual void Drain() = 0;
};

class ConnectionTable {
 public:
  ConnectionTable(size_t maxTotal, size_t maxPerPeer);

  struct Admission {
    bool admitted = false;
    uint64_t id = 0;
    // The idle connection to close to make room; may be null.
    std::shared_ptr<Closable> evicted;
  };
  Admission Admit(const std::string& peer);
  void Attach(uint64_t id, const std::weak_ptr<Closable>& connection);
  // Idle: waiting for a request of which no byte has come yet.
  void SetIdle(uint64_t id, bool idle);
  void Remove(uint64_t id);

  size_t Count() const;
  std::vector<std::shared_ptr<Closable>> All() const;
  // False when connections remain at the deadline.
  bool WaitUntilEmpty(std::chrono::steady_clock::time_point deadline);

 private:
  struct Entry {
    std::string peer;
    bool idle = false;
    uint64_t idleSince = 0;
    std::weak_ptr<Closable> connection;
  };
  // The longest idle entry, of that peer when peer is not null.
  std::map<uint64_t, Entry>::iterator OldestIdle(const std::string* peer);
  void Erase(std::map<uint64_t, Entry>::iterator it);

  const size_t _maxTotal;
  const size_t _maxPerPeer;
  mutable std::mutex _mutex;
  std::condition_variable _emptied;
  std::map<uint64_t, Entry> _entries;
  std::unordered_map<std::string, size_t> _perPeer;
  uint64_t _nextId = 1;
  uint64_t _clock = 0;
};

}  // namespace Detail
}  // namespace ZelHttp
