#include "IoThreads.h"

#include <algorithm>

namespace ZelHttp {
namespace Detail {

IoThreads::IoThreads(size_t count) {
  for (size_t i = 0; i < std::max<size_t>(1, count); ++i) {
    Loop loop;
    // A hint of one thread: handlers posted from the loop's own thread go to
    // a queue of that thread, with no lock taken and no other thread woken.
    loop.context = std::make_unique<boost::asio::io_context>(1);
    loop.work =
        std::make_unique<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>>(
            loop.context->get_executor());
    _loops.push_back(std::move(loop));
  }
}

IoThreads::~IoThreads() { Stop(); }

boost::asio::io_context& IoThreads::Next() {
  boost::asio::io_context& context = *_loops[_next].context;
  _next = (_next + 1) % _loops.size();
  return context;
}

void IoThreads::Start() {
  for (auto& loop : _loops) {
    _threads.emplace_back([context = loop.context.get()] { context->run(); });
  }
}

void IoThreads::Stop() {
  for (auto& loop : _loops) {
    loop.work.reset();
    loop.context->stop();
  }
  for (auto& thread : _threads) thread.join();
  _threads.clear();
}

}  // namespace Detail
}  // namespace ZelHttp
