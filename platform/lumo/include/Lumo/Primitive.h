// Boxed single values: strings, enumeration ordinals and the runtime's other
// primitives. A boxed value never changes; _Clone returns the object itself.
//
// Equality against another class throws Kestrum::TypeMismatchException.
#pragma once

#include <Kestrum/DateTime.h>
#include <Kestrum/Exception.h>
#include <Kestrum/Panic.h>
#include <Lumo/Any.h>
#include <Lumo/Array.h>
#include <Lumo/Diff.h>
#include <Lumo/Type.h>
#include <Lumo/TypeName.h>

#include <cstdint>
#include <string>
#include <typeinfo>
#include <utility>

namespace Lumo {

template <class T>
class Primitive : public Any {
 public:
  using value_type = T;
  // Shared instances; defined for bool only.
  struct Factory;

  explicit Primitive(const T& value) : _value(value) {}
  // Takes a temporary over (a string's text is not copied).
  explicit Primitive(T&& value) : _value(std::move(value)) {}
  ~Primitive() override;

  // Virtual order: destructor, ToString, _GetType, _Clone, _IsEqual,
  // _DiffProperties.
  Type* _GetType() const override;
  Primitive* _Clone() const override;
  bool _IsEqual(const Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Any* other, const std::string& prefix,
                       PropertyDiffSet& diffs) const override;

  const T& GetValue() const { return _value; }

 private:
  const T _value;
};

// The runtime's shared boxed booleans, created when the runtime is loaded and
// never released.
template <>
struct Primitive<bool>::Factory {
  static Primitive<bool>* sTrue;
  static Primitive<bool>* sFalse;
};

// The shared boxed boolean for value; asserts that both exist.
inline Primitive<bool>* BoxBool(bool value) {
  KESTRUM_ASSERT_AT(Primitive<bool>::Factory::sTrue && Primitive<bool>::Factory::sFalse,
                    "lumo/Primitive", 201);
  return value ? Primitive<bool>::Factory::sTrue : Primitive<bool>::Factory::sFalse;
}

template <class T>
Primitive<T>::~Primitive() = default;

template <class T>
Type* Primitive<T>::_GetType() const {
  return Detail::ValueType<T>();
}

template <class T>
Primitive<T>* Primitive<T>::_Clone() const {
  return const_cast<Primitive<T>*>(this);
}

template <class T>
bool Primitive<T>::_IsEqual(const Any* other, bool) const {
  KESTRUM_ASSERT_AT(other, "lumo/Primitive", 232);
  if (typeid(*other) != typeid(Primitive<T>)) {
    Kestrum::ThrowTypeMismatchException(typeid(Primitive<T>), typeid(*other));
  }
  return _value == static_cast<const Primitive<T>*>(other)->_value;
}

template <class T>
void Primitive<T>::_DiffProperties(const Any* other, const std::string& prefix,
                                   PropertyDiffSet& diffs) const {
  KESTRUM_ASSERT_AT(other, "lumo/Primitive", 242);
  if (!_IsEqual(other, false)) diffs.AddChanged(PropertyPath(prefix));
}

extern template class Primitive<std::string>;
extern template class Primitive<bool>;
extern template class Primitive<int32_t>;
extern template class Primitive<int64_t>;
extern template class Primitive<double>;
extern template class Primitive<Kestrum::System::DateTime>;
extern template class Primitive<TypeName>;

}  // namespace Lumo
