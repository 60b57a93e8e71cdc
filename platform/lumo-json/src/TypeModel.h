// What the JSON mapping needs to know of a type, prepared once from the
// description records: the kind of its values and, for data objects and
// faults, every property (bases first) with the record that serves it.
#pragma once

#include <Lumo/Type.h>
#include <Lumo/TypeInfo.h>
#include <Lumo/ValueKind.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace Lumo {
namespace Json {
namespace Detail {

using Kind = ValueKind;

// A property, parameter or result: its declared element type and shape.
struct Slot {
  const char* name = nullptr;
  const Type* type = nullptr;  // null when the record's type was never created
  Kind kind = Kind::kUnresolved;
  bool array = false;
  bool optional = false;
  const char* version = nullptr;
  // Properties: the record that declares the property and its own index.
  const DataTypeInfo* owner = nullptr;
  int index = -1;

  // References that must be present (strings and plain values always are).
  bool RequiredReference() const {
    return !optional && !array &&
           (kind == Kind::kData || kind == Kind::kMoRef || kind == Kind::kAny);
  }
};

struct DataPlan {
  const DataObjectType* type = nullptr;
  // False when a base or a property type is not created yet.
  bool complete = true;
  std::vector<Slot> props;
  // The slot of a member name, or -1.
  int Find(std::string_view name) const;
};

// The slot of a record's property, parameter or result.
Slot MakeSlot(const char* name, const TypeInfo* info, uint32_t flags, const char* version);
// The plan of a data object or fault type, built on first use and kept.
const DataPlan& PlanOf(const DataObjectType* type);
// A type by the name the mapping writes: wire names, the runtime's primitives
// ("int", "ManagedObjectReference") and arrays of either ("zel.AboutInfo[]").
const Type* TypeNamed(std::string_view name);

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
