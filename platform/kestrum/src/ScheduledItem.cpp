#include <Kestrum/ScheduledItem.h>

namespace Kestrum {
namespace System {

ScheduledItem::ScheduledItem() = default;
ScheduledItem::~ScheduledItem() = default;

void ScheduledItem::Complete() {
  {
    std::lock_guard<std::mutex> lock(_mutex);
    _isDone = true;
  }
  _done.notify_all();
}

bool ScheduledItem::IsDone() const {
  std::lock_guard<std::mutex> lock(_mutex);
  return _isDone;
}

void ScheduledItem::Wait() const {
  std::unique_lock<std::mutex> lock(_mutex);
  _done.wait(lock, [this] { return _isDone; });
}

}  // namespace System
}  // namespace Kestrum
