// Base of every data object class.
#pragma once

#include <Lumo/Any.h>
#include <Lumo/DataArray.h>
#include <Lumo/Type.h>

#include <string>

namespace Lumo {

class DynamicData : public Any {
 public:
  ~DynamicData() override;

  // Record-driven diff over every property of the object's type (bases
  // first): value properties record prefix + "." + name when they differ,
  // reference-held ones go through DiffAnyPropertiesInt.
  void _DiffProperties(const Any* other, const std::string& prefix,
                       PropertyDiffSet& diffs) const override;
  // The same type as _GetType().
  virtual DataObjectType* _GetDataType() const = 0;

 protected:
  DynamicData() = default;
  DynamicData(const DynamicData& other) : Any(other) {}
};

extern template class DataArray<DynamicData>;

}  // namespace Lumo
