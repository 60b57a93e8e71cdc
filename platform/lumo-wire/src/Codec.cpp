#include <Lumo/MethodFault.h>
#include <Lumo/Type.h>
#include <Lumo/Validate.h>
#include <Lumo/Wire/Codec.h>

#include <cstring>

#include "FaultElement.h"
#include "Namespaces.h"
#include "ReaderMemory.h"
#include "TypeTable.h"
#include "ValueReader.h"
#include "ValueWriter.h"
#include "Versions.h"
#include "Xml.h"
#include "XmlOut.h"

namespace Lumo {
namespace Wire {

using namespace Detail;

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr std::string_view kNamespaces =
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
constexpr std::string_view kEnvelopeOpen =
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
constexpr std::string_view kEnvelopeClose = "</soapenv:Envelope>";
constexpr std::string_view kBodyOpen = "<soapenv:Body>";
constexpr std::string_view kBodyClose = "</soapenv:Body>";

const MethodPlan& PlanOfMethod(const ManagedMethod* method) {
  if (!method) ThrowWireFault(Reason::kUnknownMethod, "", "no method given");
  const TypePlan* owner = TypeTable::ForType(method->GetOwner());
  size_t index = static_cast<size_t>(method->GetIndex());
  if (!owner || index >= owner->methods.size() || !owner->methods[index].method) {
    ThrowWireFault(Reason::kUnknownMethod, method->GetQualifiedName(),
                   "the method's type is not known to the runtime");
  }
  return owner->methods[index];
}

void CheckSize(const XmlOut& out, const Limits& limits, const std::string& where) {
  if (out.Size() > limits.maxMessageBytes) {
    ThrowWireFault(Reason::kTooLarge, where,
                   "message of " + std::to_string(out.Size()) + " bytes exceeds the limit of " +
                       std::to_string(limits.maxMessageBytes));
  }
}

// True for "urn:<ns>" where a registered version record declares ns.
bool IsApiUri(std::string_view uri) {
  constexpr std::string_view kUrn = "urn:";
  return uri.substr(0, kUrn.size()) == kUrn && IsApiNamespace(uri.substr(kUrn.size()));
}

// "namespace 'urn:x'" or "no namespace": for faults.
std::string NamespaceText(const NamespaceScope& scope, int ns) {
  if (ns == kNoNamespace) return "no namespace";
  return "namespace '" + std::string(scope.UriOf(ns)) + "'";
}

bool Is(const ResolvedName& name, int ns, std::string_view local) {
  return name.ns == ns && name.local == local;
}

// The parts of a SOAP 1.1 envelope. Its declarations stay in scope.
struct EnvelopeParts {
  pugi::xml_node header;
  pugi::xml_node body;
};

EnvelopeParts OpenEnvelope(ValueReader& reader, pugi::xml_node envelope) {
  NamespaceScope& scope = reader.Scope();
  scope.Declare(envelope);
  ResolvedName name = scope.Element(envelope);
  if (name.local != "Envelope") Fail(Reason::kMalformed, envelope, "not a SOAP envelope");
  if (name.ns != kSoapNs) {
    Fail(Reason::kVersionMismatch, envelope,
         "the envelope is in " + NamespaceText(scope, name.ns) + ", not in SOAP 1.1's '" +
             std::string(kSoapEnvelopeUri) + "'");
  }
  EnvelopeParts parts;
  pugi::xml_node child = ValueReader::ElementFrom(envelope.first_child());
  if (child && Is(reader.NameOf(child), kSoapNs, "Header")) {
    parts.header = child;
    child = ValueReader::NextElement(child);
  }
  if (!child || !Is(reader.NameOf(child), kSoapNs, "Body")) {
    Fail(Reason::kMalformed, envelope, "no SOAP body");
  }
  if (ValueReader::NextElement(child)) {
    Fail(Reason::kMalformed, ValueReader::NextElement(child), "an element after the SOAP body");
  }
  parts.body = child;
  return parts;
}

// The one element in the body; the body's declarations are pushed.
pugi::xml_node BodyContent(ValueReader& reader, pugi::xml_node body) {
  reader.Scope().Declare(body);
  pugi::xml_node content = ValueReader::ElementFrom(body.first_child());
  if (!content) Fail(Reason::kMalformed, body, "an empty SOAP body");
  if (ValueReader::NextElement(content)) {
    Fail(Reason::kMalformed, ValueReader::NextElement(content), "more than one body element");
  }
  return content;
}

// A boolean attribute of the envelope's namespace (mustUnderstand).
bool SoapFlag(pugi::xml_node block, const pugi::xml_attribute& attribute) {
  std::string_view value(attribute.value());
  if (value == "1" || value == "true") return true;
  if (value == "0" || value == "false") return false;
  Fail(Reason::kMalformed, block, "mustUnderstand is neither 0 nor 1");
}

// The header blocks: the request context goes to context when given; a block
// that must be understood and is not is refused (mustUnderstand). Blocks for
// another actor are not ours to judge.
void ReadHeader(ValueReader& reader, pugi::xml_node header,
                std::vector<std::pair<std::string, std::string>>* context, const Limits& limits) {
  NamespaceScope& scope = reader.Scope();
  ElementScope inHeader(scope, header);
  std::string key, value, scratch;
  for (pugi::xml_node block = ValueReader::ElementFrom(header.first_child()); block;
       block = ValueReader::NextElement(block)) {
    ElementScope inBlock(scope, block);
    ResolvedName name = scope.Element(block);
    if (context && Is(name, reader.ServiceNamespace(), "requestContext")) {
      for (pugi::xml_node entry = ValueReader::ElementFrom(block.first_child()); entry;
           entry = ValueReader::NextElement(entry)) {
        ResolvedName entryName = reader.NameOf(entry);
        if (!Is(entryName, reader.ServiceNamespace(), "entry") || !AttributeOf(entry, "key", key)) {
          Fail(Reason::kMalformed, entry, "a request context holds entries with a key");
        }
        value = std::string(TextOf(entry, limits, scratch));
        if (FindInvalidXmlText(key) != std::string::npos ||
            FindInvalidXmlText(value) != std::string::npos) {
          Fail(Reason::kBadValue, entry, "request context text refused");
        }
        context->emplace_back(key, value);
      }
      continue;
    }
    bool mustUnderstand = false;
    bool ours = true;
    for (pugi::xml_attribute a = block.first_attribute(); a; a = a.next_attribute()) {
      const char* attribute = a.name();
      const char* colon = std::strchr(attribute, ':');
      if (!colon || scope.Lookup(std::string_view(attribute, colon - attribute)) != kSoapNs) {
        continue;
      }
      if (std::strcmp(colon + 1, "mustUnderstand") == 0) mustUnderstand = SoapFlag(block, a);
      if (std::strcmp(colon + 1, "actor") == 0) ours = kSoapActorNext == a.value();
    }
    if (mustUnderstand && ours) {
      Fail(
          Reason::kMustUnderstand, block,
          "header block " + scope.Describe(name.ns, name.local) + " must be understood and is not");
    }
  }
}

void WriteEnvelopeHead(XmlOut& out) {
  out.Put(kDeclaration);
  out.Put(kEnvelopeOpen);
}

// Closes the start tag with the default namespace declaration.
void WriteNamespaceAttr(XmlOut& out, const std::string& uri) {
  out.Put(" xmlns=\"");
  out.AttrText(uri.data(), uri.size());
  out.Put("\">");
}

// Reads the fault a response carries and throws it as the exception of its
// own type. The detail element is in the service's namespace (or that of
// another type library) and named after the fault's type; its xsi:type,
// when present, gives the fault's actual type.
[[noreturn]] void ThrowFaultOf(ValueReader& reader, pugi::xml_node faultNode,
                               const Options& options) {
  NamespaceScope& scope = reader.Scope();
  ElementScope inFault(scope, faultNode);
  std::string faultString, scratch, codeName;
  int codeNs = kNoNamespace;
  pugi::xml_node detail;
  for (pugi::xml_node child = ValueReader::ElementFrom(faultNode.first_child()); child;
       child = ValueReader::NextElement(child)) {
    ElementScope inChild(scope, child);
    ResolvedName name = scope.Element(child);
    if (name.ns != kNoNamespace) continue;
    if (name.local == "faultcode") {
      ResolvedName code = scope.QName(child, TextOf(child, options.limits, scratch));
      codeNs = code.ns;
      codeName = std::string(code.local);
    } else if (name.local == "faultstring") {
      faultString = std::string(TextOf(child, options.limits, scratch));
    } else if (name.local == "detail") {
      detail = child;
    }
  }
  if (FindInvalidXmlText(faultString) != std::string::npos) faultString.clear();
  pugi::xml_node content;
  if (detail) {
    scope.Declare(detail);
    content = ValueReader::ElementFrom(detail.first_child());
  }
  if (content) {
    ElementScope inContent(scope, content);
    ResolvedName name = scope.Element(content);
    if (name.ns != reader.ServiceNamespace()) {
      if (name.ns == kNoNamespace || !IsApiUri(scope.UriOf(name.ns))) {
        reader.CheckInService(content, name);
      }
      reader.SetServiceNamespace(name.ns);
    }
    const TypePlan* root = TypeTable::ForType(GetDoType<MethodFault>());
    const TypePlan* declared = root;
    if (!XsiOf(scope, content).type) {
      // Without xsi:type the element's name tells the type.
      std::string_view local = name.local;
      std::string_view typeName = FaultTypeOfElement(local);
      XsiShape shape;
      if (!typeName.empty()) shape = TypeTable::ForXsiType(false, typeName);
      if (!shape.plan || shape.array) {
        Fail(Reason::kUnknownType, content,
             "no fault type is named by element '" + std::string(local) + "'");
      }
      if (shape.plan->kind != Kind::kData || !shape.plan->data->IsA(root->type)) {
        Fail(Reason::kWrongType, content, std::string(shape.plan->Name()) + " is not a fault");
      }
      declared = shape.plan;
    }
    Kestrum::Ref<Any> fault = reader.ReadObject(content, declared, 1);
    static_cast<MethodFault*>(fault.Get())->Throw();
  }
  if (codeNs == kSoapNs && codeName == "VersionMismatch") {
    ThrowWireFault(Reason::kVersionMismatch, PathOf(faultNode), faultString);
  }
  if (codeNs == kSoapNs && codeName == "MustUnderstand") {
    ThrowWireFault(Reason::kMustUnderstand, PathOf(faultNode), faultString);
  }
  auto fault = Kestrum::MakeRef<MethodFault>();
  fault->SetMsg(faultString);
  fault->Throw();
  throw MethodFault::Exception(fault.Get());  // Throw() does not return
}

const char* FaultCodeText(FaultCode code) {
  switch (code) {
    case FaultCode::kClient:
      return "soapenv:Client";
    case FaultCode::kVersionMismatch:
      return "soapenv:VersionMismatch";
    case FaultCode::kMustUnderstand:
      return "soapenv:MustUnderstand";
    case FaultCode::kServer:
      break;
  }
  return "soapenv:Server";
}

}  // namespace

void ParseOnly(std::string_view message, const Limits& limits) {
  MessageCopy copy(message);
  ParsedXml xml(copy.Get().data(), copy.Get().size(), limits);
}

size_t ReaderBytesKept() { return KeptReaderBytes(); }
size_t ReaderBytesShared() { return SharedReaderBytes(); }
void GiveBackReaderMemory() { FreeSharedReaderMemory(); }

void PrepareTypeTables() { Detail::TypeTable::AnyPlan(); }

Codec::Codec(const Options& options)
    : _options(options), _filter(std::make_unique<VersionFilter>(options.version)) {
  if (const OlyxVersion* record = _filter->GetRecord()) {
    _serviceUri = "urn:" + NamespaceOfVersion(record->name);
  }
  _primaryUri = "urn:" + PrimaryNamespace();
}

Codec::~Codec() = default;

const std::string& Codec::ServiceUriOf(const MethodPlan* method, const TypePlan* type) const {
  if (!_serviceUri.empty()) return _serviceUri;
  if (method) return method->uri;
  if (type && type->apiNamespace) return type->uri;
  return _primaryUri;
}

std::string Codec::GetAction(const ManagedMethod* method) const {
  const MethodPlan* plan = method ? &PlanOfMethod(method) : nullptr;
  std::string action = ServiceUriOf(plan, nullptr);
  if (_filter->GetRecord() && _filter->GetRecord()->versionId) {
    action += "/";
    action += _filter->GetRecord()->versionId;
  }
  return action;
}

// ---- Values --------------------------------------------------------------------------

void Codec::EncodeValue(const Any* value, std::string& out) const {
  out.clear();
  if (!value) ThrowWireFault(Reason::kNotSet, "value", "no value to write");
  const Type* type = value->_GetType();
  if (type && type->IsArray()) type = type->GetElementType();
  const std::string& uri = ServiceUriOf(nullptr, TypeTable::ForType(type));
  XmlOut xml(out);
  xml.Put(kDeclaration);
  std::string open = "<value xmlns=\"" + uri + "\"";
  open += kNamespaces;
  ValueWriter writer(xml, *_filter, _options.limits);
  writer.WriteAnyValue(open, "</value>", value, 1);
  xml.Finish();
  CheckSize(xml, _options.limits, "value");
}

Kestrum::Ref<Any> Codec::DecodeValue(std::string_view message) const {
  MessageCopy copy(message);
  return DecodeValueInPlace(copy.Get());
}

Kestrum::Ref<Any> Codec::DecodeValueInPlace(std::string& message) const {
  ParsedXml xml(message.data(), message.size(), _options.limits);
  pugi::xml_node root = xml.Root();
  ValueReader reader(*_filter, _options);
  NamespaceScope& scope = reader.Scope();
  scope.Declare(root);
  ResolvedName name = scope.Element(root);
  if (name.local != "value") Fail(Reason::kMalformed, root, "the root element is not 'value'");
  if (!_serviceUri.empty()) {
    reader.SetServiceNamespace(scope.Intern(_serviceUri));
    reader.CheckInService(root, name);
  } else if (name.ns != kNoNamespace &&
             (IsApiUri(scope.UriOf(name.ns)) || scope.UriOf(name.ns) == _primaryUri)) {
    // A service's namespace, or the one this codec writes values of the
    // runtime's own types in (the only one without a type library).
    reader.SetServiceNamespace(name.ns);
  } else {
    Fail(Reason::kUnknownElement, root,
         "the value is in " + NamespaceText(scope, name.ns) + ", not in a service's namespace");
  }
  return reader.ReadAny(root, 1);
}

// ---- Requests -------------------------------------------------------------------------

void Codec::EncodeRequest(const ManagedMethod* method, const MoRef* target,
                          const std::vector<Kestrum::Ref<Any>>& args, std::string& out,
                          const RequestContext* context) const {
  out.clear();
  const MethodPlan& m = PlanOfMethod(method);
  const std::string& name = method->GetQualifiedName();
  if (!_filter->Accepts(m.versionId)) {
    ThrowWireFault(Reason::kVersion, name,
                   std::string("the method is of ") + m.version + ", the call is for " +
                       _filter->GetVersion());
  }
  if (!target) ThrowWireFault(Reason::kNotSet, name + "._this", "no target object");
  const TypePlan* targetPlan = TypeTable::ForTypeName(target->GetTypeName());
  if (!targetPlan || !targetPlan->managed) {
    ThrowWireFault(Reason::kUnknownType, name + "._this",
                   "unknown managed type '" + target->GetTypeName() + "'");
  }
  if (!targetPlan->managed->IsA(method->GetOwner())) {
    ThrowWireFault(Reason::kWrongType, name + "._this",
                   "a " + target->GetTypeName() + " has no method " + name);
  }
  const std::string& uri = ServiceUriOf(&m, nullptr);

  XmlOut xml(out);
  WriteEnvelopeHead(xml);
  if (context && !context->GetAll().empty()) {
    xml.Put("<soapenv:Header><requestContext");
    WriteNamespaceAttr(xml, uri);
    for (const auto& [key, value] : context->GetAll()) {
      xml.Put("<entry key=\"");
      bool ok = xml.AttrText(key.data(), key.size());
      xml.Put("\">");
      ok = ok && xml.Text(value.data(), value.size());
      if (!ok) {
        std::string why;
        FindInvalidXmlText(key + value, &why);
        ThrowWireFault(Reason::kBadValue, "requestContext", "text refused: " + why);
      }
      xml.Put("</entry>");
    }
    xml.Put("</requestContext></soapenv:Header>");
  }
  xml.Put(kBodyOpen);
  xml.Put(m.requestOpen);
  WriteNamespaceAttr(xml, uri);
  xml.Put("<_this");
  xml.Put(targetPlan->typeAttr);
  xml.Put('>');
  if (!xml.Text(target->GetId().data(), target->GetId().size())) {
    std::string why;
    FindInvalidXmlText(target->GetId(), &why);
    ThrowWireFault(Reason::kBadValue, name + "._this", "an id XML cannot carry: " + why);
  }
  xml.Put("</_this>");
  ValueWriter writer(xml, *_filter, _options.limits);
  for (size_t i = 0; i < m.params.size(); ++i) {
    const Slot& p = m.params[i];
    if (!_filter->Accepts(p.versionId)) continue;
    const Any* arg = i < args.size() ? args[i].Get() : nullptr;
    if (!arg) {
      if (!p.optional && !p.array) {
        ThrowWireFault(Reason::kNotSet, name + "." + p.name, "required argument is missing");
      }
      continue;
    }
    writer.WriteBoxedSlot(p, arg, name + "." + p.name);
  }
  xml.Put(m.requestClose);
  xml.Put(kBodyClose);
  xml.Put(kEnvelopeClose);
  xml.Finish();
  CheckSize(xml, _options.limits, name);
}

DecodedRequest Codec::DecodeRequest(std::string_view message) const {
  MessageCopy copy(message);
  return DecodeRequestInPlace(copy.Get());
}

void Codec::DecodeRequest(std::string_view message, DecodedRequest& request) const {
  MessageCopy copy(message);
  DecodeRequestInPlace(copy.Get(), request);
}

DecodedRequest Codec::DecodeRequestInPlace(std::string& message) const {
  DecodedRequest request;
  DecodeRequestInPlace(message, request);
  return request;
}

void Codec::DecodeRequestInPlace(std::string& message, DecodedRequest& request) const {
  ParsedXml xml(message.data(), message.size(), _options.limits);
  ValueReader reader(*_filter, _options);
  NamespaceScope& scope = reader.Scope();
  EnvelopeParts envelope = OpenEnvelope(reader, xml.Root());
  size_t outside = scope.Mark();
  pugi::xml_node operation = BodyContent(reader, envelope.body);
  scope.Declare(operation);
  ResolvedName opName = scope.Element(operation);
  if (!_serviceUri.empty()) {
    reader.SetServiceNamespace(scope.Intern(_serviceUri));
    reader.CheckInService(operation, opName);
  } else if (opName.ns == kNoNamespace || !IsApiUri(scope.UriOf(opName.ns))) {
    Fail(Reason::kUnknownElement, operation,
         "operation '" + std::string(opName.local) + "' is in " + NamespaceText(scope, opName.ns) +
             ", not in a service's namespace");
  }
  pugi::xml_node self = ValueReader::ElementFrom(operation.first_child());
  std::string typeName, scratch;
  ResolvedName selfName = self ? reader.NameOf(self) : ResolvedName{};
  // A _this in another namespace is still first: the fault names its namespace.
  if (self && selfName.local == "_this" && selfName.ns != opName.ns) {
    Fail(Reason::kMalformed, self,
         "_this is in " + NamespaceText(scope, selfName.ns) + ", not in the operation's " +
             NamespaceText(scope, opName.ns));
  }
  if (!self || !Is(selfName, opName.ns, "_this") || !AttributeOf(self, "type", typeName)) {
    Fail(Reason::kMalformed, self ? self : operation, "a call names its target first, in _this");
  }
  const TypePlan* target = TypeTable::ForManagedWsdl(typeName);
  if (!target) Fail(Reason::kUnknownType, self, "unknown managed type '" + typeName + "'");
  auto found = target->methodsByWsdl.find(std::string(opName.local));
  if (found == target->methodsByWsdl.end()) {
    Fail(Reason::kUnknownMethod, operation,
         std::string("a ") + target->Name() + " has no method '" + std::string(opName.local) + "'");
  }
  const MethodPlan& m = *found->second;
  if (_serviceUri.empty()) {
    reader.SetServiceNamespace(scope.Intern(m.uri));
    reader.CheckInService(operation, opName);
  }
  if (!_filter->Accepts(m.versionId)) {
    Fail(Reason::kVersion, operation,
         std::string("the method is of ") + m.version + ", the call is for " +
             _filter->GetVersion());
  }
  std::string id(TextOf(self, _options.limits, scratch));
  if (FindInvalidXmlText(id) != std::string::npos) Fail(Reason::kBadValue, self, "bad object id");
  request.method = m.method;
  request.target = new MoRef(target->type->GetName(), id);
  // The header is read once the service's namespace is known.
  scope.Restore(outside);
  if (envelope.header) ReadHeader(reader, envelope.header, &request.context, _options.limits);
  BodyContent(reader, envelope.body);
  scope.Declare(operation);
  reader.ReadSlots(operation, self.next_sibling(), m.params.data(), m.params.size(), m.paramIndex,
                   request.args, 0);
}

// ---- Responses --------------------------------------------------------------------------

void Codec::EncodeResult(const ManagedMethod* method, const Any* result, std::string& out) const {
  out.clear();
  const MethodPlan& m = PlanOfMethod(method);
  XmlOut xml(out);
  WriteEnvelopeHead(xml);
  xml.Put(kBodyOpen);
  xml.Put(m.responseOpen);
  WriteNamespaceAttr(xml, ServiceUriOf(&m, nullptr));
  if (m.hasResult && result) {
    ValueWriter writer(xml, *_filter, _options.limits);
    writer.WriteBoxedSlot(m.result, result, method->GetQualifiedName() + ".result");
  }
  xml.Put(m.responseClose);
  xml.Put(kBodyClose);
  xml.Put(kEnvelopeClose);
  xml.Finish();
  CheckSize(xml, _options.limits, method->GetQualifiedName());
}

const TypePlan& Codec::PlanOfFault(const MethodFault* fault) const {
  if (!fault) ThrowWireFault(Reason::kNotSet, "fault", "no fault to write");
  const TypePlan* plan = TypeTable::ForType(fault->_GetType());
  if (!plan || plan->kind != Kind::kData) {
    ThrowWireFault(Reason::kUnknownType, "fault", "the fault's type is not known to the runtime");
  }
  return *plan;
}

const TypePlan& Codec::WrittenPlanOfFault(const TypePlan& plan) const {
  // The nearest type the version has: olyx.MethodFault at the latest.
  const TypePlan* as = &plan;
  while (!_filter->Accepts(as->versionId) && as->data->GetBase()) {
    as = TypeTable::ForType(as->data->GetBase());
    if (!as) ThrowWireFault(Reason::kUnknownType, "fault", "a base of the fault is not known");
  }
  return *as;
}

const std::string& Codec::GetFaultTypeName(const MethodFault* fault) const {
  return WrittenPlanOfFault(PlanOfFault(fault)).xsiName;
}

void Codec::EncodeFault(const MethodFault* fault, std::string& out, FaultCode code,
                        const ManagedMethod* method) const {
  out.clear();
  const TypePlan* plan = &PlanOfFault(fault);
  const TypePlan* as = &WrittenPlanOfFault(*plan);
  const MethodPlan* call = method ? &PlanOfMethod(method) : nullptr;
  XmlOut xml(out);
  WriteEnvelopeHead(xml);
  xml.Put(kBodyOpen);
  xml.Put("<soapenv:Fault><faultcode>");
  xml.Put(std::string_view(FaultCodeText(code)));
  xml.Put("</faultcode><faultstring>");
  const std::string& msg = fault->GetMsg();
  const std::string& shown = msg.empty() ? std::string(plan->Name()) : msg;
  if (FindInvalidXmlText(shown) == std::string::npos) {
    xml.Text(shown.data(), shown.size());
  } else {
    xml.Put(plan->Name(), std::strlen(plan->Name()));
  }
  xml.Put("</faultstring>");
  // Faults about the envelope or its header carry no detail.
  if (code == FaultCode::kClient || code == FaultCode::kServer) {
    xml.Put("<detail>");
    std::string element = FaultElementName(as->xsiName);
    std::string open = "<" + element + " xmlns=\"" + ServiceUriOf(call, plan) + "\"";
    ValueWriter writer(xml, *_filter, _options.limits);
    writer.WriteObject(open, "</" + element + ">", nullptr, fault, 1, as);
    xml.Put("</detail>");
  }
  xml.Put("</soapenv:Fault>");
  xml.Put(kBodyClose);
  xml.Put(kEnvelopeClose);
  xml.Finish();
  CheckSize(xml, _options.limits, "fault");
}

Kestrum::Ref<Any> Codec::DecodeResponse(const ManagedMethod* method,
                                        std::string_view message) const {
  MessageCopy copy(message);
  return DecodeResponseInPlace(method, copy.Get());
}

Kestrum::Ref<Any> Codec::DecodeResponseInPlace(const ManagedMethod* method,
                                               std::string& message) const {
  const MethodPlan& m = PlanOfMethod(method);
  ParsedXml xml(message.data(), message.size(), _options.limits);
  ValueReader reader(*_filter, _options);
  NamespaceScope& scope = reader.Scope();
  EnvelopeParts envelope = OpenEnvelope(reader, xml.Root());
  reader.SetServiceNamespace(scope.Intern(ServiceUriOf(&m, nullptr)));
  if (envelope.header) ReadHeader(reader, envelope.header, nullptr, _options.limits);
  pugi::xml_node content = BodyContent(reader, envelope.body);
  scope.Declare(content);
  ResolvedName name = scope.Element(content);
  if (Is(name, kSoapNs, "Fault")) ThrowFaultOf(reader, content, _options);
  if (name.local != m.responseName) {
    Fail(Reason::kMalformed, content,
         "'" + std::string(name.local) + "' where '" + m.responseName + "' was expected");
  }
  reader.CheckInService(content, name);
  std::vector<Kestrum::Ref<Any>> values;
  reader.ReadSlots(content, content.first_child(), &m.result, m.hasResult ? 1 : 0, m.resultIndex,
                   values, 0, false);
  if (!m.hasResult) return Kestrum::Ref<Any>();
  if (!values[0] && m.result.array) {
    return reader.ReadSlotValue(m.result, pugi::xml_node(), pugi::xml_node(), 0, 0);
  }
  return values[0];
}

}  // namespace Wire
}  // namespace Lumo
