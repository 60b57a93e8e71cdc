// The wire format: SOAP 1.1 messages for values, calls, results and faults,
// written and read through the runtime's description records only.
//
// Everything inside the SOAP body is qualified in the service's namespace
// ("urn:" and the namespace of the version records, "urn:zel"): the call's
// wrapper element, its parameters, _this, returnval, every property at every
// depth, array items, and the detail element of a fault. Attributes ("type"
// of references) are unqualified; xsi:type values are QNames (XML Schema
// built-ins as xsd:int, API types unprefixed in the default namespace).
//
// A request:
//   <soapenv:Envelope xmlns:soapenv=... xmlns:xsd=... xmlns:xsi=...>
//    <soapenv:Header><requestContext xmlns="urn:zel"><entry key="k">v</entry>
//     </requestContext></soapenv:Header>
//    <soapenv:Body><ZelQueryProfile xmlns="urn:zel">
//     <_this type="ZelProfileProfileManager">ProfileManager</_this>
//     <query>...</query>
//    </ZelQueryProfile></soapenv:Body></soapenv:Envelope>
// A response: <ZelQueryProfileResponse xmlns="urn:zel"><returnval>...</returnval>...
// A fault: <soapenv:Fault><faultcode>soapenv:Server</faultcode><faultstring>..</faultstring>
//   <detail><ZelFaultNotFoundFault xmlns="urn:zel" xsi:type="ZelFaultNotFound">...
//   </ZelFaultNotFoundFault></detail></soapenv:Fault>
//
// Readers match elements by namespace and local name whatever the prefixes,
// resolve xsi:type values through the declarations in scope, take
// xsi:nil="true" as an unset optional value, refuse envelopes of another SOAP
// version (versionMismatch) and header blocks that must be understood and are
// not (mustUnderstand). Writers refuse text that is not well-formed XML
// (invalid UTF-8, characters XML 1.0 forbids) before anything is sent.
//
// Values: properties in record order, bases first, element names the wire
// names; xsi:type where a value's type is not the declared one (always for
// anyType); references as <name type="WsdlName">id</name>; arrays as repeated
// elements; unset optional values, null references and empty arrays omitted.
//
// A codec is immutable after construction and may be shared between threads.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/MethodFault.h>
#include <Lumo/MoRef.h>
#include <Lumo/Stub.h>
#include <Lumo/Wire/Options.h>
#include <Lumo/Wire/WireFormatFault.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Lumo {
namespace Wire {

namespace Detail {
class VersionFilter;
struct MethodPlan;
struct TypePlan;
}  // namespace Detail

// The faultcode of a fault response, qualified in the envelope's namespace:
// Client when the request is at fault (malformed, an unknown method or
// object, bad arguments), Server when the service failed, VersionMismatch
// for an envelope of another SOAP version, MustUnderstand for a header block
// that asked to be understood and was not.
enum class FaultCode { kClient, kServer, kVersionMismatch, kMustUnderstand };

// A call as the receiving side reads it.
struct DecodedRequest {
  const ManagedMethod* method = nullptr;
  Kestrum::Ref<MoRef> target;
  // One slot per parameter of the method, as stubs pack them (strings and
  // plain values boxed, booleans the shared ones); null where absent.
  std::vector<Kestrum::Ref<Any>> args;
  // The request context entries the caller sent.
  std::vector<std::pair<std::string, std::string>> context;
};

class Codec {
 public:
  // Throws WireFormatFault (reason "version") for an unknown version.
  explicit Codec(const Options& options = Options());
  ~Codec();
  Codec(const Codec&) = delete;
  Codec& operator=(const Codec&) = delete;

  const Options& GetOptions() const { return _options; }
  const std::string& GetVersion() const { return _options.version; }
  // What names the API and version of a call (a SOAP action):
  // "urn:zel/2.0"; "urn:zel" for a codec of every version.
  std::string GetAction(const ManagedMethod* method) const;

  // ---- Values --------------------------------------------------------------------
  // A document whose root element "value" holds the value as anyType.
  void EncodeValue(const Any* value, std::string& out) const;
  Kestrum::Ref<Any> DecodeValue(std::string_view message) const;
  // The same without a copy: message is parsed in place and left changed.
  Kestrum::Ref<Any> DecodeValueInPlace(std::string& message) const;

  // ---- Calls -------------------------------------------------------------------
  // Refuses (WireFormatFault) a method, parameter value or value type newer
  // than the codec's version, a missing required argument, and values the
  // format cannot carry. Parameters newer than the version are left out.
  void EncodeRequest(const ManagedMethod* method, const MoRef* target,
                     const std::vector<Kestrum::Ref<Any>>& args, std::string& out,
                     const RequestContext* context = nullptr) const;
  DecodedRequest DecodeRequest(std::string_view message) const;
  DecodedRequest DecodeRequestInPlace(std::string& message) const;
  // The same into request, filled as the message is read: when reading
  // fails, what was read before (the method, the target) stays there.
  void DecodeRequest(std::string_view message, DecodedRequest& request) const;
  void DecodeRequestInPlace(std::string& message, DecodedRequest& request) const;

  // The response with a method's result (null: none).
  void EncodeResult(const ManagedMethod* method, const Any* result, std::string& out) const;
  // The response with a fault. A fault of a type newer than the version is
  // sent as its nearest base type the version has. method, when known, names
  // the call the fault answers (its namespace, for a codec of every
  // version). VersionMismatch and MustUnderstand faults carry no detail.
  void EncodeFault(const MethodFault* fault, std::string& out, FaultCode code = FaultCode::kServer,
                   const ManagedMethod* method = nullptr) const;
  // The xsi:type name EncodeFault writes a fault as ("ZelFaultNotFound"): its
  // own type's, or its nearest base's the version has. Throws as EncodeFault
  // does for a fault of a type the runtime does not know.
  const std::string& GetFaultTypeName(const MethodFault* fault) const;
  // The result of a response (an empty array for an array result without
  // elements, null for none), or throws the fault it carries as the
  // exception class of the fault's own type.
  Kestrum::Ref<Any> DecodeResponse(const ManagedMethod* method, std::string_view message) const;
  Kestrum::Ref<Any> DecodeResponseInPlace(const ManagedMethod* method, std::string& message) const;

 private:
  // The namespace of a message: the codec's, else the method's, else the
  // value type's when a version record declares it, else the primary one.
  const std::string& ServiceUriOf(const Detail::MethodPlan* method,
                                  const Detail::TypePlan* type) const;
  // The plan of a fault's own type, and the one it is written as.
  const Detail::TypePlan& PlanOfFault(const MethodFault* fault) const;
  const Detail::TypePlan& WrittenPlanOfFault(const Detail::TypePlan& plan) const;

  Options _options;
  std::unique_ptr<Detail::VersionFilter> _filter;
  // "urn:zel": the namespace of the codec's version; empty for a codec of
  // every version, whose messages take the namespace of their method or type.
  std::string _serviceUri;
  // For a codec of every version, where neither tells: the namespace of the
  // type library on top.
  std::string _primaryUri;
};

// The parse alone, with the readers' parser and settings, building nothing:
// for measurements. Throws what a reader throws for bytes that do not parse.
void ParseOnly(std::string_view message, const Limits& limits = Limits());

// Builds the tables through which messages of the types created so far are
// read and written, which the first message read or written would build
// otherwise (a few million instructions): for a server that would rather
// build them on a thread of its own while it starts than on its first call.
void PrepareTypeTables();

// Bytes the calling thread keeps between reads to make the next one cheaper
// (parser pages and the copy of the message): a few MiB at most, whatever
// the size of the messages it read before.
size_t ReaderBytesKept();
// Parser pages and a message copy kept for whichever thread reads next:
// 48 MiB at most for the process, however many threads read.
size_t ReaderBytesShared();
// Frees what is kept for whichever thread reads next, and asks the C
// library to return free memory to the system: for a process that has read
// large messages and may now be idle. The calling thread keeps a few pages
// and a small copy.
void GiveBackReaderMemory();

}  // namespace Wire
}  // namespace Lumo
