// olyx.fault.WireFormat: a message could not be written or read.
//
// An olyx.fault.InvalidArgument whose invalidProperty names the offending
// element as a path ("/Envelope/Body/ZelQueryProfile/query/profileId"), or the
// property or parameter a writer refused; reason says what was wrong. It is a
// fault of the runtime's own and travels over the wire like any other.
//
// The class Lumo::Wire::WireFormatFault, its record gOlyxFaultWireFormatTypeInfo
// and GetDoType<Wire::WireFormatFault>() are generated from schema/
// (Lumo/Wire/Generated/WireFormatFault.h); the reasons and ThrowWireFault are
// written here.
#pragma once

#include <Lumo/Wire/Generated/WireFormatFault.h>

#include <string>

namespace Lumo {
namespace Wire {

// What a message broke. The wire strings are the values of the reason
// property.
enum class Reason {
  kMalformed,          // "malformed": not well-formed XML, or not the expected structure
  kDoctype,            // "doctype": document type or entity declarations
  kTooLarge,           // "tooLarge": message larger than maxMessageBytes
  kTooDeep,            // "tooDeep": nesting deeper than maxDepth
  kTooManyElements,    // "tooManyElements": an array longer than maxArrayElements
  kStringTooLong,      // "stringTooLong": a text value longer than maxStringBytes
  kUnknownElement,     // "unknownElement": an element the reader does not know
  kUnknownType,        // "unknownType": a type name the runtime does not know
  kWrongType,          // "wrongType": a value of a class its place does not take
  kMissingProperty,    // "missingProperty": a required property or parameter is absent
  kDuplicateProperty,  // "duplicateProperty": a single-valued property given twice
  kBadValue,           // "badValue": a number, boolean, date or name that does not parse or fit
  kVersion,            // "version": a type, method or version the call's version does not have
  kNotSet,             // "notSet": a writer met a required value that is not set
  kUnknownObject,      // "unknownObject": the target of a call is not registered
  kUnknownMethod,      // "unknownMethod": the called method is not known
  kTransport,          // "transport": the transport failed or answered nothing usable
  kVersionMismatch,    // "versionMismatch": an envelope of another SOAP version
  kMustUnderstand,     // "mustUnderstand": a header block asks to be understood and is not
};

const char* ToWireString(Reason reason);

// Throws a WireFormatFault::Exception with the reason, the element path (as
// invalidProperty) and a message "<reason> at <path>: <detail>".
[[noreturn]] void ThrowWireFault(Reason reason, const std::string& path, const std::string& detail);

}  // namespace Wire
}  // namespace Lumo
