// Any, arrays of data objects, the record-driven diff of data objects, and
// the equality and diff rules of reference-held values.
#include <Kestrum/DateTime.h>
#include <Kestrum/Exception.h>
#include <Lumo/Any.h>
#include <Lumo/Collection.h>
#include <Lumo/DataArray.h>
#include <Lumo/Diff.h>
#include <Lumo/DynamicData.h>
#include <Lumo/RuntimeTypeInfos.h>
#include <Lumo/SerializeFormatter.h>
#include <Lumo/TypeInfoLoader.h>
#include <Lumo/TypeName.h>

#include <algorithm>
#include <typeinfo>

#include "Internal.h"

namespace Lumo {

Any::~Any() = default;

std::string Any::ToString() const {
  // Rendering needs the types; generated type accessors stop the process
  // before the start, so fall back to the class name until then.
  if (!TypeInfoLoader::_versionInfoIsAvailable) return Kestrum::DemangleClassName(typeid(*this));
  return SerializeToText(this);
}

Collection::~Collection() = default;

// ---- DataArrayBase ---------------------------------------------------------------

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

// ---- Record access ----------------------------------------------------------------

namespace Detail {

ValueKind GetValueKind(const PropInfo& property) {
  if (property.flags & kFlagArray) return ValueKind::kReference;
  const TypeInfo* t = property.type;
  if (t == &gStringTypeInfo) return ValueKind::kString;
  if (t == &gBoolTypeInfo) return ValueKind::kBool;
  if (t == &gIntTypeInfo) return ValueKind::kInt;
  if (t == &gLongTypeInfo) return ValueKind::kLong;
  if (t == &gDoubleTypeInfo) return ValueKind::kDouble;
  if (t == &gDateTimeTypeInfo) return ValueKind::kDateTime;
  if (t == &gTypeNameTypeInfo) return ValueKind::kTypeName;
  if (t && t->kind == kTypeKindEnum) return ValueKind::kEnum;
  return ValueKind::kReference;
}

bool PeekedValuesEqual(ValueKind kind, const void* a, const void* b) {
  if (!a || !b) return a == b;
  switch (kind) {
    case ValueKind::kString:
      return *static_cast<const std::string*>(a) == *static_cast<const std::string*>(b);
    case ValueKind::kBool:
      return *static_cast<const bool*>(a) == *static_cast<const bool*>(b);
    case ValueKind::kInt:
    case ValueKind::kEnum:
      return *static_cast<const int32_t*>(a) == *static_cast<const int32_t*>(b);
    case ValueKind::kLong:
      return *static_cast<const int64_t*>(a) == *static_cast<const int64_t*>(b);
    case ValueKind::kDouble:
      return *static_cast<const double*>(a) == *static_cast<const double*>(b);
    case ValueKind::kDateTime:
      return static_cast<const Kestrum::System::DateTime*>(a)->GetUtcTime() ==
             static_cast<const Kestrum::System::DateTime*>(b)->GetUtcTime();
    case ValueKind::kTypeName:
      return *static_cast<const TypeName*>(a) == *static_cast<const TypeName*>(b);
    case ValueKind::kReference:
      return AreEqualAnysInt(static_cast<const Any*>(a), static_cast<const Any*>(b), 0, false);
  }
  return false;
}

}  // namespace Detail

// ---- DynamicData ----------------------------------------------------------------------

DynamicData::~DynamicData() = default;

void DynamicData::_DiffProperties(const Any* other, const std::string& prefix,
                                  PropertyDiffSet& diffs) const {
  if (!other || typeid(*other) != typeid(*this)) {
    diffs.AddChanged(PropertyPath(prefix));
    return;
  }
  std::vector<const DataObjectType*> chain;
  for (const DataObjectType* t = _GetDataType(); t; t = t->GetBase()) chain.push_back(t);
  std::reverse(chain.begin(), chain.end());
  for (const DataObjectType* level : chain) {
    const DataTypeInfo* info = level->GetInfo();
    for (int i = 0; i < level->GetPropertyCount(); ++i) {
      const PropInfo& property = level->GetProperty(i);
      const void* mine = info->peekProperty ? info->peekProperty(this, i) : nullptr;
      const void* theirs = info->peekProperty ? info->peekProperty(other, i) : nullptr;
      std::string name = std::string(".") + property.name;
      Detail::ValueKind kind = Detail::GetValueKind(property);
      if (kind == Detail::ValueKind::kReference) {
        DiffAnyPropertiesInt(static_cast<const Any*>(mine), static_cast<const Any*>(theirs), prefix,
                             name.c_str(), property.flags, diffs);
      } else if (!Detail::PeekedValuesEqual(kind, mine, theirs)) {
        diffs.AddChanged(PropertyPath(prefix + name));
      }
    }
  }
}

// ---- Equality and diff of reference-held values -------------------------------------

bool PropertyDiffSet::Contains(const std::string& path) const {
  return std::any_of(_changed.begin(), _changed.end(),
                     [&path](const PropertyPath& p) { return p.ToString() == path; });
}

namespace {

// Null, or an empty array where the property is an array.
bool IsAbsent(const Any* value, unsigned flags) {
  if (!value) return true;
  if (flags & kFlagArray) {
    if (auto* collection = dynamic_cast<const Collection*>(value)) {
      return collection->_GetLength() == 0;
    }
  }
  return false;
}

}  // namespace

bool AreEqualAnysInt(const Any* a, const Any* b, unsigned flags, bool looseMatch) {
  bool aAbsent = IsAbsent(a, flags);
  bool bAbsent = IsAbsent(b, flags);
  if (aAbsent && bAbsent) return true;
  if (bAbsent) return looseMatch && (flags & kFlagOptional) != 0;
  if (aAbsent) return false;
  if (typeid(*a) != typeid(*b)) return false;
  return a->_IsEqual(b, looseMatch);
}

void DiffAnyPropertiesInt(const Any* a, const Any* b, const std::string& prefix, const char* name,
                          unsigned flags, PropertyDiffSet& diffs) {
  std::string path = prefix + (name ? name : "");
  bool aAbsent = IsAbsent(a, flags);
  bool bAbsent = IsAbsent(b, flags);
  if (aAbsent && bAbsent) return;
  if (aAbsent || bAbsent || typeid(*a) != typeid(*b)) {
    diffs.AddChanged(PropertyPath(path));
    return;
  }
  // Data objects recurse; arrays and boxed values record path when they differ.
  a->_DiffProperties(b, path, diffs);
}

}  // namespace Lumo
