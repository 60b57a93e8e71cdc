// olyx.DynamicData, the base of every data object: the record-driven diff.
#include <Lumo/Diff.h>
#include <Lumo/DynamicData.h>
#include <Lumo/Type.h>

#include <algorithm>
#include <typeinfo>
#include <vector>

#include "Internal.h"

namespace Lumo {

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

}  // namespace Lumo
