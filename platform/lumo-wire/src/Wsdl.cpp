#include <Lumo/Type.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <Lumo/Wire/Wsdl.h>

#include <cctype>
#include <unordered_set>

#include "ApiModel.h"
#include "FaultElement.h"
#include "SchemaWriter.h"
#include "Versions.h"
#include "XmlDocWriter.h"

namespace Lumo {
namespace Wire {

using namespace Detail;

namespace {

constexpr const char* kWsdlNamespace = "http://schemas.xmlsoap.org/wsdl/";
constexpr const char* kSoapBindingNamespace = "http://schemas.xmlsoap.org/wsdl/soap/";
constexpr const char* kSoapHttp = "http://schemas.xmlsoap.org/soap/http";

// "zel" gives "Zel": the stem of the service, port type and binding names.
std::string Stem(const std::string& ns) {
  std::string stem;
  bool upper = true;
  for (char c : ns) {
    if (!std::isalnum(static_cast<unsigned char>(c))) {
      upper = true;
      continue;
    }
    stem += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    upper = false;
  }
  return stem.empty() ? std::string("Api") : stem;
}

class WsdlOut {
 public:
  WsdlOut(const ApiModel& model, const WsdlOptions& options, XmlDocWriter& out)
      : _model(model), _options(options), _out(out), _stem(Stem(model.GetNamespace())) {}

  size_t Write() {
    const std::string& tns = _model.GetTargetNamespace();
    _out.Declaration();
    _out.Open("wsdl:definitions", {{"xmlns:wsdl", kWsdlNamespace},
                                   {"xmlns:soap", kSoapBindingNamespace},
                                   {"xmlns:xsd", kXsdNamespace},
                                   {"xmlns:tns", tns},
                                   {"targetNamespace", tns},
                                   {"name", _stem + "Service"}});
    _out.Open("wsdl:types");
    if (_options.schemaLocation.empty()) {
      WriteSchema(_model, _out);
    } else {
      _out.Open("xsd:schema", {{"targetNamespace", tns}, {"elementFormDefault", "qualified"}});
      _out.Empty("xsd:include", {{"schemaLocation", _options.schemaLocation}});
      _out.Close();
    }
    _out.Close();
    WriteMessages();
    WritePortType();
    WriteBinding();
    _out.Open("wsdl:service", {{"name", _stem + "Service"}});
    _out.Open("wsdl:port", {{"name", _stem + "Port"}, {"binding", "tns:" + _stem + "Binding"}});
    _out.Empty("soap:address", {{"location", _options.location}});
    _out.Close();
    _out.Close();
    _out.Close();
    return _model.GetOperations().size();
  }

 private:
  static std::string FaultElement(const TypePlan& fault) {
    return Detail::FaultElementName(fault.xsiName);
  }

  void Message(const std::string& name, const std::string& element) {
    if (!_messages.insert(name).second) {
      ThrowWireFault(Reason::kBadValue, name, "two WSDL messages would have this name");
    }
    _out.Open("wsdl:message", {{"name", name}});
    _out.Empty("wsdl:part", {{"name", "parameters"}, {"element", "tns:" + element}});
    _out.Close();
  }

  void WriteMessages() {
    std::unordered_set<const TypePlan*> faults;
    for (const ApiOperation& op : _model.GetOperations()) {
      Message(op.method->wsdl + "RequestMsg", op.method->wsdl);
      Message(op.method->wsdl + "ResponseMsg", op.method->responseName);
      for (const TypePlan* fault : op.faults) {
        if (faults.insert(fault).second) {
          Message(FaultElement(*fault) + "Msg", FaultElement(*fault));
        }
      }
    }
  }

  void WritePortType() {
    _out.Open("wsdl:portType", {{"name", _stem + "PortType"}});
    for (const ApiOperation& op : _model.GetOperations()) {
      const std::string& name = op.method->wsdl;
      _out.Open("wsdl:operation", {{"name", name}});
      _out.Empty("wsdl:input", {{"message", "tns:" + name + "RequestMsg"}});
      _out.Empty("wsdl:output", {{"message", "tns:" + name + "ResponseMsg"}});
      for (const TypePlan* fault : op.faults) {
        _out.Empty("wsdl:fault", {{"name", FaultElement(*fault)},
                                  {"message", "tns:" + FaultElement(*fault) + "Msg"}});
      }
      _out.Close();
    }
    _out.Close();
  }

  void WriteBinding() {
    _out.Open("wsdl:binding", {{"name", _stem + "Binding"}, {"type", "tns:" + _stem + "PortType"}});
    _out.Empty("soap:binding", {{"style", "document"}, {"transport", kSoapHttp}});
    for (const ApiOperation& op : _model.GetOperations()) {
      _out.Open("wsdl:operation", {{"name", op.method->wsdl}});
      _out.Empty("soap:operation", {{"soapAction", op.action}, {"style", "document"}});
      _out.Open("wsdl:input");
      _out.Empty("soap:body", {{"use", "literal"}});
      _out.Close();
      _out.Open("wsdl:output");
      _out.Empty("soap:body", {{"use", "literal"}});
      _out.Close();
      for (const TypePlan* fault : op.faults) {
        _out.Open("wsdl:fault", {{"name", FaultElement(*fault)}});
        _out.Empty("soap:fault", {{"name", FaultElement(*fault)}, {"use", "literal"}});
        _out.Close();
      }
      _out.Close();
    }
    _out.Close();
  }

  const ApiModel& _model;
  const WsdlOptions& _options;
  XmlDocWriter& _out;
  std::string _stem;
  std::unordered_set<std::string> _messages;
};

}  // namespace

WsdlDocuments MakeWsdl(const WsdlOptions& options) {
  ApiModel model(options.version, options.ns);
  WsdlDocuments documents;
  XmlDocWriter schema(documents.schema);
  schema.Declaration();
  documents.typeCount = WriteSchema(model, schema);
  XmlDocWriter wsdl(documents.wsdl);
  documents.operationCount = WsdlOut(model, options, wsdl).Write();
  return documents;
}

std::vector<ApiVersion> ListApiVersions() {
  std::vector<ApiVersion> versions;
  for (const OlyxVersions* record : AllVersionRecords()) {
    for (uint32_t i = 0; i < record->versionCount; ++i) {
      const OlyxVersion& v = record->versions[i];
      versions.push_back(
          ApiVersion{v.name ? v.name : "", v.ns ? v.ns : "", v.versionId ? v.versionId : ""});
    }
  }
  return versions;
}

std::vector<std::string> ListApiNamespaces() {
  std::vector<std::string> namespaces;
  for (const ApiVersion& v : ListApiVersions()) {
    bool seen = false;
    for (const std::string& ns : namespaces) seen = seen || ns == v.ns;
    if (!seen) namespaces.push_back(v.ns);
  }
  return namespaces;
}

std::string DefaultApiVersion(const std::string& ns) {
  for (const OlyxVersions* record : AllVersionRecords()) {
    if (record->versionCount == 0 || !record->versions[0].ns || ns != record->versions[0].ns) {
      continue;
    }
    if (record->designatedVersions && record->designatedVersions[0]) {
      return record->designatedVersions[0];
    }
    return record->versions[record->versionCount - 1].name;
  }
  return std::string();
}

std::string ResolveApiVersion(const std::string& ns, const std::string& text) {
  for (const ApiVersion& v : ListApiVersions()) {
    if (v.ns != ns) continue;
    std::string shortName = v.name.substr(v.name.rfind('.') + 1);
    if (text == v.name || text == shortName || text == v.versionId) return v.name;
  }
  return std::string();
}

bool ApiVersionCarries(const std::string& version, const char* elementVersion) {
  return Detail::VersionFilter(version).Accepts(elementVersion);
}

}  // namespace Wire
}  // namespace Lumo
