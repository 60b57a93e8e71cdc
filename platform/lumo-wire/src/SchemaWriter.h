// The XML Schema of an API version's messages, written from its model.
#pragma once

#include <cstddef>

#include "ApiModel.h"
#include "XmlDocWriter.h"

namespace Lumo {
namespace Wire {
namespace Detail {

inline constexpr const char* kXsdNamespace = "http://www.w3.org/2001/XMLSchema";

// Writes the xsd:schema element (no XML declaration) and returns the number
// of named types it defines. Refuses (WireFormatFault, reason "badValue") a
// name that is not an XML name or that two components would share.
size_t WriteSchema(const ApiModel& model, XmlDocWriter& out);

// The schema name of the type of a slot's values: "xsd:int",
// "tns:ZelProfileId", "tns:ManagedObjectReference".
std::string SchemaTypeOf(const TypePlan& plan);

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
