// olyx.fault.WireFormat: a message could not be written or read.
//
// An olyx.fault.InvalidArgument whose invalidProperty names the offending
// element as a path ("/Envelope/Body/ZelQueryProfile/query/profileId"), or the
// property or parameter a writer refused; reason says what was wrong. It is a
// fault of the runtime's own and travels over the wire like any other.
#pragma once

#include <Kestrum/Optional.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/RuntimeTypeInfos.h>

#include <string>

extern const Lumo::TypeInfo gOlyxFaultWireFormatTypeInfo;

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

class WireFormatFault : public Fault::InvalidArgument {
 public:
  class Exception : public Fault::InvalidArgument::Exception {
   public:
    explicit Exception(WireFormatFault* fault);
    Exception(const Exception& other);
    ~Exception() override;

    // The held fault; asserts that it is a WireFormatFault.
    WireFormatFault* GetFault() const;
    Kestrum::Exception* Clone() const override;
    [[noreturn]] void Throw() const override;
  };

  WireFormatFault();
  ~WireFormatFault() override;

  Type* _GetType() const override;
  WireFormatFault* _Clone() const override;
  bool _IsEqual(const Any* other, bool looseMatch = false) const override;
  DataObjectType* _GetDataType() const override;

 protected:
  [[noreturn]] void ThrowInternal() override;

 public:
  Exception* CreateException() override;

  // reason: optional string, own index 0 (a wire string of Reason).
  const Kestrum::Optional<std::string>& GetReason() const { return _reason; }
  const std::string* PeekReason() const { return _reason.GetPtr(); }
  void SetReason(const Kestrum::Optional<std::string>& value);
  void SwapReason(Kestrum::Optional<std::string>* const value);
  void UnsetReason() { _reason.Reset(); }

 protected:
  WireFormatFault(const WireFormatFault& other);

 private:
  Kestrum::Optional<std::string> _reason;
};

// Throws a WireFormatFault::Exception with the reason, the element path (as
// invalidProperty) and a message "<reason> at <path>: <detail>".
[[noreturn]] void ThrowWireFault(Reason reason, const std::string& path, const std::string& detail);

}  // namespace Wire

template <>
DataObjectType* GetDoType<Wire::WireFormatFault>();
extern template class DataArray<Wire::WireFormatFault>;

}  // namespace Lumo
