// What the wire needs to know of every type, prepared once from the
// description records: the kind of each value, the element names, the
// flattened property lists (bases first), the method signatures and the
// names by which messages refer to types.
//
// Plans are immutable and never freed. When a look-up misses and the runtime
// has created types since the last build, the table is built anew; older
// plans stay valid for whoever still holds them.
#pragma once

#include <Lumo/ManagedMethod.h>
#include <Lumo/Type.h>
#include <Lumo/TypeInfo.h>
#include <Lumo/ValueKind.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "NameIndex.h"

namespace Lumo {
namespace Wire {
namespace Detail {

using Kind = ValueKind;

struct TypePlan;

// A property, parameter or result.
struct Slot {
  const char* name = nullptr;
  Kind kind = Kind::kUnresolved;
  bool array = false;
  bool optional = false;
  // The plan of the declared (element) type; null when unresolved.
  const TypePlan* plan = nullptr;
  int versionId = 0;
  const char* version = nullptr;
  std::string open;   // "<name"
  std::string close;  // "</name>"
  // Properties: the record that declares the property and its own index.
  const DataTypeInfo* owner = nullptr;
  int index = -1;

  size_t nameLength = 0;

  // A raw element name (NUL-terminated) against the slot's name: equal
  // means an unprefixed name.
  bool MatchesRaw(const char* element) const {
    return element[0] == name[0] && std::strcmp(element, name) == 0;
  }
  // A local element name (not NUL-terminated) against the slot's name.
  bool Matches(std::string_view local) const {
    return local.size() == nameLength && local[0] == name[0] &&
           std::memcmp(local.data(), name, nameLength) == 0;
  }
  // Reference-held values that must be present (strings and plain values are
  // always present in a data object).
  bool RequiredReference() const {
    return !optional && !array &&
           (kind == Kind::kData || kind == Kind::kMoRef || kind == Kind::kAny);
  }
};

struct MethodPlan {
  const ManagedMethod* method = nullptr;
  std::string wsdl;  // request element name
  std::string requestOpen, requestClose;
  std::string responseName, responseOpen, responseClose;
  std::vector<Slot> params;
  NameIndex paramIndex;  // params by element name
  bool hasResult = false;
  Slot result;  // element "returnval"
  NameIndex resultIndex;
  // The namespace of calls of the method when the codec has no version:
  // that of the declaring type ("urn:zel").
  std::string uri;
  int versionId = 0;
  const char* version = nullptr;
};

struct TypePlan {
  const Type* type = nullptr;
  Kind kind = Kind::kUnresolved;
  const DataObjectType* data = nullptr;
  const ManagedObjectType* managed = nullptr;
  const EnumType* enumType = nullptr;
  // False when a base or a property type was not created yet.
  bool complete = true;
  int versionId = 0;
  const char* version = nullptr;
  // The namespace of the type's version as a URI ("urn:zel"); whether a
  // registered version record declares it (not so for the runtime's types).
  std::string uri;
  bool apiNamespace = false;
  std::string xsiName;       // "ZelAboutInfo", "xsd:string" (as written)
  std::string xsiAttr;       // " xsi:type=\"ZelAboutInfo\""
  std::string arrayXsiName;  // "ArrayOfZelAboutInfo"
  std::string arrayXsiAttr;
  std::string itemOpen, itemClose;  // items of an array value: "<ZelAboutInfo", "<string"
  std::string typeAttr;             // managed types: " type=\"ZelProfileProfileManager\""
  // Data objects and faults: every property, bases first, each level in
  // record order.
  std::vector<Slot> props;
  NameIndex propIndex;  // props by element name
  // Managed types: indexed like the method-object array (own methods, then
  // own properties); by request element name including the bases'.
  std::vector<MethodPlan> methods;
  std::unordered_map<std::string, const MethodPlan*> methodsByWsdl;

  const char* Name() const { return type ? type->GetName() : "?"; }
};

struct XsiShape {
  const TypePlan* plan = nullptr;
  bool array = false;
};

class TypeTable {
 public:
  // Null when the runtime has no such type.
  static const TypePlan* ForType(const Type* type);
  static const TypePlan* ForTypeName(std::string_view wireName);
  // Managed types by WSDL name (the "type" attribute of references).
  static const TypePlan* ForManagedWsdl(std::string_view wsdlName);
  // An xsi:type value by its local name: in the XML Schema namespace
  // (builtIn: "int", "string", "anyType"...) or in the API's namespace
  // ("ZelAboutInfo", "ArrayOfString", "TypeName", "ManagedObjectReference").
  static XsiShape ForXsiType(bool builtIn, std::string_view local);
  static const TypePlan* AnyPlan();
  static const TypePlan* MoRefPlan();
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
