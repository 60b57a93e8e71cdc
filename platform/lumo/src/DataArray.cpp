// DataArrayBase: the element storage and the algorithms every DataArray<T>
// shares.
#include <Kestrum/Exception.h>
#include <Lumo/DataArray.h>
#include <Lumo/Diff.h>

#include <typeinfo>

namespace Lumo {

DataArrayBase::DataArrayBase(const DataArrayBase& other)
    : Collection(other), _elementClass(other._elementClass) {
  _storage.reserve(other._storage.size());
  for (const Kestrum::Ref<Any>& element : other._storage) {
    _storage.emplace_back(element->_Clone());
  }
}

DataArrayBase::~DataArrayBase() = default;

bool DataArrayBase::_IsEqual(const Any* other, bool looseMatch) const {
  KESTRUM_ASSERT_AT(other, "lumo/array", 120);
  if (typeid(*other) != typeid(*this)) return false;
  const auto& theirs = static_cast<const DataArrayBase*>(other)->_storage;
  if (theirs.size() != _storage.size()) return false;
  for (size_t i = 0; i < _storage.size(); ++i) {
    if (!AreEqualAnysInt(_storage[i].Get(), theirs[i].Get(), 0, looseMatch)) return false;
  }
  return true;
}

void DataArrayBase::_DiffProperties(const Any* other, const std::string& prefix,
                                    PropertyDiffSet& diffs) const {
  KESTRUM_ASSERT_AT(other, "lumo/array", 133);
  if (!_IsEqual(other, false)) diffs.AddChanged(PropertyPath(prefix));
}

void DataArrayBase::CheckElement(const Any* item) const {
  KESTRUM_ASSERT_AT(item, "lumo/array", 138);
  // An item of exactly the element class needs no cast.
  if (typeid(*item) == *_elementClass) return;
  if (!_IsValidElement(item)) Kestrum::ThrowTypeMismatchException(*_elementClass, typeid(*item));
}

Any* DataArrayBase::GetAt(int index) {
  KESTRUM_ASSERT_AT(index >= 0 && static_cast<size_t>(index) < _storage.size(), "lumo/array", 144);
  return _storage[static_cast<size_t>(index)].Get();
}

const Any* DataArrayBase::GetAt(int index) const {
  KESTRUM_ASSERT_AT(index >= 0 && static_cast<size_t>(index) < _storage.size(), "lumo/array", 144);
  return _storage[static_cast<size_t>(index)].Get();
}

void DataArrayBase::Append(Any* item) {
  CheckElement(item);
  _storage.emplace_back(item);
}

void DataArrayBase::SetAt(int index, Any* item) {
  KESTRUM_ASSERT_AT(index >= 0 && static_cast<size_t>(index) < _storage.size(), "lumo/array", 144);
  CheckElement(item);
  _storage[static_cast<size_t>(index)] = item;
}

void DataArrayBase::InsertAt(int index, Any* item) {
  KESTRUM_ASSERT_AT(index >= 0 && static_cast<size_t>(index) <= _storage.size(), "lumo/array", 144);
  CheckElement(item);
  _storage.insert(_storage.begin() + index, Kestrum::Ref<Any>(item));
}

void DataArrayBase::RemoveAt(int index) {
  KESTRUM_ASSERT_AT(index >= 0 && static_cast<size_t>(index) < _storage.size(), "lumo/array", 144);
  _storage.erase(_storage.begin() + index);
}

}  // namespace Lumo
