// Handle of a started asynchronous call.
#pragma once

#include <Kestrum/Object.h>

#include <condition_variable>
#include <mutex>

namespace Kestrum {
namespace System {

class ScheduledItem : public ObjectImpl {
 public:
  ScheduledItem();

  // Marks the item done and wakes every waiter. Later calls do nothing.
  void Complete();
  bool IsDone() const;
  // Blocks until the item is done.
  void Wait() const;

 protected:
  ~ScheduledItem() override;

 private:
  mutable std::mutex _mutex;
  mutable std::condition_variable _done;
  bool _isDone = false;
};

}  // namespace System
}  // namespace Kestrum
