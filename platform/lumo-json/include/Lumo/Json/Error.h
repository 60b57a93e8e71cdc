// The one exception of the JSON mapping: why a document or a value was refused
// and where.
#pragma once

#include <stdexcept>
#include <string>

namespace Lumo {
namespace Json {

// The same reasons, under the same names, as the XML wire's refusals.
enum class Reason {
  kMalformed,          // not JSON, or not the shape the mapping gives the value
  kTooLarge,           // the document exceeds maxMessageBytes
  kTooDeep,            // values nest deeper than maxDepth
  kTooManyElements,    // an array exceeds maxArrayElements
  kStringTooLong,      // a string exceeds maxStringBytes
  kUnknownElement,     // a member no property or parameter has (in this version)
  kUnknownType,        // a type name the runtime does not know
  kWrongType,          // a value of a type the place does not allow
  kMissingProperty,    // a required property or parameter is absent or null
  kDuplicateProperty,  // a member given twice
  kBadValue,           // a value its type cannot hold
  kVersion,            // a type, or the API version itself, not part of the version
  kNotSet,             // a required reference is not set when writing
};

// "malformed", "tooDeep"...: the XML wire's spelling.
const char* ToString(Reason reason);

class Error : public std::runtime_error {
 public:
  // what() reads "<reason> at <path>: <detail>" (no " at" for the root).
  Error(Reason reason, std::string path, const std::string& detail);

  Reason GetReason() const { return _reason; }
  // Where: members and indices from the value the call was given, as
  // "constraints.subProfiles[0].name"; empty for the value itself.
  const std::string& GetPath() const { return _path; }

 private:
  Reason _reason;
  std::string _path;
};

}  // namespace Json
}  // namespace Lumo
