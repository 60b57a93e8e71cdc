#include "NodeAccess.h"

#include <cstring>

namespace Lumo {
namespace Wire {
namespace Detail {

bool gDirectNodes = false;

namespace {

bool SameText(const char* direct, const char* accessor) {
  return std::strcmp(direct ? direct : "", accessor) == 0;
}

bool SameAttributes(pugi::xml_node node) {
  const RawAttribute* raw = Node::Raw(node)->firstAttribute;
  pugi::xml_attribute a = node.first_attribute();
  for (; a; a = a.next_attribute(), raw = raw->next) {
    if (raw != Node::Raw(a) || !SameText(raw->name, a.name()) || !SameText(raw->value, a.value())) {
      return false;
    }
  }
  return raw == nullptr;
}

bool SameTree(pugi::xml_node node) {
  const RawNode* raw = Node::Raw(node);
  if (static_cast<pugi::xml_node_type>(raw->header & 15u) != node.type()) return false;
  if (!SameText(raw->name, node.name()) || !SameText(raw->value, node.value())) return false;
  if (raw->parent != Node::Raw(node.parent())) return false;
  if (raw->firstChild != Node::Raw(node.first_child())) return false;
  if (raw->nextSibling != Node::Raw(node.next_sibling())) return false;
  if (!SameAttributes(node)) return false;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (!SameTree(child)) return false;
  }
  return true;
}

}  // namespace

bool CheckNodeLayout() {
  static const char kProbe[] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE root>\n"
      "<?probe instruction?>\n"
      "<root xmlns=\"urn:a\" xmlns:p=\"urn:b\" p:one=\"1\" two=\"2\">"
      "text<!--comment--><p:child three=\"3\"><![CDATA[data]]></p:child>  "
      "<empty/><last>more</last></root>";
  pugi::xml_document document;
  if (!document.load_string(kProbe, pugi::parse_full)) return false;
  int types = 0;
  for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) ++types;
  return types == 4 && SameTree(document);
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
