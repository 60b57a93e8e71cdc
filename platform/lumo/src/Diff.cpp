// The equality and diff rules of reference-held values, and the diff set.
#include <Lumo/Any.h>
#include <Lumo/Collection.h>
#include <Lumo/Diff.h>
#include <Lumo/TypeInfo.h>

#include <algorithm>
#include <typeinfo>

namespace Lumo {

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
