#include <Lumo/MethodFault.h>
#include <Lumo/Type.h>
#include <Lumo/Validate.h>
#include <Lumo/Wire/Codec.h>

#include <cstring>

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

// The API namespace of a call: the version's, else the first component of
// the wire name of the method's type.
std::string NamespaceOf(const VersionFilter& filter, const ManagedMethod* method) {
  if (filter.GetRecord() && filter.GetRecord()->ns) return filter.GetRecord()->ns;
  std::string name = method ? method->GetOwner()->GetName() : "olyx";
  return name.substr(0, name.find('.'));
}

void CheckSize(const XmlOut& out, const Limits& limits, const std::string& where) {
  if (out.Size() > limits.maxMessageBytes) {
    ThrowWireFault(Reason::kTooLarge, where,
                   "message of " + std::to_string(out.Size()) + " bytes exceeds the limit of " +
                       std::to_string(limits.maxMessageBytes));
  }
}

// The copy a read parses in place: kept per thread between messages so that
// large messages do not take fresh memory from the system every time.
class ScratchCopy {
 public:
  explicit ScratchCopy(std::string_view message) {
    std::string& buffer = Buffer();
    if (!_inUse) {
      _inUse = true;
      _shared = true;
      buffer.assign(message.data(), message.size());
    } else {
      _own.assign(message.data(), message.size());
    }
  }
  ~ScratchCopy() {
    if (!_shared) return;
    _inUse = false;
    if (Buffer().capacity() > kKeptBytes) std::string().swap(Buffer());
  }
  ScratchCopy(const ScratchCopy&) = delete;
  ScratchCopy& operator=(const ScratchCopy&) = delete;
  std::string& Get() { return _shared ? Buffer() : _own; }

 private:
  static constexpr size_t kKeptBytes = 16u * 1024u * 1024u;
  static std::string& Buffer() {
    thread_local std::string buffer;
    return buffer;
  }
  static thread_local bool _inUse;
  bool _shared = false;
  std::string _own;
};

thread_local bool ScratchCopy::_inUse = false;

bool IsNamed(pugi::xml_node node, const char* local) {
  return node && std::strcmp(LocalName(node.name()), local) == 0;
}

// The Body of an envelope; header entries go to context when given.
pugi::xml_node BodyOf(pugi::xml_node envelope,
                      std::vector<std::pair<std::string, std::string>>* context) {
  if (!IsNamed(envelope, "Envelope")) Fail(Reason::kMalformed, envelope, "not a SOAP envelope");
  pugi::xml_node child = ValueReader::ElementFrom(envelope.first_child());
  if (IsNamed(child, "Header")) {
    if (context) {
      std::string key, value, scratch;
      Limits limits;
      for (pugi::xml_node block = ValueReader::ElementFrom(child.first_child()); block;
           block = ValueReader::NextElement(block)) {
        if (!IsNamed(block, "requestContext")) continue;
        for (pugi::xml_node entry = ValueReader::ElementFrom(block.first_child()); entry;
             entry = ValueReader::NextElement(entry)) {
          if (!IsNamed(entry, "entry") || !AttributeOf(entry, "key", key)) {
            Fail(Reason::kMalformed, entry, "a request context entry needs a key");
          }
          value = std::string(TextOf(entry, limits, scratch));
          if (FindInvalidXmlText(key) != std::string::npos ||
              FindInvalidXmlText(value) != std::string::npos) {
            Fail(Reason::kBadValue, entry, "request context text refused");
          }
          context->emplace_back(key, value);
        }
      }
    }
    child = ValueReader::NextElement(child);
  }
  if (!IsNamed(child, "Body")) Fail(Reason::kMalformed, envelope, "no SOAP body");
  if (ValueReader::NextElement(child)) {
    Fail(Reason::kMalformed, ValueReader::NextElement(child), "an element after the SOAP body");
  }
  pugi::xml_node content = ValueReader::ElementFrom(child.first_child());
  if (!content) Fail(Reason::kMalformed, child, "an empty SOAP body");
  if (ValueReader::NextElement(content)) {
    Fail(Reason::kMalformed, ValueReader::NextElement(content), "more than one body element");
  }
  return content;
}

void WriteEnvelopeHead(XmlOut& out) {
  out.Put(kDeclaration);
  out.Put(kEnvelopeOpen);
}

void WriteNamespaceAttr(XmlOut& out, const std::string& ns) {
  out.Put(" xmlns=\"urn:");
  out.AttrText(ns.data(), ns.size());
  out.Put("\">");
}

[[noreturn]] void ThrowFaultOf(pugi::xml_node faultNode, const VersionFilter& filter,
                               const Options& options) {
  std::string faultString, scratch;
  pugi::xml_node detail;
  for (pugi::xml_node child = ValueReader::ElementFrom(faultNode.first_child()); child;
       child = ValueReader::NextElement(child)) {
    if (IsNamed(child, "faultstring")) {
      faultString = std::string(TextOf(child, options.limits, scratch));
    } else if (IsNamed(child, "detail")) {
      detail = child;
    }
  }
  pugi::xml_node content = detail ? ValueReader::ElementFrom(detail.first_child()) : detail;
  if (content) {
    ValueReader reader(filter, options);
    const TypePlan* root = TypeTable::ForType(GetDoType<MethodFault>());
    Kestrum::Ref<Any> fault = reader.ReadObject(content, root, 1);
    static_cast<MethodFault*>(fault.Get())->Throw();
  }
  Kestrum::Ref<MethodFault> fault(new MethodFault());
  if (FindInvalidXmlText(faultString) == std::string::npos) fault->SetMsg(faultString);
  fault->Throw();
  throw MethodFault::Exception(fault.Get());  // Throw() does not return
}

}  // namespace

void ParseOnly(std::string_view message, const Limits& limits) {
  ScratchCopy copy(message);
  ParsedXml xml(copy.Get().data(), copy.Get().size(), limits);
}

Codec::Codec(const Options& options)
    : _options(options), _filter(std::make_unique<VersionFilter>(options.version)) {}

Codec::~Codec() = default;

std::string Codec::GetAction(const ManagedMethod* method) const {
  std::string action = "urn:" + NamespaceOf(*_filter, method);
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
  XmlOut xml(out);
  xml.Put(kDeclaration);
  std::string open = "<value";
  open += kNamespaces;
  ValueWriter writer(xml, *_filter, _options.limits);
  writer.WriteAnyValue(open, "</value>", value, 1);
  xml.Finish();
  CheckSize(xml, _options.limits, "value");
}

Kestrum::Ref<Any> Codec::DecodeValue(std::string_view message) const {
  ScratchCopy copy(message);
  return DecodeValueInPlace(copy.Get());
}

Kestrum::Ref<Any> Codec::DecodeValueInPlace(std::string& message) const {
  ParsedXml xml(message.data(), message.size(), _options.limits);
  pugi::xml_node root = xml.Root();
  if (!IsNamed(root, "value")) Fail(Reason::kMalformed, root, "the root element is not 'value'");
  ValueReader reader(*_filter, _options);
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

  XmlOut xml(out);
  WriteEnvelopeHead(xml);
  if (context && !context->GetAll().empty()) {
    xml.Put("<soapenv:Header><requestContext>");
    for (const auto& [key, value] : context->GetAll()) {
      xml.Put("<entry key=\"");
      bool ok = xml.AttrText(key.data(), key.size());
      xml.Put("\">");
      ok = ok && xml.Text(value.data(), value.size());
      if (!ok) ThrowWireFault(Reason::kBadValue, "requestContext." + key, "text refused");
      xml.Put("</entry>");
    }
    xml.Put("</requestContext></soapenv:Header>");
  }
  xml.Put(kBodyOpen);
  xml.Put(m.requestOpen);
  WriteNamespaceAttr(xml, NamespaceOf(*_filter, method));
  xml.Put("<_this");
  xml.Put(targetPlan->typeAttr);
  xml.Put('>');
  if (!xml.Text(target->GetId().data(), target->GetId().size())) {
    ThrowWireFault(Reason::kBadValue, name + "._this", "an id XML cannot carry");
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
  ScratchCopy copy(message);
  return DecodeRequestInPlace(copy.Get());
}

DecodedRequest Codec::DecodeRequestInPlace(std::string& message) const {
  DecodedRequest request;
  ParsedXml xml(message.data(), message.size(), _options.limits);
  pugi::xml_node operation = BodyOf(xml.Root(), &request.context);
  pugi::xml_node self = ValueReader::ElementFrom(operation.first_child());
  std::string typeName, scratch;
  if (!IsNamed(self, "_this") || !AttributeOf(self, "type", typeName)) {
    Fail(Reason::kMalformed, self ? self : operation, "a call names its target first, in _this");
  }
  const TypePlan* target = TypeTable::ForManagedWsdl(typeName);
  if (!target) Fail(Reason::kUnknownType, self, "unknown managed type '" + typeName + "'");
  auto found = target->methodsByWsdl.find(LocalName(operation.name()));
  if (found == target->methodsByWsdl.end()) {
    Fail(Reason::kUnknownMethod, operation,
         std::string("a ") + target->Name() + " has no method '" + LocalName(operation.name()) +
             "'");
  }
  const MethodPlan& m = *found->second;
  if (!_filter->Accepts(m.versionId)) {
    Fail(Reason::kVersion, operation,
         std::string("the method is of ") + m.version + ", the call is for " +
             _filter->GetVersion());
  }
  std::string id(TextOf(self, _options.limits, scratch));
  if (FindInvalidXmlText(id) != std::string::npos) Fail(Reason::kBadValue, self, "bad object id");
  request.method = m.method;
  request.target = new MoRef(target->type->GetName(), id);
  ValueReader reader(*_filter, _options);
  reader.ReadSlots(operation, self.next_sibling(), m.params.data(), m.params.size(), request.args,
                   0);
  return request;
}

// ---- Responses --------------------------------------------------------------------------

void Codec::EncodeResult(const ManagedMethod* method, const Any* result, std::string& out) const {
  out.clear();
  const MethodPlan& m = PlanOfMethod(method);
  XmlOut xml(out);
  WriteEnvelopeHead(xml);
  xml.Put(kBodyOpen);
  xml.Put(m.responseOpen);
  WriteNamespaceAttr(xml, NamespaceOf(*_filter, method));
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

void Codec::EncodeFault(const MethodFault* fault, std::string& out) const {
  out.clear();
  if (!fault) ThrowWireFault(Reason::kNotSet, "fault", "no fault to write");
  const TypePlan* plan = TypeTable::ForType(fault->_GetType());
  if (!plan || plan->kind != Kind::kData) {
    ThrowWireFault(Reason::kUnknownType, "fault", "the fault's type is not known to the runtime");
  }
  // The nearest type the version has: olyx.MethodFault at the latest.
  const TypePlan* as = plan;
  while (!_filter->Accepts(as->versionId) && as->data->GetBase()) {
    as = TypeTable::ForType(as->data->GetBase());
    if (!as) ThrowWireFault(Reason::kUnknownType, "fault", "a base of the fault is not known");
  }
  XmlOut xml(out);
  WriteEnvelopeHead(xml);
  xml.Put(kBodyOpen);
  xml.Put("<soapenv:Fault><faultcode>ServerFaultCode</faultcode><faultstring>");
  const std::string& msg = fault->GetMsg();
  const std::string& shown = msg.empty() ? std::string(plan->Name()) : msg;
  if (FindInvalidXmlText(shown) == std::string::npos) {
    xml.Text(shown.data(), shown.size());
  } else {
    xml.Put(plan->Name(), std::strlen(plan->Name()));
  }
  xml.Put("</faultstring><detail>");
  ValueWriter writer(xml, *_filter, _options.limits);
  writer.WriteObject("<" + as->xsiName + "Fault", "</" + as->xsiName + "Fault>", nullptr, fault, 1,
                     as);
  xml.Put("</detail></soapenv:Fault>");
  xml.Put(kBodyClose);
  xml.Put(kEnvelopeClose);
  xml.Finish();
  CheckSize(xml, _options.limits, "fault");
}

Kestrum::Ref<Any> Codec::DecodeResponse(const ManagedMethod* method,
                                        std::string_view message) const {
  ScratchCopy copy(message);
  return DecodeResponseInPlace(method, copy.Get());
}

Kestrum::Ref<Any> Codec::DecodeResponseInPlace(const ManagedMethod* method,
                                               std::string& message) const {
  const MethodPlan& m = PlanOfMethod(method);
  ParsedXml xml(message.data(), message.size(), _options.limits);
  pugi::xml_node content = BodyOf(xml.Root(), nullptr);
  if (IsNamed(content, "Fault")) ThrowFaultOf(content, *_filter, _options);
  if (std::strcmp(LocalName(content.name()), m.responseName.c_str()) != 0) {
    Fail(Reason::kMalformed, content,
         std::string("'") + content.name() + "' where '" + m.responseName + "' was expected");
  }
  ValueReader reader(*_filter, _options);
  std::vector<Kestrum::Ref<Any>> values;
  reader.ReadSlots(content, content.first_child(), &m.result, m.hasResult ? 1 : 0, values, 0,
                   false);
  if (!m.hasResult) return Kestrum::Ref<Any>();
  if (!values[0] && m.result.array) {
    return reader.ReadSlotValue(m.result, pugi::xml_node(), pugi::xml_node(), 0, 0);
  }
  return values[0];
}

}  // namespace Wire
}  // namespace Lumo
