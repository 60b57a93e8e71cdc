// Managed object references: a type name and an object id.
#include <Kestrum/Panic.h>
#include <Lumo/Diff.h>
#include <Lumo/MoRef.h>
#include <Lumo/Type.h>

namespace Lumo {

MoRef::MoRef(const std::string& type, const std::string& id) : _type(type), _id(id) {}
MoRef::MoRef(const MoRef& other) : Any(other), _type(other._type), _id(other._id) {}
MoRef::~MoRef() = default;

Type* MoRef::_GetType() const { return GetNoType<MoRef>(); }
MoRef* MoRef::_Clone() const { return new MoRef(*this); }

bool MoRef::_IsEqual(const Any* other, bool) const {
  KESTRUM_ASSERT_AT(other, "lumo/MoRef", 22);
  auto* o = dynamic_cast<const MoRef*>(other);
  return o && *this == *o;
}

void MoRef::_DiffProperties(const Any* other, const std::string& prefix,
                            PropertyDiffSet& diffs) const {
  if (!_IsEqual(other, false)) diffs.AddChanged(PropertyPath(prefix));
}

}  // namespace Lumo
