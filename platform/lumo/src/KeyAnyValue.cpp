// olyx.KeyAnyValue: a key and a value of any type.
#include <Kestrum/Panic.h>
#include <Lumo/Diff.h>
#include <Lumo/KeyAnyValue.h>
#include <Lumo/Validate.h>

namespace Lumo {

KeyAnyValue::KeyAnyValue() = default;

KeyAnyValue::KeyAnyValue(const std::string& key, Any* value) : _key(key), _value(value) {
  Validate<std::string>(&_key, this, 0);
}

KeyAnyValue::KeyAnyValue(const KeyAnyValue& other)
    : DynamicData(other),
      _key(other._key),
      _value(other._value ? other._value->_Clone() : nullptr) {}

KeyAnyValue::~KeyAnyValue() = default;

Type* KeyAnyValue::_GetType() const { return GetDoType<KeyAnyValue>(); }
KeyAnyValue* KeyAnyValue::_Clone() const { return new KeyAnyValue(*this); }
DataObjectType* KeyAnyValue::_GetDataType() const { return GetDoType<KeyAnyValue>(); }

bool KeyAnyValue::_IsEqual(const Any* other, bool looseMatch) const {
  auto* o = static_cast<const KeyAnyValue*>(other);
  return _key == o->_key && AreEqualAnysInt(_value.Get(), o->_value.Get(), 0, looseMatch);
}

void KeyAnyValue::_DiffProperties(const Any* other, const std::string& prefix,
                                  PropertyDiffSet& diffs) const {
  auto* o = static_cast<const KeyAnyValue*>(other);
  if (_key != o->_key) diffs.AddChanged(PropertyPath(prefix + ".key"));
  DiffAnyPropertiesInt(_value.Get(), o->_value.Get(), prefix, ".value", 0, diffs);
}

void KeyAnyValue::SetKey(const std::string& key) {
  if (&key == &_key) return;
  Validate<std::string>(&key, this, 0);
  _key = key;
}

void KeyAnyValue::SwapKey(std::string* const key) {
  KESTRUM_ASSERT_AT(key, "lumo/KeyAnyValue", 38);
  Validate<std::string>(key, this, 0);
  _key.swap(*key);
}

void KeyAnyValue::SwapValue(Kestrum::Ref<Any>* const value) {
  KESTRUM_ASSERT_AT(value, "lumo/KeyAnyValue", 45);
  _value.Swap(*value);
}

}  // namespace Lumo
