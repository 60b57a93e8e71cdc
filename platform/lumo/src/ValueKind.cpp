#include <Kestrum/DateTime.h>
#include <Lumo/Any.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/TypeName.h>
#include <Lumo/ValueKind.h>

#include <string>
#include <typeinfo>

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

namespace {

template <class T>
const T* As(const Any* value) {
  return typeid(*value) == typeid(T) ? static_cast<const T*>(value) : nullptr;
}

}  // namespace

const void* UnboxPlain(ValueKind kind, const Type* type, const Any* value, int& ordinal) {
  switch (kind) {
    case ValueKind::kString:
      if (auto* p = As<Primitive<std::string>>(value)) return &p->GetValue();
      break;
    case ValueKind::kBool:
      if (auto* p = As<Primitive<bool>>(value)) return &p->GetValue();
      break;
    case ValueKind::kInt:
      if (auto* p = As<Primitive<int32_t>>(value)) return &p->GetValue();
      break;
    case ValueKind::kLong:
      if (auto* p = As<Primitive<int64_t>>(value)) return &p->GetValue();
      break;
    case ValueKind::kDouble:
      if (auto* p = As<Primitive<double>>(value)) return &p->GetValue();
      break;
    case ValueKind::kDateTime:
      if (auto* p = As<Primitive<Kestrum::System::DateTime>>(value)) return &p->GetValue();
      break;
    case ValueKind::kTypeName:
      if (auto* p = As<Primitive<TypeName>>(value)) return &p->GetValue();
      break;
    case ValueKind::kEnum:
      if (type != nullptr && value->_GetType() == type) {
        ordinal = static_cast<const EnumType*>(type)->GetFuncs().unboxValue(value);
        return &ordinal;
      }
      break;
    default:
      break;
  }
  return nullptr;
}

}  // namespace Lumo
