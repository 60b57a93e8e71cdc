// The service description of an API: WSDL 1.1 (document/literal, wrapped)
// and the XML Schema of its messages, made at run time from the description
// records of whatever type libraries are registered.
//
// The schema describes exactly what the codec writes for a version: every
// element inside the SOAP body qualified in the API namespace ("urn:zel"),
// attributes unqualified; data objects as complex types extending their base
// (olyx's DynamicData at the root); optional values with minOccurs="0";
// arrays as repeated elements; enumerations as restrictions of xsd:string;
// anyType values as xsd:anyType (the wire always types them with xsi:type,
// arrays as ArrayOfString, ArrayOfAnyType, ArrayOfZelProfileId...); managed
// object references as ManagedObjectReference (the id as content, the
// managed type's WSDL name in the attribute "type"); the operation wrapper
// elements (ZelQueryProfile: _this, then the parameters; ZelQueryProfileResponse:
// returnval); one fault element per fault type (ZelDuplicateNameFault, typed
// ZelDuplicateName); and the request-context header block.
//
// A version's documents hold exactly the types, properties, methods and
// parameters the codec of that version accepts; the documents of "every
// version" hold what any version of the namespace has. Properties of managed
// types are not operations and are left out.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Lumo {
namespace Wire {

struct WsdlOptions {
  // The API version, by its full name ("zel.version.version2"). Empty: every
  // version of the namespace below.
  std::string version;
  // The API namespace ("zel"); taken from the version record when a version
  // is given, required otherwise.
  std::string ns;
  // The service's address (soap:address location).
  std::string location = "http://127.0.0.1/zel";
  // Where the WSDL finds the schema: its types section includes the schema
  // from there. Empty: the schema is written inline into the WSDL.
  std::string schemaLocation;
};

struct WsdlDocuments {
  std::string wsdl;
  // The schema on its own (a complete xsd:schema document).
  std::string schema;
  size_t operationCount = 0;
  // Named types the schema defines (complex and simple).
  size_t typeCount = 0;
};

// Throws a WireFormatFault (reason "version") for an unknown version or
// namespace, and (reason "badValue") for records whose names XML cannot
// carry or that would declare one schema name twice.
WsdlDocuments MakeWsdl(const WsdlOptions& options);

struct ApiVersion {
  std::string name;       // "zel.version.version2"
  std::string ns;         // "zel"
  std::string versionId;  // "2.0"
};

// Every version of every registered version record, in record order.
std::vector<ApiVersion> ListApiVersions();
// The namespaces that have version records, in registration order.
std::vector<std::string> ListApiNamespaces();
// The version a namespace names first among its designated versions (its
// newest numbered version); empty when the namespace has none.
std::string DefaultApiVersion(const std::string& ns);
// The version meant by a full name ("zel.version.version2"), a short name
// ("version2") or a version identifier ("2.0") within a namespace; empty when
// none matches.
std::string ResolveApiVersion(const std::string& ns, const std::string& text);
// Whether a call made for `version` carries an element (a type, property or
// method) of version `elementVersion`: the version itself, its ancestors
// through every registered version record, the runtime's base version, and
// elements of no version. An empty `version` carries every element. Throws a
// WireFormatFault (reason "version") for a version no record declares.
bool ApiVersionCarries(const std::string& version, const char* elementVersion);

}  // namespace Wire
}  // namespace Lumo
