// Equality and difference of property values held by reference.
//
// Rules shared by AreEqualAnysInt and DiffAnyPropertiesInt:
//  - A property whose flags carry kFlagArray treats a null array and an empty
//    array alike ("absent"): array getters create empty arrays on first use,
//    so reading a property must not change how it compares.
//  - Two absent values are equal and produce no diff.
//  - Values of different classes are unequal; a diff records the path.
//  - Data objects compare through _IsEqual and diff through _DiffProperties
//    (recursing with prefix + name).
//  - Arrays compare element by element, in order. An array diff records the
//    property path once (prefix + name, no element index) when the lengths or
//    any element differ: a changed element marks the whole array property.
//    This holds for DataArray<T> (DataArrayBase) and Array<T> alike.
#pragma once

#include <Lumo/Fwd.h>

#include <string>
#include <vector>

namespace Lumo {

class PropertyPath {
 public:
  explicit PropertyPath(const std::string& path) : _path(path) {}
  const std::string& ToString() const { return _path; }
  friend bool operator==(const PropertyPath& a, const PropertyPath& b) {
    return a._path == b._path;
  }

 private:
  std::string _path;
};

// The changed property paths of a diff, in the order they were found.
class PropertyDiffSet {
 public:
  void AddChanged(PropertyPath path) { _changed.push_back(std::move(path)); }
  const std::vector<PropertyPath>& GetChanged() const { return _changed; }
  bool IsEmpty() const { return _changed.empty(); }
  size_t GetCount() const { return _changed.size(); }
  bool Contains(const std::string& path) const;
  void Clear() { _changed.clear(); }

 private:
  std::vector<PropertyPath> _changed;
};

// Compares one reference-held property value. flags are the property's flag
// bits; with looseMatch and kFlagOptional an absent value in b matches.
bool AreEqualAnysInt(const Any* a, const Any* b, unsigned flags, bool looseMatch);

// Diffs one reference-held property value; name is "." + the property name.
void DiffAnyPropertiesInt(const Any* a, const Any* b, const std::string& prefix, const char* name,
                          unsigned flags, PropertyDiffSet& diffs);

}  // namespace Lumo
