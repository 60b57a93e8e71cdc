// Root of every runtime value: data objects, faults, arrays, boxed values and
// managed object references. Shared by atomic reference counting; holders use
// Kestrum::Ref and nobody deletes an Any directly.
#pragma once

#include <Kestrum/Panic.h>
#include <Kestrum/Ref.h>
#include <Lumo/Fwd.h>
#include <Lumo/ValueMemory.h>

#include <atomic>
#include <string>

namespace Lumo {

class Any {
 public:
  void IncRef() const { _refCount.fetch_add(1, std::memory_order_relaxed); }
  void DecRef() const {
    int previous = _refCount.fetch_sub(1, std::memory_order_acq_rel);
    KESTRUM_ASSERT_AT(previous > 0, "lumo/Any", 40);
    if (previous == 1) delete this;
  }
  int GetRefCount() const { return _refCount.load(std::memory_order_acquire); }

  // Every value's memory comes from the runtime's value allocator
  // (ValueMemory.h). The sized delete gets the size of the object's own class
  // from its deleting destructor.
  static void* operator new(size_t size) { return AllocateValue(size); }
  static void operator delete(void* pointer, size_t size) noexcept { FreeValue(pointer, size); }

  // Virtual order: destructor, ToString, _GetType, _Clone, _IsEqual,
  // _DiffProperties.
  virtual ~Any();
  // A readable rendering of the value (see SerializeFormatter); before the
  // runtime has started, the class name.
  virtual std::string ToString() const;
  virtual Type* _GetType() const = 0;
  // A deep copy with a count of 0 (boxed values return themselves).
  virtual Any* _Clone() const = 0;
  // other must be of the same class; callers compare classes first.
  virtual bool _IsEqual(const Any* other, bool looseMatch = false) const = 0;
  virtual void _DiffProperties(const Any* other, const std::string& prefix,
                               PropertyDiffSet& diffs) const = 0;

 protected:
  Any() : _refCount(0) {}
  // A copy is a new object and starts with a count of 0.
  Any(const Any&) : _refCount(0) {}
  Any& operator=(const Any&) = delete;

 private:
  mutable std::atomic<int> _refCount;
};

}  // namespace Lumo
