// A reference to a managed object: its type's wire name and its id.
#pragma once

#include <Lumo/Any.h>
#include <Lumo/DataArray.h>

#include <string>

namespace Lumo {

class MoRef : public Any {
 public:
  MoRef(const std::string& type, const std::string& id);
  ~MoRef() override;

  Type* _GetType() const override;
  MoRef* _Clone() const override;
  // Equal when type and id are equal; false against another class.
  bool _IsEqual(const Any* other, bool looseMatch = false) const override;
  void _DiffProperties(const Any* other, const std::string& prefix,
                       PropertyDiffSet& diffs) const override;

  const std::string& GetTypeName() const { return _type; }
  const std::string& GetId() const { return _id; }

  friend bool operator==(const MoRef& a, const MoRef& b) {
    return a._type == b._type && a._id == b._id;
  }

 protected:
  MoRef(const MoRef& other);

 private:
  const std::string _type;
  const std::string _id;
};

extern template class DataArray<MoRef>;

}  // namespace Lumo
