// What a codec needs to know of a type first: the kind of its values.
#pragma once

#include <Lumo/Any.h>
#include <Lumo/Type.h>

#include <cstdint>

namespace Lumo {

// How a value is held and carried. Plain kinds are held by value in data
// objects and boxed (Primitive<T>, enumeration boxes) in argument vectors,
// results and anyType values.
enum class ValueKind : uint8_t {
  kString,
  kBool,
  kInt,
  kLong,
  kDouble,
  kDateTime,
  kTypeName,
  kEnum,
  kAny,
  kData,
  kMoRef,
  kUnresolved,
};

inline bool IsPlain(ValueKind kind) { return kind <= ValueKind::kEnum; }

// The kind of a type's values: a managed object type's are references
// (kMoRef). kUnresolved for null and for a type of no kind above. Call it
// once the runtime has started.
ValueKind ValueKindOf(const Type* type);

// The plain value a boxed value of a plain kind holds: its Primitive<T>'s
// value, or for an enumeration box of exactly `type` its ordinal, written to
// ordinal. Null when value is no box of that kind (or of that enumeration).
const void* UnboxPlain(ValueKind kind, const Type* type, const Any* value, int& ordinal);

}  // namespace Lumo
