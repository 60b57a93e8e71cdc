// Arrays of values held by value: strings, enumeration ordinals and the
// runtime's other primitives (for anyType values).
//
// Equality: false (never an exception) against another class or another
// element type; otherwise element by element in order. A diff records the
// prefix alone when the arrays differ.
#pragma once

#include <Kestrum/DateTime.h>
#include <Kestrum/Panic.h>
#include <Lumo/Collection.h>
#include <Lumo/Diff.h>
#include <Lumo/Type.h>
#include <Lumo/TypeName.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

namespace Lumo {

namespace Detail {

// The runtime type of a value held in Array<T> or Primitive<T>.
template <class T>
Type* ValueType() {
  if constexpr (std::is_enum_v<T>) {
    return GetEnumType<T>();
  } else {
    return GetNoType<T>();
  }
}

}  // namespace Detail

template <class T>
class Array : public Collection {
 public:
  using value_type = T;
  using const_reference = typename std::vector<T>::const_reference;

  Array() = default;
  explicit Array(size_t count) : _values(count) {}
  Array(std::initializer_list<T> values) : _values(values) {}
  explicit Array(std::vector<T> values) : _values(std::move(values)) {}
  ~Array() override;

  // Virtual order: destructor, ToString, _GetType, _Clone, _IsEqual,
  // _DiffProperties, _GetLength.
  Type* _GetType() const override;
  Array* _Clone() const override;
  bool _IsEqual(const Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Any* other, const std::string& prefix,
                       PropertyDiffSet& diffs) const override;
  int _GetLength() const override { return static_cast<int>(_values.size()); }

  int GetLength() const { return static_cast<int>(_values.size()); }
  size_t size() const { return _values.size(); }
  bool empty() const { return _values.empty(); }
  const_reference Get(int index) const {
    KESTRUM_ASSERT_AT(index >= 0 && static_cast<size_t>(index) < _values.size(), "lumo/array", 241);
    return _values[static_cast<size_t>(index)];
  }
  const_reference operator[](int index) const { return Get(index); }
  void Set(int index, const T& value) {
    KESTRUM_ASSERT_AT(index >= 0 && static_cast<size_t>(index) < _values.size(), "lumo/array", 247);
    _values[static_cast<size_t>(index)] = value;
  }
  void Append(const T& value) { _values.push_back(value); }
  void Append(T&& value) { _values.push_back(std::move(value)); }
  void Resize(int count) { _values.resize(static_cast<size_t>(count)); }
  void Clear() { _values.clear(); }
  const std::vector<T>& GetValues() const { return _values; }

 protected:
  Array(const Array& other) : Collection(other), _values(other._values) {}

 private:
  std::vector<T> _values;
};

template <class T>
Array<T>::~Array() = default;

template <class T>
Type* Array<T>::_GetType() const {
  return Detail::ValueType<T>()->GetArrayType();
}

template <class T>
Array<T>* Array<T>::_Clone() const {
  return new Array<T>(*this);
}

template <class T>
bool Array<T>::_IsEqual(const Any* other, bool) const {
  KESTRUM_ASSERT_AT(other, "lumo/array", 281);
  if (typeid(*other) != typeid(Array<T>)) return false;
  return _values == static_cast<const Array<T>*>(other)->_values;
}

template <class T>
void Array<T>::_DiffProperties(const Any* other, const std::string& prefix,
                               PropertyDiffSet& diffs) const {
  KESTRUM_ASSERT_AT(other, "lumo/array", 289);
  if (!_IsEqual(other, false)) diffs.AddChanged(PropertyPath(prefix));
}

extern template class Array<std::string>;
extern template class Array<bool>;
extern template class Array<int32_t>;
extern template class Array<int64_t>;
extern template class Array<double>;
extern template class Array<Kestrum::System::DateTime>;
extern template class Array<TypeName>;

}  // namespace Lumo
