// Helpers that the generated type libraries use: checked casts, boxing of
// arguments and results, lazy arrays, optional comparison and the record
// accessors' swap adapters. Everything a generated header needs from the
// runtime is reachable from this one include.
#pragma once

#include <Kestrum/DateTime.h>
#include <Kestrum/Exception.h>
#include <Kestrum/Optional.h>
#include <Kestrum/Panic.h>
#include <Kestrum/Ref.h>
#include <Kestrum/ScheduledItem.h>
#include <Lumo/Lumo.h>

#include <cstddef>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace Lumo {
namespace Binding {

// The runtime value as class T: null stays null; another class throws the
// type mismatch and nothing is returned.
template <class T>
T* CheckedCast(Any* value) {
  if (value == nullptr) return nullptr;
  if constexpr (std::is_same_v<T, Any>) {
    return value;
  } else {
    T* typed = dynamic_cast<T*>(value);
    if (typed == nullptr) Kestrum::ThrowTypeMismatchException(typeid(T), typeid(*value));
    return typed;
  }
}

// A deep copy of a held value (null when the source is null).
template <class T>
Kestrum::Ref<T> CloneOf(const Kestrum::Ref<T>& source) {
  if (!source) return Kestrum::Ref<T>();
  return Kestrum::Ref<T>(static_cast<T*>(source->_Clone()));
}

// The array held in slot, created empty on first use. Safe against
// concurrent readers: the first installed array wins, the others are released.
template <class A>
A* GetOrCreateArray(Kestrum::Ref<A>& slot) {
  A* current = slot.AtomicGet();
  if (current != nullptr) return current;
  return slot.InstallIfNull(new A());
}

// Optional values match when both are unset, both are set and equal, or
// (loose matching) the other side is unset.
template <class T>
bool SameValue(const T& a, const T& b) {
  return a == b;
}
inline bool SameValue(const Kestrum::System::DateTime& a, const Kestrum::System::DateTime& b) {
  return a.GetUtcTime() == b.GetUtcTime();
}
template <class T>
bool OptionalMatches(const Kestrum::Optional<T>& mine, const Kestrum::Optional<T>& other,
                     bool looseMatch) {
  if (!other.IsSet()) return looseMatch || !mine.IsSet();
  return mine.IsSet() && SameValue(mine.GetValue(), other.GetValue());
}
template <class T>
bool OptionalDiffers(const Kestrum::Optional<T>& mine, const Kestrum::Optional<T>& other) {
  return !OptionalMatches(mine, other, false);
}

// Record accessor adapters: a swap through the record exchanges a plain value
// (for an optional property) or a Ref<Any> (for a reference-held property)
// with the member. A null destination reaches the class's own Swap accessor,
// which asserts. The plain value is moved in and the member's value moved
// out: a string changes hands without a copy of its text.
template <class T, class SwapFn>
void SwapOptionalThroughPlain(void* value, SwapFn swap) {
  if (value == nullptr) {
    swap(nullptr);
    return;
  }
  T* plain = static_cast<T*>(value);
  Kestrum::Optional<T> held(std::move(*plain));
  try {
    swap(&held);
  } catch (...) {
    // A refused value goes back to the caller unchanged.
    *plain = std::move(held.GetValue());
    throw;
  }
  *plain = held.IsSet() ? T(std::move(held.GetValue())) : T();
}
template <class T, class SwapFn>
void SwapReferenceThroughAny(void* value, SwapFn swap) {
  if (value == nullptr) {
    swap(nullptr);
    return;
  }
  auto* held = static_cast<Kestrum::Ref<Any>*>(value);
  Kestrum::Ref<T> typed(CheckedCast<T>(held->Get()));
  swap(&typed);
  *held = typed.Get();
}

// ----- stubs: packing arguments and unpacking results ---------------------

inline Kestrum::Ref<Any> BoxString(const std::string& value) {
  return Kestrum::Ref<Any>(new Primitive<std::string>(value));
}
inline Kestrum::Ref<Any> BoxOptionalString(const Kestrum::Optional<std::string>& value) {
  return value.IsSet() ? BoxString(value.GetValue()) : Kestrum::Ref<Any>();
}
inline Kestrum::Ref<Any> BoxOptionalBool(const Kestrum::Optional<bool>& value) {
  return value.IsSet() ? Kestrum::Ref<Any>(BoxBool(value.GetValue())) : Kestrum::Ref<Any>();
}
template <class T>
Kestrum::Ref<Any> Box(const T& value) {
  return Kestrum::Ref<Any>(new Primitive<T>(value));
}
template <class T>
Kestrum::Ref<Any> Box(const Kestrum::Optional<T>& value) {
  return value.IsSet() ? Box(value.GetValue()) : Kestrum::Ref<Any>();
}

// A required result that did not arrive is refused rather than read.
[[noreturn]] void ThrowMissingResult(const std::type_info& expected);

template <class T>
const T& RequiredValue(const Kestrum::Ref<Any>& value) {
  if (!value) ThrowMissingResult(typeid(Primitive<T>));
  return CheckedCast<Primitive<T>>(value.Get())->GetValue();
}
inline std::string StringResult(const Kestrum::Ref<Any>& value) {
  return RequiredValue<std::string>(value);
}
inline Kestrum::Optional<std::string> OptionalStringResult(const Kestrum::Ref<Any>& value) {
  if (!value) return Kestrum::Optional<std::string>();
  return CheckedCast<Primitive<std::string>>(value.Get())->GetValue();
}
inline bool BoolResult(const Kestrum::Ref<Any>& value) { return RequiredValue<bool>(value); }
template <class R>
R ValueResult(const Kestrum::Ref<Any>& value) {
  return RequiredValue<R>(value);
}

// An array result: an absent value becomes a new empty array.
template <class A>
Kestrum::Ref<A> ArrayResult(const Kestrum::Ref<Any>& value) {
  if (!value) return Kestrum::Ref<A>(new A());
  return Kestrum::Ref<A>(CheckedCast<A>(value.Get()));
}

// ----- invokeByIndex: the implementation and its arguments ----------------

template <class T>
T* ImplementationAs(ManagedObject* object) {
  T* typed = dynamic_cast<T*>(object);
  if (typed == nullptr) {
    if (object == nullptr) Kestrum::ThrowTypeMismatchException(typeid(T), typeid(std::nullptr_t));
    Kestrum::ThrowTypeMismatchException(typeid(T), typeid(*object));
  }
  return typed;
}

inline Any* Slot(const std::vector<Kestrum::Ref<Any>>& args, size_t index) {
  return index < args.size() ? args[index].Get() : nullptr;
}
template <class T>
T* Argument(const std::vector<Kestrum::Ref<Any>>& args, size_t index) {
  return CheckedCast<T>(Slot(args, index));
}

// A required string or boolean argument that is missing is refused with
// olyx.fault.InvalidArgument naming the parameter.
[[noreturn]] void ThrowMissingArgument(const char* parameter);

template <class T>
T ValueArgument(const std::vector<Kestrum::Ref<Any>>& args, size_t index, const char* parameter) {
  Any* slot = Slot(args, index);
  if (slot == nullptr) ThrowMissingArgument(parameter);
  return CheckedCast<Primitive<T>>(slot)->GetValue();
}
template <class T>
Kestrum::Optional<T> OptionalValueArgument(const std::vector<Kestrum::Ref<Any>>& args,
                                           size_t index) {
  Any* slot = Slot(args, index);
  if (slot == nullptr) return Kestrum::Optional<T>();
  return Kestrum::Optional<T>(CheckedCast<Primitive<T>>(slot)->GetValue());
}
inline std::string StringArgument(const std::vector<Kestrum::Ref<Any>>& args, size_t index,
                                  const char* parameter) {
  return ValueArgument<std::string>(args, index, parameter);
}
inline Kestrum::Optional<std::string> OptionalStringArgument(
    const std::vector<Kestrum::Ref<Any>>& args, size_t index) {
  return OptionalValueArgument<std::string>(args, index);
}
inline bool BoolArgument(const std::vector<Kestrum::Ref<Any>>& args, size_t index,
                         const char* parameter) {
  return ValueArgument<bool>(args, index, parameter);
}
inline Kestrum::Optional<bool> OptionalBoolArgument(const std::vector<Kestrum::Ref<Any>>& args,
                                                    size_t index) {
  return OptionalValueArgument<bool>(args, index);
}

}  // namespace Binding
}  // namespace Lumo
