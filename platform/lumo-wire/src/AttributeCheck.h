// XML's rule that an element carries each attribute once, which pugixml does
// not check: by qualified name ("a" twice, "p:a" twice), and by namespace and
// local name ("p:a" and "q:a" with p and q bound to the same namespace).
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Lumo {
namespace Wire {
namespace Detail {

class AttributeCheck {
 public:
  // Refuses (WireFormatFault, malformed) the first element under and with
  // root that carries an attribute twice.
  void Check(pugi::xml_node root);

 private:
  struct Named {
    std::string_view name;
    std::string_view local;
  };

  struct RawSteps;
  struct ApiSteps;
  template <class Steps>
  void Walk(typename Steps::Ref root);
  // Declares the element's namespace prefixes (undone by Leave) and checks
  // its attributes. Leave: only while some element declares prefixes.
  void Enter(pugi::xml_node element);
  void Leave(pugi::xml_node element);
  void Declare(std::string_view prefix, const char* uri);
  void Undeclare(size_t mark);
  // Checks an element with several attributes (and declares its prefixes).
  void CheckAll(pugi::xml_node element);
  void CheckPair(pugi::xml_node element, const Named& a, const Named& b);
  // The namespace URI a prefix is bound to in scope, unescaped; false for
  // an undeclared prefix.
  bool UriOf(std::string_view prefix, std::string& uri) const;

  // The innermost declaration of each prefix in scope, and what each
  // declaration replaced, to restore when its element is left.
  std::unordered_map<std::string_view, std::string_view> _bound;
  std::vector<std::pair<std::string_view, std::string_view>> _replaced;
  std::vector<Named> _attributes;
  // The elements in the current path that declare prefixes, each with the
  // size _replaced had before its declarations.
  std::vector<std::pair<pugi::xml_node, size_t>> _declaring;
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
