#include "store/PgPool.h"

#include <utility>

namespace ZelSample {

PgPool::Lease::Lease(Lease&& other) noexcept
    : _pool(other._pool), _connection(std::move(other._connection)) {}

PgPool::Lease::~Lease() {
  if (_connection) _pool->GiveBack(std::move(_connection));
}

PgPool::PgPool(std::string uri, std::string describe, size_t limit)
    : _uri(std::move(uri)), _describe(std::move(describe)), _limit(limit == 0 ? 1 : limit) {}

PgPool::Lease PgPool::Borrow() {
  std::unique_lock<std::mutex> lock(_mutex);
  _returned.wait(lock, [&] { return !_idle.empty() || _open < _limit; });
  if (!_idle.empty()) {
    std::unique_ptr<PgConnection> connection = std::move(_idle.back());
    _idle.pop_back();
    return Lease(*this, std::move(connection));
  }
  ++_open;
  lock.unlock();
  // Made outside the lock; it connects at its first statement.
  try {
    return Lease(*this, std::make_unique<PgConnection>(_uri, _describe, false));
  } catch (...) {
    lock.lock();
    --_open;
    _returned.notify_one();
    throw;
  }
}

size_t PgPool::Open() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _open;
}

void PgPool::GiveBack(std::unique_ptr<PgConnection> connection) noexcept {
  // A connection left inside a transaction (a borrower that failed between
  // its statements) or one that broke is of no use to the next borrower.
  const bool reusable = connection->Reusable();
  if (!reusable) connection.reset();
  std::lock_guard<std::mutex> lock(_mutex);
  if (reusable) {
    _idle.push_back(std::move(connection));
  } else {
    --_open;
  }
  _returned.notify_one();
}

}  // namespace ZelSample
