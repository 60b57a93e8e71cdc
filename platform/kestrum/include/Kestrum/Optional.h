// Optional values.
//
// Three representations:
//  - Optional<T>: the value plus a presence flag (numbers, dates, type names).
//  - Optional<std::string>: a single pointer to a separately allocated string,
//    null while unset; copies are deep.
//  - Optional<bool>: one signed byte, negative while unset, else 0 or 1.
// Reading an unset value is an assertion failure naming "Kestrum/Optional" and
// the line of the representation (105, 514, 675); assigning a bool whose byte
// is neither 0 nor 1 fails at line 696.
#pragma once

#include <Kestrum/Panic.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace Kestrum {

template <class T>
class Optional {
 public:
  using value_type = T;

  Optional() : _value(), _isSet(false) {}
  Optional(const T& value) : _value(value), _isSet(true) {}
  Optional(T&& value) : _value(std::move(value)), _isSet(true) {}
  Optional(const Optional&) = default;
  Optional(Optional&&) = default;
  Optional& operator=(const Optional&) = default;
  Optional& operator=(Optional&&) = default;
  Optional& operator=(const T& value) {
    _value = value;
    _isSet = true;
    return *this;
  }
  Optional& operator=(T&& value) {
    _value = std::move(value);
    _isSet = true;
    return *this;
  }

  bool IsSet() const { return _isSet; }
  const T& GetValue() const {
    KESTRUM_ASSERT_AT(_isSet, "Kestrum/Optional", 105);
    return _value;
  }
  T& GetValue() {
    KESTRUM_ASSERT_AT(_isSet, "Kestrum/Optional", 105);
    return _value;
  }
  // Address of the value, or null while unset; never fails.
  const T* GetPtr() const { return _isSet ? &_value : nullptr; }
  void Reset() {
    _value = T();
    _isSet = false;
  }
  void Swap(Optional& other) {
    using std::swap;
    swap(_value, other._value);
    swap(_isSet, other._isSet);
  }

  friend bool operator==(const Optional& a, const Optional& b) {
    if (a._isSet != b._isSet) return false;
    return !a._isSet || a._value == b._value;
  }

 private:
  T _value;
  bool _isSet;
};

template <>
class Optional<std::string> {
 public:
  using value_type = std::string;

  Optional() noexcept : _p(nullptr) {}
  Optional(const std::string& value) : _p(new std::string(value)) {}
  Optional(std::string&& value) : _p(new std::string(std::move(value))) {}
  Optional(const char* value) : _p(new std::string(value)) {}
  Optional(const Optional& other) : _p(other._p ? new std::string(*other._p) : nullptr) {}
  Optional(Optional&& other) noexcept : _p(other._p) { other._p = nullptr; }
  ~Optional() { delete _p; }

  Optional& operator=(const Optional& other) {
    if (this != &other) {
      if (other._p) {
        *this = *other._p;
      } else {
        Reset();
      }
    }
    return *this;
  }
  Optional& operator=(Optional&& other) noexcept {
    if (this != &other) {
      delete _p;
      _p = other._p;
      other._p = nullptr;
    }
    return *this;
  }
  Optional& operator=(const std::string& value) {
    if (_p) {
      *_p = value;
    } else {
      _p = new std::string(value);
    }
    return *this;
  }
  Optional& operator=(std::string&& value) {
    if (_p) {
      *_p = std::move(value);
    } else {
      _p = new std::string(std::move(value));
    }
    return *this;
  }
  Optional& operator=(const char* value) { return *this = std::string(value); }

  bool IsSet() const { return _p != nullptr; }
  const std::string& GetValue() const {
    KESTRUM_ASSERT_AT(_p, "Kestrum/Optional", 514);
    return *_p;
  }
  std::string& GetValue() {
    KESTRUM_ASSERT_AT(_p, "Kestrum/Optional", 514);
    return *_p;
  }
  const std::string* GetPtr() const { return _p; }
  void Reset() {
    delete _p;
    _p = nullptr;
  }
  void Swap(Optional& other) noexcept { std::swap(_p, other._p); }

  friend bool operator==(const Optional& a, const Optional& b) {
    if (!a._p || !b._p) return a._p == b._p;
    return *a._p == *b._p;
  }

 private:
  std::string* _p;
};

template <>
class Optional<bool> {
 public:
  using value_type = bool;

  Optional() noexcept : _state(-1) {}
  // Taken by reference so that the byte is inspected without loading it as a
  // bool first: a corrupt bool (byte 2, say) is caught here, not later.
  Optional(const bool& value) : _state(CheckedByte(value)) {}
  Optional(const Optional&) = default;
  Optional& operator=(const Optional&) = default;
  Optional& operator=(const bool& value) {
    _state = CheckedByte(value);
    return *this;
  }

  bool IsSet() const { return _state >= 0; }
  bool GetValue() const {
    KESTRUM_ASSERT_AT(_state >= 0, "Kestrum/Optional", 675);
    return _state != 0;
  }
  // Address of the value, or null while unset. The stored byte is 0 or 1
  // whenever it is set, a valid bool representation.
  const bool* GetPtr() const {
    return _state >= 0 ? reinterpret_cast<const bool*>(&_state) : nullptr;
  }
  void Reset() { _state = -1; }
  void Swap(Optional& other) noexcept { std::swap(_state, other._state); }
  // The raw byte: negative unset, 0 false, 1 true.
  int8_t GetRaw() const { return _state; }

  friend bool operator==(const Optional& a, const Optional& b) {
    // Every negative byte means "unset".
    if ((a._state < 0) || (b._state < 0)) return (a._state < 0) == (b._state < 0);
    return a._state == b._state;
  }

 private:
  static int8_t CheckedByte(const bool& value) {
    unsigned char byte;
    std::memcpy(&byte, &value, 1);
    KESTRUM_ASSERT_AT(byte <= 1, "Kestrum/Optional", 696);
    return static_cast<int8_t>(byte);
  }

  int8_t _state;
};

static_assert(sizeof(Optional<bool>) == 1, "Optional<bool> is one byte");
static_assert(sizeof(Optional<std::string>) == sizeof(void*), "Optional<string> is one pointer");

}  // namespace Kestrum
