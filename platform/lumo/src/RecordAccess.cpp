// How property values travel through the record accessor functions, for the
// runtime's record-driven operations (diff, serialisation, validation).
#include <Kestrum/DateTime.h>
#include <Lumo/Any.h>
#include <Lumo/Diff.h>
#include <Lumo/RuntimeTypeInfos.h>
#include <Lumo/TypeName.h>

#include <string>

#include "Internal.h"

namespace Lumo {

namespace Detail {

ValueKind GetValueKind(const PropInfo& property) {
  if (property.flags & kFlagArray) return ValueKind::kReference;
  const TypeInfo* t = property.type;
  if (t == &gStringTypeInfo) return ValueKind::kString;
  if (t == &gBoolTypeInfo) return ValueKind::kBool;
  if (t == &gIntTypeInfo) return ValueKind::kInt;
  if (t == &gLongTypeInfo) return ValueKind::kLong;
  if (t == &gDoubleTypeInfo) return ValueKind::kDouble;
  if (t == &gDateTimeTypeInfo) return ValueKind::kDateTime;
  if (t == &gTypeNameTypeInfo) return ValueKind::kTypeName;
  if (t && t->kind == kTypeKindEnum) return ValueKind::kEnum;
  return ValueKind::kReference;
}

bool PeekedValuesEqual(ValueKind kind, const void* a, const void* b) {
  if (!a || !b) return a == b;
  switch (kind) {
    case ValueKind::kString:
      return *static_cast<const std::string*>(a) == *static_cast<const std::string*>(b);
    case ValueKind::kBool:
      return *static_cast<const bool*>(a) == *static_cast<const bool*>(b);
    case ValueKind::kInt:
    case ValueKind::kEnum:
      return *static_cast<const int32_t*>(a) == *static_cast<const int32_t*>(b);
    case ValueKind::kLong:
      return *static_cast<const int64_t*>(a) == *static_cast<const int64_t*>(b);
    case ValueKind::kDouble:
      return *static_cast<const double*>(a) == *static_cast<const double*>(b);
    case ValueKind::kDateTime:
      return static_cast<const Kestrum::System::DateTime*>(a)->GetUtcTime() ==
             static_cast<const Kestrum::System::DateTime*>(b)->GetUtcTime();
    case ValueKind::kTypeName:
      return *static_cast<const TypeName*>(a) == *static_cast<const TypeName*>(b);
    case ValueKind::kReference:
      return AreEqualAnysInt(static_cast<const Any*>(a), static_cast<const Any*>(b), 0, false);
  }
  return false;
}

}  // namespace Detail

}  // namespace Lumo
