#include "AttributeCheck.h"

#include <algorithm>
#include <cstring>

#include "Namespaces.h"
#include "NodeAccess.h"
#include "Xml.h"

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

// Up to this many attributes an element's pairs are compared directly;
// beyond, the attributes are sorted first.
constexpr size_t kCompareAllUpTo = 8;

constexpr std::string_view kXmlnsPrefix = "xmlns:";

std::string_view PrefixOf(std::string_view name) {
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

std::string_view LocalOf(std::string_view name) {
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// "xmlns:p", which binds the prefix p.
bool IsDeclaration(const char* name) {
  return name[0] == 'x' && std::strncmp(name, kXmlnsPrefix.data(), kXmlnsPrefix.size()) == 0;
}

}  // namespace

// The steps of the walk on pugixml's records read directly (the walk visits
// every node of a message: a call per step would cost as much as the parse
// of the message).
struct AttributeCheck::RawSteps {
  using Ref = const RawNode*;
  static bool Is(Ref node) { return node != nullptr; }
  static Ref FirstElement(Ref node) {
    while (node != nullptr && (node->header & 15u) != pugi::node_element) {
      node = node->nextSibling;
    }
    return node;
  }
  static Ref FirstChild(Ref node) { return node->firstChild; }
  static Ref NextSibling(Ref node) { return node->nextSibling; }
  static Ref Parent(Ref node) { return node->parent; }
  // Whether the element has anything to check: several attributes, or one
  // that may declare a prefix.
  static bool HasAttributes(Ref node) {
    const RawAttribute* first = node->firstAttribute;
    return first != nullptr && (first->next != nullptr || first->name == nullptr ||
                                (first->name[0] == 'x' && first->name[1] == 'm'));
  }
  static pugi::xml_node Of(Ref node) { return Node::Of(node); }
};

struct AttributeCheck::ApiSteps {
  using Ref = pugi::xml_node;
  static bool Is(Ref node) { return static_cast<bool>(node); }
  static Ref FirstElement(Ref node) {
    while (node && node.type() != pugi::node_element) node = node.next_sibling();
    return node;
  }
  static Ref FirstChild(Ref node) { return node.first_child(); }
  static Ref NextSibling(Ref node) { return node.next_sibling(); }
  static Ref Parent(Ref node) { return node.parent(); }
  static bool HasAttributes(Ref node) { return static_cast<bool>(node.first_attribute()); }
  static pugi::xml_node Of(Ref node) { return node; }
};

void AttributeCheck::Check(pugi::xml_node root) {
  _bound.clear();
  _replaced.clear();
  _declaring.clear();
  if (gDirectNodes) return Walk<RawSteps>(Node::Raw(root));
  Walk<ApiSteps>(root);
}

template <class Steps>
void AttributeCheck::Walk(typename Steps::Ref root) {
  // Depth first without a stack (a message may nest deeper than a stack
  // allows): down to the first child element, else on to the next sibling
  // element of the element or of its nearest ancestor that has one.
  typename Steps::Ref element = root;
  for (;;) {
    if (Steps::HasAttributes(element)) Enter(Steps::Of(element));
    typename Steps::Ref child = Steps::FirstElement(Steps::FirstChild(element));
    if (Steps::Is(child)) {
      element = child;
      continue;
    }
    for (;;) {
      if (!_declaring.empty()) Leave(Steps::Of(element));
      if (element == root) return;
      typename Steps::Ref next = Steps::FirstElement(Steps::NextSibling(element));
      if (Steps::Is(next)) {
        element = next;
        break;
      }
      element = Steps::Parent(element);
    }
  }
}

void AttributeCheck::Enter(pugi::xml_node element) {
  pugi::xml_attribute first = Node::FirstAttribute(element);
  size_t mark = _replaced.size();
  if (!Node::Is(Node::Next(first))) {
    // One attribute, the usual case: only a declaration needs anything.
    const char* name = Node::Name(first);
    if (IsDeclaration(name)) Declare(name + kXmlnsPrefix.size(), Node::Value(first));
  } else {
    CheckAll(element);
  }
  if (_replaced.size() > mark) _declaring.emplace_back(element, mark);
}

void AttributeCheck::Leave(pugi::xml_node element) {
  if (_declaring.back().first != element) return;
  Undeclare(_declaring.back().second);
  _declaring.pop_back();
}

void AttributeCheck::Declare(std::string_view prefix, const char* uri) {
  // What it replaces: a view without data for a prefix not bound before.
  auto [it, added] = _bound.try_emplace(prefix, uri);
  _replaced.emplace_back(prefix, added ? std::string_view() : it->second);
  if (!added) it->second = uri;
}

void AttributeCheck::CheckAll(pugi::xml_node element) {
  _attributes.clear();
  for (pugi::xml_attribute a = Node::FirstAttribute(element); Node::Is(a); a = Node::Next(a)) {
    const char* name = Node::Name(a);
    if (IsDeclaration(name)) Declare(name + kXmlnsPrefix.size(), Node::Value(a));
    std::string_view view(name);
    _attributes.push_back(Named{view, LocalOf(view)});
  }
  size_t count = _attributes.size();
  if (count <= kCompareAllUpTo) {
    for (size_t i = 0; i < count; ++i) {
      for (size_t j = i + 1; j < count; ++j) CheckPair(element, _attributes[i], _attributes[j]);
    }
    return;
  }
  // By local name: any two that may clash stand next to each other or in
  // one run of the same local name.
  std::sort(_attributes.begin(), _attributes.end(), [](const Named& a, const Named& b) {
    return a.local != b.local ? a.local < b.local : a.name < b.name;
  });
  for (size_t i = 0; i + 1 < count; ++i) {
    if (_attributes[i].name == _attributes[i + 1].name) {
      CheckPair(element, _attributes[i], _attributes[i + 1]);
    }
  }
  // Runs of one local name under several prefixes: sorted by namespace.
  for (size_t start = 0; start < count;) {
    size_t end = start + 1;
    while (end < count && _attributes[end].local == _attributes[start].local) ++end;
    if (end - start > 1) {
      std::vector<std::pair<std::string, std::string_view>> byUri;
      for (size_t i = start; i < end; ++i) {
        std::string uri;
        std::string_view prefix = PrefixOf(_attributes[i].name);
        if (!prefix.empty() && UriOf(prefix, uri)) byUri.emplace_back(uri, _attributes[i].name);
      }
      std::sort(byUri.begin(), byUri.end());
      for (size_t i = 0; i + 1 < byUri.size(); ++i) {
        if (byUri[i].first == byUri[i + 1].first) {
          std::string_view local = _attributes[start].local;
          CheckPair(element, Named{byUri[i].second, local}, Named{byUri[i + 1].second, local});
        }
      }
    }
    start = end;
  }
}

void AttributeCheck::Undeclare(size_t mark) {
  while (_replaced.size() > mark) {
    auto [prefix, previous] = _replaced.back();
    _replaced.pop_back();
    if (previous.data() == nullptr) {
      _bound.erase(prefix);
    } else {
      _bound[prefix] = previous;
    }
  }
}

void AttributeCheck::CheckPair(pugi::xml_node element, const Named& a, const Named& b) {
  if (a.name == b.name) {
    Fail(Reason::kMalformed, element,
         "the attribute " + std::string(a.name) + " appears twice on one element");
  }
  if (a.local != b.local) return;
  std::string_view prefixA = PrefixOf(a.name);
  std::string_view prefixB = PrefixOf(b.name);
  if (prefixA.empty() || prefixB.empty()) return;
  std::string uriA, uriB;
  if (UriOf(prefixA, uriA) && UriOf(prefixB, uriB) && uriA == uriB) {
    Fail(Reason::kMalformed, element,
         "the attributes " + std::string(a.name) + " and " + std::string(b.name) +
             " are one attribute twice: both are " + std::string(a.local) + " of " + uriA);
  }
}

bool AttributeCheck::UriOf(std::string_view prefix, std::string& uri) const {
  if (prefix == "xml") {
    uri = kXmlUri;
    return true;
  }
  auto it = _bound.find(prefix);
  if (it == _bound.end()) return false;
  return Unescape(it->second.data(), it->second.size(), uri);
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
