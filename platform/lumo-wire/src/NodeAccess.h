// Walking a parsed tree without a call per step. pugixml's node and
// attribute accessors (type, name, value, first_child, next_sibling,
// first_attribute...) are compiled into its library and cannot be inlined;
// the readers call them a dozen times per element. These functions read the
// same fields directly from pugixml's node and attribute records, whose
// layout is checked once against the accessors themselves when the library
// is loaded (CheckNodeLayout): where it does not match, every function here
// calls the accessor instead. Reads only: the tree is never changed.
#pragma once

#include <bit>
#include <cstdint>
#include <pugixml.hpp>

namespace Lumo {
namespace Wire {
namespace Detail {

// pugixml's records as its 1.x releases lay them out (without compact mode).
struct RawAttribute {
  uintptr_t header;
  char* name;
  char* value;
  RawAttribute* previousCyclic;
  RawAttribute* next;
};

struct RawNode {
  uintptr_t header;  // the node type in the low four bits
  char* name;
  char* value;
  RawNode* parent;
  RawNode* firstChild;
  RawNode* previousCyclic;
  RawNode* nextSibling;
  RawAttribute* firstAttribute;
};

static_assert(sizeof(pugi::xml_node) == sizeof(RawNode*));
static_assert(sizeof(pugi::xml_attribute) == sizeof(RawAttribute*));

// True when the records match the layout above (set when the library is
// loaded, before any message is read).
extern bool gDirectNodes;
// Parses a small document exercising every node type and compares each
// field read directly with what the accessors answer.
bool CheckNodeLayout();

namespace Node {

inline const RawNode* Raw(pugi::xml_node node) { return std::bit_cast<const RawNode*>(node); }
inline pugi::xml_node Of(const RawNode* raw) { return std::bit_cast<pugi::xml_node>(raw); }
inline const RawAttribute* Raw(pugi::xml_attribute a) {
  return std::bit_cast<const RawAttribute*>(a);
}
inline pugi::xml_attribute Of(const RawAttribute* raw) {
  return std::bit_cast<pugi::xml_attribute>(raw);
}

inline pugi::xml_node_type Type(pugi::xml_node node) {
  if (!gDirectNodes) return node.type();
  const RawNode* raw = Raw(node);
  return raw ? static_cast<pugi::xml_node_type>(raw->header & 15u) : pugi::node_null;
}

// "" for none, as the accessors answer.
inline const char* Name(pugi::xml_node node) {
  if (!gDirectNodes) return node.name();
  const RawNode* raw = Raw(node);
  return raw && raw->name ? raw->name : "";
}

inline const char* Value(pugi::xml_node node) {
  if (!gDirectNodes) return node.value();
  const RawNode* raw = Raw(node);
  return raw && raw->value ? raw->value : "";
}

inline pugi::xml_node FirstChild(pugi::xml_node node) {
  if (!gDirectNodes) return node.first_child();
  const RawNode* raw = Raw(node);
  return Of(raw ? raw->firstChild : nullptr);
}

inline pugi::xml_node NextSibling(pugi::xml_node node) {
  if (!gDirectNodes) return node.next_sibling();
  const RawNode* raw = Raw(node);
  return Of(raw ? raw->nextSibling : nullptr);
}

inline pugi::xml_attribute FirstAttribute(pugi::xml_node node) {
  if (!gDirectNodes) return node.first_attribute();
  const RawNode* raw = Raw(node);
  return Of(raw ? raw->firstAttribute : nullptr);
}

inline bool Is(pugi::xml_node node) { return Raw(node) != nullptr; }
inline bool Is(pugi::xml_attribute a) { return Raw(a) != nullptr; }

inline const char* Name(pugi::xml_attribute a) {
  if (!gDirectNodes) return a.name();
  const RawAttribute* raw = Raw(a);
  return raw && raw->name ? raw->name : "";
}

inline const char* Value(pugi::xml_attribute a) {
  if (!gDirectNodes) return a.value();
  const RawAttribute* raw = Raw(a);
  return raw && raw->value ? raw->value : "";
}

inline pugi::xml_attribute Next(pugi::xml_attribute a) {
  if (!gDirectNodes) return a.next_attribute();
  const RawAttribute* raw = Raw(a);
  return Of(raw ? raw->next : nullptr);
}

}  // namespace Node

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
