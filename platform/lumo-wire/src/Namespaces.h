// XML namespaces as the readers see them: the declarations in scope while a
// reader walks down a parsed document, element names and QName values
// resolved to a namespace id and a local name.
//
// Namespace URIs are interned per reader into small ids so that comparing an
// element's namespace with the one expected is an integer comparison; the
// well-known ones have fixed ids. Declarations are pushed when a reader
// enters an element that carries attributes and popped when it leaves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace Lumo {
namespace Wire {
namespace Detail {

inline constexpr std::string_view kSoapEnvelopeUri = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr std::string_view kXsdUri = "http://www.w3.org/2001/XMLSchema";
inline constexpr std::string_view kXsiUri = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr std::string_view kXmlUri = "http://www.w3.org/XML/1998/namespace";
inline constexpr std::string_view kXmlnsUri = "http://www.w3.org/2000/xmlns/";
// The actor of a header block meant for whoever receives the message next.
inline constexpr std::string_view kSoapActorNext = "http://schemas.xmlsoap.org/soap/actor/next";

// Fixed namespace ids.
enum NamespaceId : int {
  kNoNamespace = 0,
  kUndeclared = -1,  // a prefix without a declaration in scope
  kSoapNs = 1,
  kXsdNs = 2,
  kXsiNs = 3,
  kXmlNs = 4,
  kFirstOtherNs = 5,
};

struct ResolvedName {
  int ns = kNoNamespace;
  std::string_view local;
  // The prefix as written ("" without one), for faults.
  std::string_view prefix;
};

class NamespaceScope {
 public:
  NamespaceScope();

  // The id of a namespace URI (interned on first sight). The text must stay
  // valid as long as the scope is used (it points into the parsed buffer or
  // to a string the reader owns).
  int Intern(std::string_view uri);
  // The URI of an id ("" for no namespace).
  std::string_view UriOf(int id) const;

  size_t Mark() const { return _bindings.size(); }
  // Changes whenever the declarations in scope may have changed.
  uint64_t Generation() const { return _generation; }
  // Pushes the namespace declarations (xmlns, xmlns:p) among the element's
  // attributes (from first on, when given). Refuses (malformed) a prefix
  // declared empty and a redeclaration of the reserved prefixes.
  void Declare(pugi::xml_node element) { Declare(element, element.first_attribute()); }
  void Declare(pugi::xml_node element, pugi::xml_attribute first);
  void Restore(size_t mark);

  // The namespace bound to a prefix ("" for the default namespace);
  // kUndeclared when none is in scope.
  int Lookup(std::string_view prefix) const;
  int DefaultNamespace() const { return _default; }

  // An element's name: refuses (malformed) an undeclared prefix.
  ResolvedName Element(pugi::xml_node element) const;
  // A QName value (xsi:type), already unescaped; surrounding whitespace is
  // dropped. Refuses an undeclared prefix and a name that is not a QName.
  // Unprefixed names take the default namespace. local points into value.
  ResolvedName QName(pugi::xml_node element, std::string_view value) const;

  // "{urn:zel}name" or "name" (no namespace): for faults.
  std::string Describe(int ns, std::string_view local) const;

 private:
  struct Binding {
    std::string_view prefix;
    int ns;
  };
  std::vector<Binding> _bindings;
  std::vector<std::string_view> _uris;
  // URIs written with references, unescaped (rare).
  std::vector<std::unique_ptr<std::string>> _unescaped;
  int _default = kNoNamespace;
  uint64_t _generation = 1;
};

// Enters an element for as long as it lives: its own declarations are in
// scope (only elements with attributes can have any).
class ElementScope {
 public:
  ElementScope(NamespaceScope& scope, pugi::xml_node element)
      : ElementScope(scope, element, element.first_attribute()) {}
  // first: the element's first attribute, when the caller has it.
  ElementScope(NamespaceScope& scope, pugi::xml_node element, pugi::xml_attribute first)
      : _scope(scope) {
    if (first) {
      _mark = scope.Mark();
      scope.Declare(element, first);
    }
  }
  // Enters nothing yet (see Enter).
  explicit ElementScope(NamespaceScope& scope) : _scope(scope) {}
  // Enters the element now (once).
  void Enter(pugi::xml_node element, pugi::xml_attribute first) {
    if (_mark != kNone || !first) return;
    _mark = _scope.Mark();
    _scope.Declare(element, first);
  }
  ~ElementScope() {
    if (_mark != kNone) _scope.Restore(_mark);
  }
  ElementScope(const ElementScope&) = delete;
  ElementScope& operator=(const ElementScope&) = delete;

 private:
  static constexpr size_t kNone = static_cast<size_t>(-1);
  NamespaceScope& _scope;
  size_t _mark = kNone;
};

// The attributes of an element in the XML Schema instance namespace that a
// reader looks at.
struct XsiAttributes {
  const char* type = nullptr;  // the raw xsi:type value, null when absent
  const char* nil = nullptr;   // the raw xsi:nil value, null when absent
};
// Scans an element's attributes; the element's own declarations must be in
// scope. Only attributes whose prefix is bound to the instance namespace
// count.
XsiAttributes XsiOf(const NamespaceScope& scope, pugi::xml_attribute first);
inline XsiAttributes XsiOf(const NamespaceScope& scope, pugi::xml_node element) {
  return XsiOf(scope, element.first_attribute());
}
// One pass over an element's attributes with the declarations in scope
// before it: whether it declares namespaces itself (then xsi attributes must
// be found again with its declarations in scope, XsiOf), and the xsi
// attributes as the outer scope resolves them.
struct AttributeScan {
  bool declares = false;
  XsiAttributes xsi;
};
AttributeScan ScanAttributes(const NamespaceScope& scope, pugi::xml_attribute first);

// True for xsi:nil "true" or "1", false for "false" or "0"; refuses
// (badValue) anything else.
bool IsNilValue(pugi::xml_node element, const char* value);

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
