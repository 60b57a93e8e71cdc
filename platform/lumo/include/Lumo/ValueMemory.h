// The memory of runtime values (every Any: data objects, faults, arrays,
// boxed values, references). Values are made and released in great numbers,
// one at a time, on every thread; the allocator behind them is chosen when
// the runtime is built (see ValueMemory.cpp) and is the C++ heap in
// sanitizer builds, so that the sanitizers see every value.
#pragma once

#include <cstddef>

namespace Lumo {

// Memory for an object of size bytes, aligned as operator new aligns it.
// Throws std::bad_alloc when there is none.
void* AllocateValue(size_t size);
// Gives back memory from AllocateValue(size), on any thread.
void FreeValue(void* pointer, size_t size) noexcept;
// The name of the allocator in use ("mimalloc" or "heap").
const char* ValueAllocatorName();
// Returns to the system the value memory the calling thread has freed and
// its allocator still holds for reuse (an allocator keeps freed memory per
// thread and gives it back only as that thread goes on allocating). For a
// thread that has just made and released many values and may now be idle.
void GiveBackFreeValueMemory() noexcept;

// A standard allocator on the value memory, for storage that lives and dies
// with a value (the elements of an array value).
template <class T>
struct ValueAllocator {
  using value_type = T;

  ValueAllocator() noexcept = default;
  template <class U>
  ValueAllocator(const ValueAllocator<U>&) noexcept {}

  T* allocate(size_t count) { return static_cast<T*>(AllocateValue(count * sizeof(T))); }
  void deallocate(T* pointer, size_t count) noexcept { FreeValue(pointer, count * sizeof(T)); }

  friend bool operator==(const ValueAllocator&, const ValueAllocator&) noexcept { return true; }
};

}  // namespace Lumo
