// Intrusive counted reference.
//
// Works for any T with IncRef()/DecRef() (const or not). New objects start with
// a count of 0; the first Ref takes the first reference, and the object deletes
// itself when the last one is dropped.
#pragma once

#include <Kestrum/Panic.h>

#include <atomic>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace Kestrum {

template <class T>
class Ref {
 public:
  using element_type = T;

  Ref() noexcept : _p(nullptr) {}
  Ref(std::nullptr_t) noexcept : _p(nullptr) {}
  Ref(T* p) : _p(p) {
    if (_p) _p->IncRef();
  }
  Ref(const Ref& other) : Ref(other._p) {}
  Ref(Ref&& other) noexcept : _p(other._p) { other._p = nullptr; }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& other) : Ref(static_cast<T*>(other.Get())) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& other) noexcept : _p(other._p) {
    other._p = nullptr;
  }
  ~Ref() {
    if (_p) _p->DecRef();
  }

  Ref& operator=(const Ref& other) { return *this = other._p; }
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) {
      T* old = _p;
      _p = other._p;
      other._p = nullptr;
      if (old) old->DecRef();
    }
    return *this;
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref& operator=(const Ref<U>& other) {
    return *this = static_cast<T*>(other.Get());
  }
  // Takes a reference on p before releasing the previous object, so that
  // assigning an object to the Ref that already holds it is safe.
  Ref& operator=(T* p) {
    if (p) p->IncRef();
    T* old = _p;
    _p = p;
    if (old) old->DecRef();
    return *this;
  }
  Ref& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  T* Get() const noexcept { return _p; }
  T* operator->() const {
    KESTRUM_ASSERT_AT(_p, "Kestrum/Ref", 263);
    return _p;
  }
  T& operator*() const {
    KESTRUM_ASSERT_AT(_p, "Kestrum/Ref", 263);
    return *_p;
  }
  explicit operator bool() const noexcept { return _p != nullptr; }

  void Reset() {
    T* old = _p;
    _p = nullptr;
    if (old) old->DecRef();
  }
  void Swap(Ref& other) noexcept { std::swap(_p, other._p); }

  // Atomic access for a slot that is filled lazily, once, by whichever thread
  // gets there first (the only concurrent use a Ref supports).
  T* AtomicGet() const noexcept {
    return std::atomic_ref<T*>(const_cast<T*&>(_p)).load(std::memory_order_acquire);
  }
  // Installs p (taking a reference) if the Ref is still empty and returns it;
  // otherwise releases p and returns the value another thread installed.
  T* InstallIfNull(T* p) {
    p->IncRef();
    T* expected = nullptr;
    if (std::atomic_ref<T*>(_p).compare_exchange_strong(expected, p, std::memory_order_acq_rel,
                                                        std::memory_order_acquire)) {
      return p;
    }
    p->DecRef();
    return expected;
  }

 private:
  template <class U>
  friend class Ref;
  T* _p;
};

template <class T, class U>
bool operator==(const Ref<T>& a, const Ref<U>& b) noexcept {
  return a.Get() == b.Get();
}
template <class T, class U>
bool operator==(const Ref<T>& a, U* b) noexcept {
  return a.Get() == b;
}
template <class T>
bool operator==(const Ref<T>& a, std::nullptr_t) noexcept {
  return a.Get() == nullptr;
}

template <class T>
void swap(Ref<T>& a, Ref<T>& b) noexcept {
  a.Swap(b);
}

// Makes a T and takes the first reference to it: Ref<T>(new T(args...))
// without spelling the type twice.
template <class T, class... Args>
Ref<T> MakeRef(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

}  // namespace Kestrum
