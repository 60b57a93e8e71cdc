#include "Namespaces.h"

#include <cstring>

#include "NodeAccess.h"
#include "Xml.h"

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

// Look-ups are linear: a message may hold only so many namespaces and
// declarations in scope (far beyond what any real message uses).
constexpr size_t kMaxNamespaces = 256;
constexpr size_t kMaxBindingsInScope = 256;

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Enough of XML's name rules to refuse what cannot be a name part: empty,
// or holding a colon or whitespace.
bool IsNcName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (c == ':' || IsBlankChar(c)) return false;
  }
  return true;
}

}  // namespace

NamespaceScope::NamespaceScope() {
  _bindings.reserve(16);
  _uris.reserve(8);
  _uris.push_back(std::string_view());  // kNoNamespace
  _uris.push_back(kSoapEnvelopeUri);
  _uris.push_back(kXsdUri);
  _uris.push_back(kXsiUri);
  _uris.push_back(kXmlUri);
}

int NamespaceScope::Intern(std::string_view uri) {
  for (size_t i = 0; i < _uris.size(); ++i) {
    if (_uris[i] == uri) return static_cast<int>(i);
  }
  _uris.push_back(uri);
  return static_cast<int>(_uris.size() - 1);
}

std::string_view NamespaceScope::UriOf(int id) const {
  if (id < 0 || static_cast<size_t>(id) >= _uris.size()) return std::string_view();
  return _uris[static_cast<size_t>(id)];
}

void NamespaceScope::Declare(pugi::xml_node element, pugi::xml_attribute first) {
  for (pugi::xml_attribute a = first; Node::Is(a); a = Node::Next(a)) {
    const char* name = Node::Name(a);
    if (name[0] != 'x' || std::strncmp(name, "xmlns", 5) != 0) continue;
    std::string_view prefix;
    if (name[5] == ':') {
      prefix = std::string_view(name + 6);
      if (!IsNcName(prefix)) Fail(Reason::kMalformed, element, "a bad namespace declaration");
    } else if (name[5] != '\0') {
      continue;  // an attribute that merely starts with "xmlns"
    }
    const char* value = Node::Value(a);
    std::string_view uri(value);
    if (std::memchr(value, '&', uri.size())) {
      auto owned = std::make_unique<std::string>();
      if (!Unescape(value, uri.size(), *owned)) {
        Fail(Reason::kMalformed, element, "bad entity reference in a namespace declaration");
      }
      uri = *owned;
      _unescaped.push_back(std::move(owned));
    }
    if (!prefix.empty() && uri.empty()) {
      Fail(Reason::kMalformed, element,
           "prefix '" + std::string(prefix) + "' is declared with an empty namespace");
    }
    if (prefix == "xmlns" || (prefix == "xml") != (uri == kXmlUri) || uri == kXmlnsUri) {
      Fail(Reason::kMalformed, element, "a reserved namespace prefix or name is redeclared");
    }
    if (_bindings.size() >= kMaxBindingsInScope || _uris.size() >= kMaxNamespaces) {
      Fail(Reason::kMalformed, element,
           "more than " + std::to_string(kMaxNamespaces) + " namespaces or declarations in scope");
    }
    int id = uri.empty() ? kNoNamespace : Intern(uri);
    _bindings.push_back(Binding{prefix, id});
    ++_generation;
    if (prefix.empty()) _default = id;
  }
}

void NamespaceScope::Restore(size_t mark) {
  if (mark >= _bindings.size()) return;
  _bindings.resize(mark);
  ++_generation;
  _default = kNoNamespace;
  for (size_t i = _bindings.size(); i-- > 0;) {
    if (_bindings[i].prefix.empty()) {
      _default = _bindings[i].ns;
      break;
    }
  }
}

int NamespaceScope::Lookup(std::string_view prefix) const {
  if (prefix.empty()) return _default;
  const size_t length = prefix.size();
  for (size_t i = _bindings.size(); i-- > 0;) {
    const std::string_view& bound = _bindings[i].prefix;
    if (bound.size() != length || bound[0] != prefix[0]) continue;
    size_t k = 1;
    while (k < length && bound[k] == prefix[k]) ++k;
    if (k == length) return _bindings[i].ns;
  }
  if (prefix == "xml") return kXmlNs;
  return kUndeclared;
}

ResolvedName NamespaceScope::Element(pugi::xml_node element) const {
  const char* name = Node::Name(element);
  const char* colon = std::strchr(name, ':');
  ResolvedName resolved;
  if (!colon) {
    resolved.ns = _default;
    resolved.local = std::string_view(name);
    return resolved;
  }
  resolved.prefix = std::string_view(name, static_cast<size_t>(colon - name));
  resolved.local = std::string_view(colon + 1);
  resolved.ns = Lookup(resolved.prefix);
  if (resolved.ns == kUndeclared || resolved.prefix.empty() || !IsNcName(resolved.local)) {
    Fail(Reason::kMalformed, element,
         "the prefix of element '" + std::string(name) + "' is not declared");
  }
  return resolved;
}

ResolvedName NamespaceScope::QName(pugi::xml_node element, std::string_view value) const {
  while (!value.empty() && IsBlankChar(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsBlankChar(value.back())) value.remove_suffix(1);
  ResolvedName resolved;
  size_t colon = value.find(':');
  if (colon == std::string_view::npos) {
    resolved.local = value;
    resolved.ns = _default;
  } else {
    resolved.prefix = value.substr(0, colon);
    resolved.local = value.substr(colon + 1);
    resolved.ns = resolved.prefix.empty() ? kUndeclared : Lookup(resolved.prefix);
    if (resolved.ns == kUndeclared && IsNcName(resolved.prefix)) {
      Fail(Reason::kUnknownType, element,
           "the prefix '" + std::string(resolved.prefix) + "' of type '" +
               std::string(value.substr(0, 64)) + "' is not declared");
    }
  }
  // Other flaws of the local name leave it unknown to the type tables.
  if (resolved.local.empty() || resolved.ns == kUndeclared) {
    Fail(Reason::kMalformed, element,
         "'" + std::string(value.substr(0, 64)) + "' is not a qualified name");
  }
  return resolved;
}

std::string NamespaceScope::Describe(int ns, std::string_view local) const {
  if (ns == kNoNamespace) return std::string(local) + " (in no namespace)";
  return "{" + std::string(UriOf(ns)) + "}" + std::string(local);
}

XsiAttributes XsiOf(const NamespaceScope& scope, pugi::xml_attribute first) {
  XsiAttributes found;
  for (pugi::xml_attribute a = first; Node::Is(a); a = Node::Next(a)) {
    const char* name = Node::Name(a);
    const char* colon = std::strchr(name, ':');
    if (!colon) continue;
    const char* local = colon + 1;
    bool isType = std::strcmp(local, "type") == 0;
    if (!isType && std::strcmp(local, "nil") != 0) continue;
    std::string_view prefix(name, static_cast<size_t>(colon - name));
    if (prefix == "xmlns" || scope.Lookup(prefix) != kXsiNs) continue;
    (isType ? found.type : found.nil) = Node::Value(a);
  }
  return found;
}

AttributeScan ScanAttributes(const NamespaceScope& scope, pugi::xml_attribute first) {
  AttributeScan scan;
  for (pugi::xml_attribute a = first; Node::Is(a); a = Node::Next(a)) {
    const char* name = Node::Name(a);
    const char* colon = name;
    while (*colon && *colon != ':') ++colon;
    size_t prefixLength = static_cast<size_t>(colon - name);
    if (name[0] == 'x' && prefixLength == 5 && std::memcmp(name, "xmlns", 5) == 0) {
      scan.declares = true;
      return scan;
    }
    if (!*colon) continue;
    const char* local = colon + 1;
    bool isType = local[0] == 't' && std::strcmp(local, "type") == 0;
    if (!isType && !(local[0] == 'n' && std::strcmp(local, "nil") == 0)) continue;
    if (scope.Lookup(std::string_view(name, prefixLength)) != kXsiNs) continue;
    (isType ? scan.xsi.type : scan.xsi.nil) = Node::Value(a);
  }
  return scan;
}

bool IsNilValue(pugi::xml_node element, const char* value) {
  std::string_view text(value);
  while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  if (text == "true" || text == "1") return true;
  if (text == "false" || text == "0") return false;
  Fail(Reason::kBadValue, element,
       "'" + std::string(text.substr(0, 16)) + "' is not a boolean for xsi:nil");
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
