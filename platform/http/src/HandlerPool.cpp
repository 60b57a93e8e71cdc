#include "HandlerPool.h"

#include <algorithm>

namespace ZelHttp {
namespace Detail {

HandlerPool::HandlerPool(size_t threads) : _threads(std::max<size_t>(1, threads)) {}

boost::asio::thread_pool::executor_type HandlerPool::Executor() {
  std::call_once(_started, [this] { _pool.emplace(_threads); });
  return _pool->get_executor();
}

void HandlerPool::Join() {
  if (_pool) _pool->join();
}

}  // namespace Detail
}  // namespace ZelHttp
