// Arrays of data objects (and of anyType values).
//
// DataArrayBase owns the element storage and the shared algorithms; the
// template DataArray<T> adds the typed view, the types and the element check.
// Type libraries explicitly instantiate DataArray<T> for their classes
// ("template class Lumo::DataArray<X>;") and declare that instantiation
// "extern template" in the class's header.
#pragma once

#include <Kestrum/Exception.h>
#include <Kestrum/Panic.h>
#include <Kestrum/Ref.h>
#include <Lumo/Collection.h>
#include <Lumo/Type.h>
#include <Lumo/ValueMemory.h>

#include <span>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace Lumo {

class DataArrayBase : public Collection {
 public:
  ~DataArrayBase() override;

  // Virtual order after Collection: _GetElementType, _IsValidElement.
  bool _IsEqual(const Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Any* other, const std::string& prefix,
                       PropertyDiffSet& diffs) const override;
  int _GetLength() const override { return static_cast<int>(_storage.size()); }
  virtual Type* _GetElementType() const = 0;
  // True when item may be stored; item must not be null.
  virtual bool _IsValidElement(const Any* item) const = 0;

  int GetLength() const { return static_cast<int>(_storage.size()); }
  size_t size() const { return _storage.size(); }
  bool empty() const { return _storage.empty(); }
  bool IsEmpty() const { return _storage.empty(); }

  Any* GetAt(int index);
  const Any* GetAt(int index) const;
  // Checks the element with _IsValidElement; a value of the wrong class throws
  // Kestrum::TypeMismatchException and nothing is stored. Null is refused
  // by assertion.
  void Append(Any* item);
  void SetAt(int index, Any* item);
  void InsertAt(int index, Any* item);
  void RemoveAt(int index);
  void Clear() { _storage.clear(); }
  void Reserve(int count) { _storage.reserve(static_cast<size_t>(count)); }
  // The elements in order, valid until the array changes.
  std::span<const Kestrum::Ref<Any>> GetStorage() const { return _storage; }

 protected:
  explicit DataArrayBase(const std::type_info& elementClass) : _elementClass(&elementClass) {}
  // Deep copy: every element is cloned.
  DataArrayBase(const DataArrayBase& other);

 private:
  void CheckElement(const Any* item) const;

  const std::type_info* _elementClass;
  // One block from the value allocator, like the array value itself.
  std::vector<Kestrum::Ref<Any>, ValueAllocator<Kestrum::Ref<Any>>> _storage;
};

namespace Detail {

// The element type of DataArray<T>.
template <class T>
Type* DataElementType() {
  if constexpr (std::is_same_v<T, Any>) {
    return GetNoType<Any>();
  } else if constexpr (std::is_same_v<T, MoRef>) {
    return GetNoType<MoRef>();
  } else {
    return GetDoType<T>();
  }
}

}  // namespace Detail

template <class T>
class DataArray : public DataArrayBase {
 public:
  DataArray() : DataArrayBase(typeid(T)) {}
  ~DataArray() override;

  Type* _GetType() const override;
  DataArray* _Clone() const override;
  Type* _GetElementType() const override;
  bool _IsValidElement(const Any* item) const override;

  T* Get(int index) { return static_cast<T*>(GetAt(index)); }
  const T* Get(int index) const { return static_cast<const T*>(GetAt(index)); }
  T* operator[](int index) { return Get(index); }
  const T* operator[](int index) const { return Get(index); }
  using DataArrayBase::Append;
  void Append(T* item) { DataArrayBase::Append(item); }
  void Set(int index, T* item) { SetAt(index, item); }

 protected:
  DataArray(const DataArray& other) : DataArrayBase(other) {}
};

template <class T>
DataArray<T>::~DataArray() = default;

template <class T>
Type* DataArray<T>::_GetType() const {
  return Detail::DataElementType<T>()->GetArrayType();
}

template <class T>
DataArray<T>* DataArray<T>::_Clone() const {
  return new DataArray<T>(*this);
}

template <class T>
Type* DataArray<T>::_GetElementType() const {
  return Detail::DataElementType<T>();
}

template <class T>
bool DataArray<T>::_IsValidElement(const Any* item) const {
  KESTRUM_ASSERT_AT(item, "lumo/array", 162);
  if constexpr (std::is_same_v<T, Any>) {
    return true;
  } else {
    return dynamic_cast<const T*>(item) != nullptr;
  }
}

extern template class DataArray<Any>;

}  // namespace Lumo
