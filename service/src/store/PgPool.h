// Connections to one PostgreSQL database for calls that run at the same
// time: each borrows a connection of its own for a stretch of statements and
// gives it back when done. At most `limit` connections exist at once; a
// borrower past that waits for one to come back. A connection that comes
// back broken or inside a transaction is dropped, and a new one is made
// when needed (PgConnection also connects again at its next use when the
// server ended it while it was idle).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store/PgConnection.h"

namespace ZelSample {

class PgPool {
 public:
  // A borrowed connection, given back when it goes out of scope.
  class Lease {
   public:
    Lease(Lease&& other) noexcept;
    Lease& operator=(Lease&&) = delete;
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease();

    PgConnection& operator*() const { return *_connection; }
    PgConnection* operator->() const { return _connection.get(); }

   private:
    friend class PgPool;
    Lease(PgPool& pool, std::unique_ptr<PgConnection> connection)
        : _pool(&pool), _connection(std::move(connection)) {}

    PgPool* _pool;
    std::unique_ptr<PgConnection> _connection;
  };

  // describe names the database in messages (without secrets). Connects
  // nothing yet.
  PgPool(std::string uri, std::string describe, size_t limit);
  PgPool(const PgPool&) = delete;
  PgPool& operator=(const PgPool&) = delete;

  // An idle connection, a new one (not yet connected: it connects at its
  // first statement and throws StoreError then if it cannot), or, when
  // `limit` are borrowed, the first one given back.
  Lease Borrow();

  // Connections made and not dropped: borrowed or idle.
  size_t Open() const;

 private:
  void GiveBack(std::unique_ptr<PgConnection> connection) noexcept;

  const std::string _uri;
  const std::string _describe;
  const size_t _limit;
  mutable std::mutex _mutex;
  std::condition_variable _returned;
  std::vector<std::unique_ptr<PgConnection>> _idle;
  size_t _open = 0;
};

}  // namespace ZelSample
