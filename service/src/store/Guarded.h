// A value that can be reached only while its lock is held.
//
// MutexGuarded<T> owns a T and a reader-writer mutex (one that lets a
// waiting writer in before new readers) and gives no access to the T but
// through a Locked view, move-only, that unlocks when it goes out of scope:
// LockShared() answers a Locked<const T>, read-only by its type, that any
// number of threads hold at once; LockExclusive() answers a Locked<T> that
// one thread holds alone. A function that must run under the
// lock takes the view (or the value it reaches: nothing else reaches it),
// const to only read, so the rule is in its signature and the compiler
// refuses a caller that did not lock.
//
// T is told of each exclusive stretch: T::Enter(forChange) runs once the
// mutex is held (and may throw: then the lock is released and nothing was
// entered), T::Leave() before it is released. That is where a value kept in
// step with a store that other processes change catches up with them.
// LockForChange() is for a stretch that may commit a change. A shared
// stretch must not change the value, so it cannot catch up: LockShared()
// first asks T::Stale() (which runs without the lock, so T makes it safe
// beside any stretch) and, when the value is behind, catches up in an
// exclusive stretch before it takes the shared lock. What a shared view
// reads cannot change while it is held.
#pragma once

#include <mutex>
#include <shared_mutex>
#include <type_traits>
#include <utility>

#include "store/WriterFirstMutex.h"

namespace ZelSample {

template <class T>
class MutexGuarded;

template <class T>
class Locked {
  static constexpr bool kShared = std::is_const_v<T>;
  using Lock = std::conditional_t<kShared, std::shared_lock<WriterFirstMutex>,
                                  std::unique_lock<WriterFirstMutex>>;

 public:
  Locked(Locked&& other) noexcept
      : _lock(std::move(other._lock)), _value(std::exchange(other._value, nullptr)) {}
  Locked& operator=(Locked&& other) noexcept {
    if (this != &other) {
      Release();
      _lock = std::move(other._lock);
      _value = std::exchange(other._value, nullptr);
    }
    return *this;
  }
  ~Locked() { Release(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

  T* operator->() { return _value; }
  const T* operator->() const { return _value; }
  T& operator*() { return *_value; }
  const T& operator*() const { return *_value; }

 private:
  friend class MutexGuarded<std::remove_const_t<T>>;
  // An exclusive stretch: locks, then enters.
  Locked(WriterFirstMutex& mutex, T& value, bool forChange) : _lock(mutex) {
    static_assert(!kShared);
    value.Enter(forChange);
    _value = &value;
  }
  // A shared stretch, on a lock already held.
  Locked(Lock lock, T& value) : _lock(std::move(lock)), _value(&value) { static_assert(kShared); }
  void Release() noexcept {
    T* value = std::exchange(_value, nullptr);
    if constexpr (!kShared) {
      if (value != nullptr) value->Leave();
    }
  }

  Lock _lock;
  T* _value = nullptr;
};

template <class T>
class MutexGuarded {
 public:
  // Makes the value from the arguments, in place.
  template <class... Args>
  explicit MutexGuarded(Args&&... args) : _value(std::forward<Args>(args)...) {}
  MutexGuarded(const MutexGuarded&) = delete;
  MutexGuarded& operator=(const MutexGuarded&) = delete;

  // Waits for the other stretches to end; the value is locked until the
  // answer ends.
  [[nodiscard]] Locked<T> LockExclusive() { return Locked<T>(_mutex, _value, false); }
  // The same, for a stretch that may commit a change.
  [[nodiscard]] Locked<T> LockForChange() { return Locked<T>(_mutex, _value, true); }
  // Waits for an exclusive stretch to end (after catching up when the value
  // is behind); other shared stretches run beside it.
  [[nodiscard]] Locked<const T> LockShared() {
    if (_value.Stale()) {
      // Enter() checks again: another thread may have caught up meanwhile.
      Locked<T> caughtUp = LockExclusive();
    }
    return Locked<const T>(std::shared_lock<WriterFirstMutex>(_mutex), _value);
  }

 private:
  WriterFirstMutex _mutex;
  T _value;
};

}  // namespace ZelSample
