// The runtime's "typeName" primitive: the wire name of a type, as a value.
#pragma once

#include <string>

namespace Lumo {

struct TypeName {
  std::string name;

  friend bool operator==(const TypeName& a, const TypeName& b) { return a.name == b.name; }
};

}  // namespace Lumo
