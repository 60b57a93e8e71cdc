// The threads that run the calls which may wait (on a database, say), off the
// I/O threads. The threads start when the first call is posted: a server
// whose calls never wait answers them all on its I/O threads and starts none.
#pragma once

#include <boost/asio/thread_pool.hpp>
#include <cstddef>
#include <mutex>
#include <optional>

namespace ZelHttp {
namespace Detail {

class HandlerPool {
 public:
  // threads: at least one, started on first use.
  explicit HandlerPool(size_t threads);
  HandlerPool(const HandlerPool&) = delete;
  HandlerPool& operator=(const HandlerPool&) = delete;

  // Where calls are posted; the first use starts the threads.
  boost::asio::thread_pool::executor_type Executor();
  // Waits for the calls posted to finish and the threads to end. Called once
  // nothing posts any more.
  void Join();

 private:
  size_t _threads;
  std::once_flag _started;
  std::optional<boost::asio::thread_pool> _pool;
};

}  // namespace Detail
}  // namespace ZelHttp
