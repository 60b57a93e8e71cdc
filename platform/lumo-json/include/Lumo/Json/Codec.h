// Runtime values to and from JSON, driven by the description records only.
//
// The mapping (README.md of this library has it in full):
//   data objects and faults  {"_type": "<wire name>", "<property>": value, ...}
//                            properties in record order, bases first; "_type"
//                            only where the value's type is not the declared one
//   references               {"_type": "<managed type>", "_id": "<id>"}
//   strings, type names      "text"       booleans  true / false
//   int, long                integers     double    numbers; "NaN", "INF", "-INF"
//   dateTime                 "2024-02-29T13:05:00.000250+01:00"
//   enumerations             "<wire string>"
//   arrays                   [ ... ]
//   anyType                  typed always: a data object or reference as above,
//                            anything else {"_type": "int", "_value": 4},
//                            arrays {"_type": "zel.profile.ProfileId[]", "_value": [...]}
// Unset optional values, null references and empty arrays are left out.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/Json/Error.h>
#include <Lumo/Json/Options.h>
#include <Lumo/ManagedMethod.h>

#include <string>
#include <string_view>
#include <vector>

namespace Lumo {
namespace Json {

// Thread-safe: a codec holds only its options.
class Codec {
 public:
  // Throws Error (kVersion) for a version no registered version record names.
  explicit Codec(const Options& options = Options());

  // Any runtime value, typed as an anyType value is ("_type" always). Throws
  // Error when the value cannot be written (a newer type, text JSON cannot
  // carry, a required reference unset, a limit).
  std::string EncodeValue(const Any* value) const;
  // The same into out (cleared first; its capacity is kept for the next).
  void EncodeValue(const Any* value, std::string& out) const;
  // What EncodeValue writes; throws Error for anything else.
  Kestrum::Ref<Any> DecodeValue(std::string_view document) const;

  // The arguments of a call as one object, parameter name -> value, in the
  // form of the parameter's declared type; unset arguments left out. args
  // holds one boxed value per parameter (as stubs pass them).
  std::string EncodeArguments(const ManagedMethod* method,
                              const std::vector<Kestrum::Ref<Any>>& args) const;
  // One boxed value per parameter of the method (null where absent); refuses
  // unknown and duplicate names, missing required parameters and parameters
  // newer than the version.
  std::vector<Kestrum::Ref<Any>> DecodeArguments(const ManagedMethod* method,
                                                 std::string_view document) const;

  // A method's result (or a property's value) in the form of its declared
  // type: `null` for no result.
  std::string EncodeResult(const ManagedMethod* method, const Any* result) const;
  void EncodeResult(const ManagedMethod* method, const Any* result, std::string& out) const;
  Kestrum::Ref<Any> DecodeResult(const ManagedMethod* method, std::string_view document) const;

  const Options& GetOptions() const { return _options; }

 private:
  Options _options;
};

}  // namespace Json
}  // namespace Lumo
