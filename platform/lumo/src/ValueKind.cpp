#include <Kestrum/DateTime.h>
#include <Lumo/Any.h>
#include <Lumo/MoRef.h>
#include <Lumo/TypeName.h>
#include <Lumo/ValueKind.h>

#include <string>

namespace Lumo {

ValueKind ValueKindOf(const Type* type) {
  if (!type) return ValueKind::kUnresolved;
  if (type->IsEnum()) return ValueKind::kEnum;
  if (type->IsDataObject()) return ValueKind::kData;
  if (type->IsManagedObject()) return ValueKind::kMoRef;
  if (!type->IsPrimitive()) return ValueKind::kUnresolved;
  // The runtime's primitives, looked up once (each look-up checks the start).
  struct Primitive {
    const Type* type;
    ValueKind kind;
  };
  static const Primitive kPrimitives[] = {
      {GetNoType<std::string>(), ValueKind::kString},
      {GetNoType<bool>(), ValueKind::kBool},
      {GetNoType<int32_t>(), ValueKind::kInt},
      {GetNoType<int64_t>(), ValueKind::kLong},
      {GetNoType<double>(), ValueKind::kDouble},
      {GetNoType<Kestrum::System::DateTime>(), ValueKind::kDateTime},
      {GetNoType<TypeName>(), ValueKind::kTypeName},
      {GetNoType<Any>(), ValueKind::kAny},
      {GetNoType<MoRef>(), ValueKind::kMoRef},
  };
  for (const Primitive& p : kPrimitives) {
    if (p.type == type) return p.kind;
  }
  return ValueKind::kUnresolved;
}

}  // namespace Lumo
