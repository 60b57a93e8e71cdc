// A value that can be reached only while its mutex is held.
//
// MutexGuarded<T> owns a T and a mutex and gives no access to the T but
// LockExclusive(), which locks the mutex and answers a Locked<T>: the one
// view of the value, move-only, that unlocks when it goes out of scope. A
// function that must run under the lock takes a Locked<T>& (a const one to
// only read), so the rule is in its signature and the compiler refuses a
// caller that did not lock.
//
// T is told of each stretch it is locked for: T::Enter(forChange) runs
// once the mutex is held (and may throw: then the lock is released and
// nothing was entered), T::Leave() before it is released. That is where a
// value kept in step with a store that other processes change catches up
// with them. LockForChange() is for a stretch that may commit a change.
#pragma once

#include <mutex>
#include <utility>

namespace ZelSample {

template <class T>
class MutexGuarded;

template <class T>
class Locked {
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
  friend class MutexGuarded<T>;
  Locked(std::mutex& mutex, T& value, bool forChange) : _lock(mutex) {
    value.Enter(forChange);
    _value = &value;
  }
  void Release() noexcept {
    if (_value != nullptr) std::exchange(_value, nullptr)->Leave();
  }

  std::unique_lock<std::mutex> _lock;
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

  // Waits for the mutex; the value is locked until the answer ends.
  [[nodiscard]] Locked<T> LockExclusive() { return Locked<T>(_mutex, _value, false); }
  // The same, for a stretch that may commit a change.
  [[nodiscard]] Locked<T> LockForChange() { return Locked<T>(_mutex, _value, true); }

 private:
  std::mutex _mutex;
  T _value;
};

}  // namespace ZelSample
