// The threads that read and write the server's connections: one event loop
// (an io_context) per thread, each run by its thread alone. A connection is
// given one loop for its whole life, so its reads, answers inline and writes
// all run on one thread: nothing it does wakes another thread, and its
// handlers need no strand, as no two of them can run at once.
#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

namespace ZelHttp {
namespace Detail {

class IoThreads {
 public:
  // count loops, at least one; no thread runs them before Start.
  explicit IoThreads(size_t count);
  ~IoThreads();
  IoThreads(const IoThreads&) = delete;
  IoThreads& operator=(const IoThreads&) = delete;

  // The first loop, for the work that is the server's rather than a
  // connection's (accepting).
  boost::asio::io_context& First() { return *_loops.front().context; }
  // The loop for the next connection, in turn. Called on one thread only
  // (the acceptor's).
  boost::asio::io_context& Next();

  // Starts one thread per loop.
  void Start();
  // Ends the loops now, work or not, and waits for the threads. Idempotent.
  void Stop();

 private:
  struct Loop {
    std::unique_ptr<boost::asio::io_context> context;
    std::unique_ptr<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work;
  };
  std::vector<Loop> _loops;
  std::vector<std::thread> _threads;
  size_t _next = 0;
};

}  // namespace Detail
}  // namespace ZelHttp
