#include "Arguments.h"

#include <Lumo/Wire/XmlText.h>

#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <stdexcept>

#include "Records.h"

namespace ZelCli {

namespace {

// What the assignments say about one value: its text, type and properties or
// elements, built up one assignment at a time.
struct Node {
  bool hasText = false;
  std::string text;
  std::string type;
  std::vector<std::pair<std::string, Node>> fields;  // in the order first given
  std::map<int, Node> items;                         // array elements by index
  int nextItem = 0;

  Node& Field(const std::string& name) {
    for (auto& [fieldName, node] : fields) {
      if (fieldName == name) return node;
    }
    fields.emplace_back(name, Node());
    return fields.back().second;
  }
};

[[noreturn]] void Refuse(const std::string& assignment, const std::string& why) {
  throw std::invalid_argument("in \"" + assignment.substr(0, 200) + "\": " + why);
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Follows one assignment's path from the root of all parameters and records
// its value there.
void Apply(Node& root, const std::string& assignment, InputFiles& files) {
  size_t equals = assignment.find('=');
  if (equals == std::string::npos || equals == 0) Refuse(assignment, "expected NAME=VALUE");
  std::string path = assignment.substr(0, equals);
  std::string value = assignment.substr(equals + 1);
  bool isType = false;
  if (path.size() > 5 && path.compare(path.size() - 5, 5, "@type") == 0) {
    isType = true;
    path.resize(path.size() - 5);
  }
  Node* node = &root;
  size_t at = 0;
  while (at < path.size()) {
    size_t start = at;
    while (at < path.size() && IsNameChar(path[at])) ++at;
    if (at == start) Refuse(assignment, "a name is missing at \"" + path.substr(start) + "\"");
    node = &node->Field(path.substr(start, at - start));
    while (at < path.size() && path[at] == '[') {
      size_t close = path.find(']', at);
      if (close == std::string::npos) Refuse(assignment, "an unclosed [");
      std::string index = path.substr(at + 1, close - at - 1);
      int n = node->nextItem;
      if (!index.empty()) {
        if (index.size() > 6 || index.find_first_not_of("0123456789") != std::string::npos) {
          Refuse(assignment, "an index is a number below 1000000: [" + index + "]");
        }
        n = std::stoi(index);
      }
      node->nextItem = std::max(node->nextItem, n + 1);
      node = &node->items[n];
      at = close + 1;
    }
    if (at < path.size()) {
      if (path[at] != '.' || at + 1 == path.size()) {
        Refuse(assignment, "unexpected \"" + path.substr(at) + "\" in the name");
      }
      ++at;
    }
  }
  if (isType) {
    node->type = value;
    return;
  }
  if (!value.empty() && value[0] == '@') {
    try {
      value = files.Read(value.substr(1));
      // One final line break is dropped, as the shell's $(...) drops it:
      // `echo STORAGE | zel call ... name=@-` gives "STORAGE".
      if (!value.empty() && value.back() == '\n') value.pop_back();
      if (!value.empty() && value.back() == '\r') value.pop_back();
    } catch (const std::invalid_argument& e) {
      Refuse(assignment, e.what());
    }
  }
  if (node->hasText) Refuse(assignment, "this value is given twice");
  node->hasText = true;
  node->text = value;
}

// Appends text escaped as the codec's writer escapes it; refuses, naming
// where it stands, what XML cannot carry.
void AppendEscaped(std::string& out, const std::string& where, std::string_view text,
                   Lumo::Wire::XmlEscape escape) {
  if (!Lumo::Wire::AppendXmlEscaped(out, text, escape)) {
    throw std::invalid_argument(
        where + ": holds what XML cannot carry (invalid UTF-8 or a control character)");
  }
}

// Writes values as the wire has them, checking names and shapes against the
// records as it goes. `where` names the value in messages ("spec.name").
class RequestWriter {
 public:
  explicit RequestWriter(std::string& out) : _out(out) {}

  void Slot(const std::string& where, const char* name, const Lumo::TypeInfo* declared,
            uint32_t flags, const Node& node) {
    Lumo::Type* type = TypeOf(declared);
    if (type == nullptr) Fail(where, "its type is not known to the runtime");
    if (!node.items.empty()) {
      if (!(flags & Lumo::kFlagArray)) Fail(where, "it is not an array, so takes no [index]");
      if (node.hasText || !node.fields.empty()) {
        Fail(where, "give either the array's elements by [index] or one value, not both");
      }
      for (const auto& [index, item] : node.items) {
        Element(where + "[" + std::to_string(index) + "]", name, type, item);
      }
      return;
    }
    Element(where, name, type, node);
  }

 private:
  [[noreturn]] void Fail(const std::string& where, const std::string& why) {
    throw std::invalid_argument(where + ": " + why);
  }

  // The actual type of a value: the declared one, or the one @type names.
  Lumo::Type* ActualType(const std::string& where, Lumo::Type* declared, const Node& node,
                         std::string& xsiType) {
    xsiType.clear();
    if (node.type.empty()) {
      if (declared->GetKind() == Lumo::kTypeKindPrimitive &&
          std::string(declared->GetName()) == "anyType") {
        xsiType = "xsd:string";  // an anyType value given as text is a string
      }
      return declared;
    }
    if (node.type.rfind("xsd:", 0) == 0) {
      xsiType = node.type;
      return declared;
    }
    Lumo::Type* actual = FindAnyType(node.type);
    if (actual == nullptr) Fail(where, "@type names no type: " + node.type);
    if (!actual->IsA(declared) && std::string(declared->GetName()) != "anyType") {
      Fail(where, std::string("a ") + actual->GetName() + " is not a " + declared->GetName());
    }
    xsiType = actual->GetWsdlName();
    return actual;
  }

  void Element(const std::string& where, const char* name, Lumo::Type* declared, const Node& node) {
    std::string xsiType;
    Lumo::Type* type = ActualType(where, declared, node, xsiType);
    _out += "<";
    _out += name;
    if (!xsiType.empty()) {
      _out += " xsi:type=\"";
      AppendEscaped(_out, where + "@type", xsiType, Lumo::Wire::XmlEscape::kAttribute);
      _out += '"';
    }
    if (node.hasText && !node.text.empty() && node.text[0] == '<') {
      if (!node.fields.empty()) Fail(where, "give its content as XML or by properties, not both");
      _out += ">" + node.text;
    } else if (auto* managed = dynamic_cast<Lumo::ManagedObjectType*>(type)) {
      MoRef(where, managed, node);
    } else if (auto* data = dynamic_cast<Lumo::DataObjectType*>(type)) {
      if (node.hasText) {
        Fail(where, std::string("a ") + data->GetName() + " is given by its properties (" + where +
                        ".NAME=...) or as XML");
      }
      _out += ">";
      Properties(where, data, node);
    } else {
      if (!node.fields.empty()) {
        Fail(where, std::string("a ") + type->GetName() + " has no properties");
      }
      if (!node.hasText) Fail(where, "no value given");
      _out += '>';
      AppendEscaped(_out, where, node.text, Lumo::Wire::XmlEscape::kText);
    }
    _out += "</";
    _out += name;
    _out += ">";
  }

  void MoRef(const std::string& where, Lumo::ManagedObjectType* declared, const Node& node) {
    if (!node.fields.empty() || !node.hasText) {
      Fail(where, "a reference is given as ID or TYPE:ID");
    }
    std::string id = node.text;
    Lumo::ManagedObjectType* type = declared;
    size_t colon = id.rfind(':');
    if (colon != std::string::npos) {
      std::string error;
      type = FindManagedType(id.substr(0, colon), error);
      if (type == nullptr) Fail(where, error);
      id = id.substr(colon + 1);
    }
    _out += " type=\"";
    AppendEscaped(_out, where, type->GetWsdlName(), Lumo::Wire::XmlEscape::kAttribute);
    _out += "\">";
    AppendEscaped(_out, where, id, Lumo::Wire::XmlEscape::kText);
  }

  void Properties(const std::string& where, const Lumo::DataObjectType* type, const Node& node) {
    std::vector<Property> properties = AllProperties(type);
    for (const auto& [fieldName, field] : node.fields) {
      bool known = false;
      for (const Property& property : properties) known |= fieldName == property.info->name;
      if (!known) {
        std::string names;
        for (const Property& property : properties) names += std::string(" ") + property.info->name;
        Fail(where + "." + fieldName,
             std::string("a ") + type->GetName() + " has no such property; it has:" +
                 (names.empty() ? " none" : names) + Subtypes(where, type));
      }
    }
    // In record order, bases first: the order the wire wants.
    for (const Property& property : properties) {
      for (const auto& [fieldName, field] : node.fields) {
        if (fieldName == property.info->name) {
          Slot(where + "." + fieldName, property.info->name, property.info->type,
               property.info->flags, field);
        }
      }
    }
  }

  // A hint naming the types derived from type, which @type can choose.
  static std::string Subtypes(const std::string& where, const Lumo::DataObjectType* type) {
    std::string names;
    for (Lumo::Type* other : Lumo::GetAllTypes()) {
      if (other != type && other->IsDataObject() && other->IsA(type)) {
        names += std::string(" ") + other->GetName();
      }
    }
    if (names.empty()) return std::string();
    return "; a subtype may have it (" + where + "@type=TYPE):" + names;
  }

  std::string& _out;
};

// The parameters a body gives, each as the XML of its element(s), by name.
std::map<std::string, std::string> BodyParameters(
    const std::string& xml, const Lumo::ManagedMethod& method,
    const std::vector<const Lumo::ParamInfo*>& params) {
  pugi::xml_document document;
  pugi::xml_parse_result parsed =
      document.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_fragment);
  if (!parsed) {
    throw std::invalid_argument(std::string("the request body is not XML: ") +
                                parsed.description() + " at byte " + std::to_string(parsed.offset));
  }
  pugi::xml_node holder = document;
  pugi::xml_node first = document.first_child();
  while (first && first.type() != pugi::node_element) first = first.next_sibling();
  if (first && std::string(first.name()) == method.GetWsdlName()) holder = first;
  std::map<std::string, std::string> found;
  for (pugi::xml_node child : holder.children()) {
    if (child.type() == pugi::node_pcdata &&
        std::string(child.value()).find_first_not_of(" \t\r\n") == std::string::npos) {
      continue;
    }
    if (child.type() != pugi::node_element) {
      if (child.type() == pugi::node_comment || child.type() == pugi::node_declaration) continue;
      throw std::invalid_argument("the request body holds text outside the parameters' elements");
    }
    std::string name = child.name();
    if (name == "_this") continue;  // the object comes from OBJECT
    bool known = false;
    for (const Lumo::ParamInfo* p : params) known |= name == p->name;
    if (!known) {
      std::string names;
      for (const Lumo::ParamInfo* p : params) names += std::string(" ") + p->name;
      throw std::invalid_argument(
          "the request body's <" + name + ">: " + method.GetQualifiedName() +
          " has no such parameter; it has:" + (names.empty() ? " none" : names));
    }
    std::ostringstream text;
    child.print(text, "", pugi::format_raw);
    found[name] += text.str();
  }
  return found;
}

}  // namespace

std::string BuildRequest(const Lumo::ManagedMethod& method, const Lumo::ManagedObjectType& target,
                         const std::string& id, const RequestArguments& arguments,
                         const std::string& ns, InputFiles& files) {
  Node root;
  for (const std::string& assignment : arguments.assignments) Apply(root, assignment, files);
  std::vector<const Lumo::ParamInfo*> params;
  if (const Lumo::MethodInfo* info = method.GetMethodInfo()) {
    for (const Lumo::ParamInfo* p = info->parameters; p && p->name; ++p) params.push_back(p);
  }
  std::map<std::string, std::string> body;
  if (!arguments.bodyXml.empty()) body = BodyParameters(arguments.bodyXml, method, params);
  for (const auto& [name, node] : root.fields) {
    if (body.count(name) != 0) {
      throw std::invalid_argument(name + ": given both in the request body and as an argument");
    }
  }
  for (const auto& [name, node] : root.fields) {
    bool known = false;
    for (const Lumo::ParamInfo* p : params) known |= name == p->name;
    if (!known) {
      std::string names;
      for (const Lumo::ParamInfo* p : params) names += std::string(" ") + p->name;
      throw std::invalid_argument(
          name + ": " + method.GetQualifiedName() +
          " has no such parameter; it has:" + (names.empty() ? " none" : names));
    }
  }
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>";
  out += std::string("<") + method.GetWsdlName() + " xmlns=\"";
  AppendEscaped(out, "the namespace", ns, Lumo::Wire::XmlEscape::kAttribute);
  out += "\"><_this type=\"";
  AppendEscaped(out, "the object", target.GetWsdlName(), Lumo::Wire::XmlEscape::kAttribute);
  out += "\">";
  AppendEscaped(out, "the object id", id, Lumo::Wire::XmlEscape::kText);
  out += "</_this>";
  RequestWriter writer(out);
  // In parameter order, from the body or the assignments.
  for (const Lumo::ParamInfo* p : params) {
    auto inBody = body.find(p->name);
    if (inBody != body.end()) out += inBody->second;
    for (const auto& [name, node] : root.fields) {
      if (name == p->name) writer.Slot(name, p->name, p->type, p->flags, node);
    }
  }
  out += std::string("</") + method.GetWsdlName() + "></soapenv:Body></soapenv:Envelope>";
  return out;
}

}  // namespace ZelCli
