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

pugi::xml_node FirstElement(pugi::xml_node node) {
  while (Node::Is(node) && Node::Type(node) != pugi::node_element) node = Node::NextSibling(node);
  return node;
}

}  // namespace

void AttributeCheck::Check(pugi::xml_node root) {
  _bound.clear();
  _replaced.clear();
  _open.clear();
  // Depth first, without recursion (a message may nest deeper than a stack).
  std::vector<std::pair<pugi::xml_node, size_t>>& open = _open;
  pugi::xml_node element = root;
  while (Node::Is(element)) {
    open.emplace_back(element, _replaced.size());
    Enter(element);
    pugi::xml_node next = FirstElement(Node::FirstChild(element));
    while (!Node::Is(next) && !open.empty()) {
      auto [left, mark] = open.back();
      open.pop_back();
      Undeclare(mark);
      if (!open.empty()) next = FirstElement(Node::NextSibling(left));
    }
    element = next;
  }
}

void AttributeCheck::Enter(pugi::xml_node element) {
  pugi::xml_attribute first = Node::FirstAttribute(element);
  if (!Node::Is(first)) return;
  _attributes.clear();
  for (pugi::xml_attribute a = first; Node::Is(a); a = Node::Next(a)) {
    std::string_view name = Node::Name(a);
    _attributes.push_back(Named{name, LocalOf(name)});
    if (name.substr(0, kXmlnsPrefix.size()) == kXmlnsPrefix) {
      std::string_view prefix = name.substr(kXmlnsPrefix.size());
      // What it replaces; a view without data for a prefix not bound before.
      auto [it, added] = _bound.try_emplace(prefix, Node::Value(a));
      _replaced.emplace_back(prefix, added ? std::string_view() : it->second);
      if (!added) it->second = Node::Value(a);
    }
  }
  size_t count = _attributes.size();
  if (count < 2) return;
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
