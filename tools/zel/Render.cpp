#include "Render.h"

#include <Lumo/Lumo.h>

#include <cstring>
#include <pugixml.hpp>
#include <stdexcept>

#include "Records.h"

namespace ZelCli {

namespace {

const char* LocalName(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon ? colon + 1 : name;
}

// A WSDL type name as its wire name: "ZelProfileId" is "zel.profile.ProfileId",
// "ArrayOfZelProfileId" is "zel.profile.ProfileId[]"; anything else as it is.
std::string WireTypeName(const std::string& wsdl) {
  std::string name = wsdl;
  size_t colon = name.find(':');
  if (colon != std::string::npos) name = name.substr(colon + 1);
  if (Lumo::Type* type = FindAnyType(name)) return type->GetName();
  if (name.rfind("ArrayOf", 0) == 0) {
    std::string element = WireTypeName(name.substr(7));
    return element + "[]";
  }
  return name;
}

bool HasElements(pugi::xml_node node) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_element) return true;
  }
  return false;
}

void Indent(std::ostream& out, int depth) {
  for (int i = 0; i < depth; ++i) out << "  ";
}

void Children(pugi::xml_node node, int depth, std::ostream& out);

// One value: "label: text", or "label: (type)" and its properties below.
void Value(const std::string& label, pugi::xml_node node, int depth, std::ostream& out) {
  Indent(out, depth);
  out << label << ":";
  std::string type = node.attribute("xsi:type").value();
  const char* moType = node.attribute("type").value();
  if (*moType) {
    out << " " << WireTypeName(moType) << ":" << node.text().get() << "\n";
  } else if (HasElements(node)) {
    if (!type.empty()) out << " (" << WireTypeName(type) << ")";
    out << "\n";
    Children(node, depth + 1, out);
  } else {
    out << " " << node.text().get();
    if (!type.empty() && type.rfind("xsd:", 0) != 0) out << " (" << WireTypeName(type) << ")";
    out << "\n";
  }
}

void Children(pugi::xml_node node, int depth, std::ostream& out) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    const char* name = LocalName(child.name());
    // Repeated elements are an array: number them.
    bool repeated = false;
    for (pugi::xml_node other = node.first_child(); other; other = other.next_sibling()) {
      if (other != child && other.type() == pugi::node_element &&
          std::strcmp(LocalName(other.name()), name) == 0) {
        repeated = true;
        break;
      }
    }
    if (!repeated) {
      Value(name, child, depth, out);
      continue;
    }
    int index = 0;
    pugi::xml_node item = child;
    for (; item; item = item.next_sibling()) {
      if (item.type() != pugi::node_element) continue;
      if (std::strcmp(LocalName(item.name()), name) != 0) break;
      Value(std::string(name) + "[" + std::to_string(index++) + "]", item, depth, out);
      child = item;
    }
  }
}

pugi::xml_node Parse(pugi::xml_document& document, const std::string& xml) {
  pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size());
  if (!parsed)
    throw std::invalid_argument(std::string("unreadable value: ") + parsed.description());
  return document.document_element();
}

}  // namespace

void RenderValueText(const std::string& xml, std::ostream& out) {
  pugi::xml_document document;
  pugi::xml_node root = Parse(document, xml);
  std::string type = root.attribute("xsi:type").value();
  if (!HasElements(root)) {
    if (type.rfind("ArrayOf", 0) == 0) {
      out << WireTypeName(type) << ": none\n";
    } else {
      out << root.text().get() << "\n";
    }
    return;
  }
  out << (type.empty() ? std::string("value") : WireTypeName(type)) << "\n";
  if (type.rfind("ArrayOf", 0) == 0) {
    // An array's elements by index, whatever their element names.
    int index = 0;
    for (pugi::xml_node item : root.children()) {
      if (item.type() == pugi::node_element)
        Value("[" + std::to_string(index++) + "]", item, 1, out);
    }
    return;
  }
  Children(root, 1, out);
}

void RenderValueXml(const std::string& xml, std::ostream& out) {
  pugi::xml_document document;
  Parse(document, xml);
  document.save(out, "  ", pugi::format_indent | pugi::format_no_declaration);
}

}  // namespace ZelCli
