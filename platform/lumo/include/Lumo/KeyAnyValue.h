// olyx.KeyAnyValue: a key with a value of any type.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>

#include <string>

namespace Lumo {

class KeyAnyValue : public DynamicData {
 public:
  KeyAnyValue();
  KeyAnyValue(const std::string& key, Any* value);
  ~KeyAnyValue() override;

  Type* _GetType() const override;
  KeyAnyValue* _Clone() const override;
  bool _IsEqual(const Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Any* other, const std::string& prefix,
                       PropertyDiffSet& diffs) const override;
  DataObjectType* _GetDataType() const override;

  // key: required string, own index 0.
  const std::string& GetKey() const { return _key; }
  const std::string* PeekKey() const { return &_key; }
  void SetKey(const std::string& key);
  void SetKey(const char* key) { _key = key; }
  void SwapKey(std::string* const key);

  // value: anyType, own index 1.
  Any* GetValue() { return _value.Get(); }
  const Any* GetValue() const { return _value.Get(); }
  const Any* PeekValue() const { return _value.Get(); }
  void SetValue(Any* value) { _value = value; }
  void SwapValue(Kestrum::Ref<Any>* const value);

 protected:
  KeyAnyValue(const KeyAnyValue& other);

 private:
  std::string _key;
  Kestrum::Ref<Any> _value;
};

extern template class DataArray<KeyAnyValue>;

}  // namespace Lumo
