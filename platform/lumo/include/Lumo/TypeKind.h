// The names of the kinds of types, as tools show them.
#pragma once

#include <cstdint>

namespace Lumo {

// What a kind of type (kTypeKind*) is called, in the singular: "primitive",
// "data object", "fault", "enumeration", "managed object"; "type" for any
// other kind.
const char* TypeKindName(uint32_t kind);

}  // namespace Lumo
