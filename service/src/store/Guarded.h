// A value that can be reached only while its lock is held.
//
// MutexGuarded<T> owns a T and a reader-writer mutex (one that lets a
// waiting writer in before new readers) and gives no access to the T but
// through a view that unlocks when it goes out of scope:
// - LockShared() answers a Locked<const T>, read-only by its type, that any
//   number of threads hold at once;
// - LockExclusive() answers a Locked<T> that one thread holds alone;
// - LockForChange() answers a ChangeLocked<T>, for a stretch that reads and
//   then may change the value: changes run one at a time (a mutex of their
//   own), so the stretch reads under the shared lock, beside readers, and
//   takes the exclusive lock only to change the value (Exclusive()).
// A function that must run under the lock takes the view (or the value it
// reaches: nothing else reaches it), const to only read, so the rule is in
// its signature and the compiler refuses a caller that did not lock.
//
// T is kept in step with a store that other processes may change:
// - T::Enter() runs at the start of each exclusive stretch, where T catches
//   up with them (it may throw: then the lock is released);
// - T::Stale() runs without the lock, beside any stretch, and says whether T
//   is behind: a shared stretch must not change the value, so when it is, the
//   value first catches up in an exclusive stretch;
// - T::BeginChange() runs at the start of a change stretch, before any lock
//   of the value: it holds other processes' changes off until
//   T::EndChange() (noexcept) at its end, and says whether T is behind (then
//   it catches up in an exclusive stretch before the stretch reads).
// So once a change stretch has begun, nothing but the stretch itself changes
// the value: other changes wait for it, and a catch-up has nothing to bring.
// That is what lets it read under the shared lock and still commit on what
// it read.
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
      _lock = std::move(other._lock);
      _value = std::exchange(other._value, nullptr);
    }
    return *this;
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

  T* operator->() { return _value; }
  const T* operator->() const { return _value; }
  T& operator*() { return *_value; }
  const T& operator*() const { return *_value; }

 private:
  friend class MutexGuarded<std::remove_const_t<T>>;
  // An exclusive stretch: locks, then enters.
  Locked(WriterFirstMutex& mutex, T& value) : _lock(mutex) {
    static_assert(!kShared);
    value.Enter();
    _value = &value;
  }
  // A shared stretch, on a lock already held.
  Locked(Lock lock, T& value) : _lock(std::move(lock)), _value(&value) { static_assert(kShared); }

  Lock _lock;
  T* _value = nullptr;
};

template <class T>
class ChangeLocked {
 public:
  ~ChangeLocked() {
    _shared = {};
    _exclusive = {};
    _guarded._value.EndChange();
  }
  ChangeLocked(const ChangeLocked&) = delete;
  ChangeLocked& operator=(const ChangeLocked&) = delete;

  const T* operator->() const { return &_guarded._value; }
  const T& operator*() const { return _guarded._value; }

  // The value, to change: waits for the readers of the moment and then keeps
  // every other stretch out until this one ends. What the stretch read is
  // still what the value holds (see above).
  T& Exclusive() {
    if (!_exclusive.owns_lock()) {
      _shared.unlock();
      _exclusive = std::unique_lock<WriterFirstMutex>(_guarded._mutex);
    }
    return _guarded._value;
  }

 private:
  friend class MutexGuarded<T>;
  explicit ChangeLocked(MutexGuarded<T>& guarded)
      : _changing(guarded._changeMutex), _guarded(guarded) {
    const bool behind = guarded._value.BeginChange();
    try {
      if (behind) {
        // Enter() checks again: a reader may have caught up meanwhile.
        Locked<T> caughtUp = guarded.LockExclusive();
      }
      _shared = std::shared_lock<WriterFirstMutex>(guarded._mutex);
    } catch (...) {
      guarded._value.EndChange();
      throw;
    }
  }

  std::unique_lock<std::mutex> _changing;
  MutexGuarded<T>& _guarded;
  std::shared_lock<WriterFirstMutex> _shared;
  std::unique_lock<WriterFirstMutex> _exclusive;
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
  [[nodiscard]] Locked<T> LockExclusive() { return Locked<T>(_mutex, _value); }
  // Waits for an exclusive stretch to end (after catching up when the value
  // is behind); other shared stretches run beside it.
  [[nodiscard]] Locked<const T> LockShared() {
    if (_value.Stale()) {
      // Enter() checks again: another thread may have caught up meanwhile.
      Locked<T> caughtUp = LockExclusive();
    }
    return Locked<const T>(std::shared_lock<WriterFirstMutex>(_mutex), _value);
  }
  // Waits for the change stretch in progress to end, then reads beside
  // shared stretches until it changes the value.
  [[nodiscard]] ChangeLocked<T> LockForChange() { return ChangeLocked<T>(*this); }

 private:
  friend class ChangeLocked<T>;
  std::mutex _changeMutex;
  WriterFirstMutex _mutex;
  T _value;
};

}  // namespace ZelSample
