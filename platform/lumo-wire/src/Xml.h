// Reading XML: parsing with pugixml under the wire's rules, text of simple
// elements with strict entity handling, element paths for faults.
#pragma once

#include <Lumo/Wire/Options.h>
#include <Lumo/Wire/WireFormatFault.h>

#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace Lumo {
namespace Wire {
namespace Detail {

// A parsed message. The buffer is parsed in place and must outlive the
// document.
class ParsedXml {
 public:
  // Refuses (WireFormatFault) a message larger than the limit, one that is
  // not well-formed, one with a document type declaration (and so any entity
  // declaration), one that declares an encoding other than UTF-8, and one
  // without exactly one root element.
  ParsedXml(char* buffer, size_t size, const Limits& limits);
  pugi::xml_node Root() const { return _root; }

 private:
  // Gives back what the parse took beyond the per-thread bound, once the
  // document (destroyed before it) has freed its pages.
  struct Release {
    ~Release();
  };
  Release _release;
  pugi::xml_document _document;
  pugi::xml_node _root;
};

// The element's name without its namespace prefix.
inline const char* LocalName(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon ? colon + 1 : name;
}

// "/Envelope/Body/ZelQueryProfile/query[2]/name": the element's place, for
// faults. Prefixes are dropped; an index stands after an element that has
// siblings of the same name.
std::string PathOf(pugi::xml_node node);

[[noreturn]] void Fail(Reason reason, pugi::xml_node node, const std::string& detail);

// Replaces the predefined entities and character references of raw text;
// false for anything else after '&' (undeclared entities, bad references,
// characters XML does not allow).
bool Unescape(const char* text, size_t length, std::string& out);

// The text of a simple element: the concatenation of its character data,
// unescaped. Refuses child elements and text longer than the limit. view
// points into the buffer or into scratch.
std::string_view TextOf(pugi::xml_node node, const Limits& limits, std::string& scratch);

// An attribute's unescaped value, or false when absent. Refuses bad entities.
bool AttributeOf(pugi::xml_node node, const char* name, std::string& value);

// True for whitespace-only character data (allowed between elements).
bool IsBlank(const char* text);

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
