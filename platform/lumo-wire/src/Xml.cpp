#include "Xml.h"

#include <Lumo/Validate.h>

#include <cstdlib>
#include <vector>

#include "AttributeCheck.h"
#include "NodeAccess.h"
#include "ReaderMemory.h"

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

struct InstallMemory {
  InstallMemory() {
    InstallParserMemory();
    gDirectNodes = CheckNodeLayout();
  }
};
const InstallMemory gInstallMemory;

// Options: no entity or character reference handling by pugixml (Unescape
// does it strictly), document type declarations kept as nodes so that they
// can be refused, CDATA kept, line ends normalised, whitespace-only text kept
// where it is an element's only content (a string of blanks). Parsed as a
// fragment so that text outside the root element is kept (and refused)
// rather than dropped; the root element is counted here instead.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_doctype |
                                   pugi::parse_declaration | pugi::parse_eol |
                                   pugi::parse_ws_pcdata_single | pugi::parse_fragment;

// A document ends with the '>' of its root element, of a comment or of a
// processing instruction, and perhaps blanks. (Text at the very end must be
// caught before parsing: in place, pugixml's fragment mode drops its last
// character.)
bool EndsWithMarkup(const char* buffer, size_t size) {
  while (size > 0 && (buffer[size - 1] == ' ' || buffer[size - 1] == '\t' ||
                      buffer[size - 1] == '\n' || buffer[size - 1] == '\r')) {
    --size;
  }
  return size > 0 && buffer[size - 1] == '>';
}

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(uint32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool EqualsNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
    char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

}  // namespace

ParsedXml::Release::~Release() { AfterRead(); }

ParsedXml::ParsedXml(char* buffer, size_t size, const Limits& limits) {
  if (size > limits.maxMessageBytes) {
    ThrowWireFault(Reason::kTooLarge, "/",
                   "message of " + std::to_string(size) + " bytes exceeds the limit of " +
                       std::to_string(limits.maxMessageBytes));
  }
  bool endsWithMarkup = EndsWithMarkup(buffer, size);
  pugi::xml_parse_result result =
      _document.load_buffer_inplace(buffer, size, kParseOptions, pugi::encoding_utf8);
  if (!result) {
    ThrowWireFault(
        Reason::kMalformed, "/",
        std::string(result.description()) + " at offset " + std::to_string(result.offset));
  }
  int roots = 0;
  for (pugi::xml_node node = _document.first_child(); node; node = node.next_sibling()) {
    switch (node.type()) {
      case pugi::node_doctype:
        ThrowWireFault(Reason::kDoctype, "/",
                       "document type declarations (and so entity declarations) are refused");
      case pugi::node_declaration: {
        if (node != _document.first_child()) {
          ThrowWireFault(Reason::kMalformed, "/", "an XML declaration after the start");
        }
        pugi::xml_attribute encoding = node.attribute("encoding");
        if (encoding && !EqualsNoCase(encoding.value(), "UTF-8")) {
          ThrowWireFault(Reason::kMalformed, "/",
                         std::string("encoding '") + encoding.value() + "' is not UTF-8");
        }
        break;
      }
      case pugi::node_element:
        ++roots;
        _root = node;
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata:
        if (!IsBlank(node.value())) {
          ThrowWireFault(Reason::kMalformed, "/", "text outside the root element");
        }
        break;
      default:
        break;
    }
  }
  if (roots == 0) {
    // As pugixml says it outside fragment mode.
    ThrowWireFault(
        Reason::kMalformed, "/",
        "No document element found at offset " + std::to_string(size > 0 ? size - 1 : 0));
  }
  if (roots != 1) ThrowWireFault(Reason::kMalformed, "/", "more than one root element");
  if (!endsWithMarkup) ThrowWireFault(Reason::kMalformed, "/", "text outside the root element");
  thread_local AttributeCheck attributes;
  attributes.Check(_root);
}

std::string PathOf(pugi::xml_node node) {
  std::vector<std::string> parts;
  for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent()) {
    std::string part = LocalName(n.name());
    int index = 0, count = 0;
    for (pugi::xml_node s = n.parent().first_child(); s; s = s.next_sibling()) {
      if (s.type() != pugi::node_element || std::strcmp(s.name(), n.name()) != 0) continue;
      if (s == n) index = count;
      ++count;
    }
    if (count > 1) part += "[" + std::to_string(index) + "]";
    parts.push_back(std::move(part));
  }
  std::string path;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) path += "/" + *it;
  return path.empty() ? "/" : path;
}

void Fail(Reason reason, pugi::xml_node node, const std::string& detail) {
  ThrowWireFault(reason, PathOf(node), detail);
}

bool Unescape(const char* text, size_t length, std::string& out) {
  out.clear();
  out.reserve(length);
  const char* p = text;
  const char* end = text + length;
  while (p < end) {
    const char* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
    if (!amp) {
      out.append(p, static_cast<size_t>(end - p));
      break;
    }
    out.append(p, static_cast<size_t>(amp - p));
    const char* semi = amp + 1;
    while (semi < end && semi - amp <= 12 && *semi != ';') ++semi;
    if (semi >= end || *semi != ';') return false;
    std::string_view name(amp + 1, static_cast<size_t>(semi - amp - 1));
    if (name == "lt") {
      out.push_back('<');
    } else if (name == "gt") {
      out.push_back('>');
    } else if (name == "amp") {
      out.push_back('&');
    } else if (name == "quot") {
      out.push_back('"');
    } else if (name == "apos") {
      out.push_back('\'');
    } else if (name.size() >= 2 && name[0] == '#') {
      bool hex = name[1] == 'x';
      size_t i = hex ? 2 : 1;
      if (i >= name.size()) return false;
      uint32_t code = 0;
      for (; i < name.size(); ++i) {
        char c = name[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
          digit = static_cast<uint32_t>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
          digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
          digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
          return false;
        }
        code = code * (hex ? 16 : 10) + digit;
        if (code > 0x10FFFF) return false;
      }
      if (!IsXmlChar(code)) return false;
      AppendUtf8(code, out);
    } else {
      return false;
    }
    p = semi + 1;
  }
  return true;
}

std::string_view TextOf(pugi::xml_node node, const Limits& limits, std::string& scratch) {
  pugi::xml_node first = Node::FirstChild(node);
  // The usual case: one run of character data without references.
  if (Node::Is(first) && !Node::Is(Node::NextSibling(first)) &&
      Node::Type(first) == pugi::node_pcdata) {
    const char* text = Node::Value(first);
    size_t length = std::strlen(text);
    if (length > limits.maxStringBytes) {
      Fail(Reason::kStringTooLong, node,
           "text of " + std::to_string(length) + " bytes exceeds the limit of " +
               std::to_string(limits.maxStringBytes));
    }
    if (!std::memchr(text, '&', length)) return std::string_view(text, length);
    if (!Unescape(text, length, scratch)) Fail(Reason::kMalformed, node, "bad entity reference");
    return scratch;
  }
  std::string raw;
  std::string part;
  for (pugi::xml_node child = first; child; child = child.next_sibling()) {
    switch (child.type()) {
      case pugi::node_pcdata: {
        const char* text = child.value();
        size_t length = std::strlen(text);
        if (!Unescape(text, length, part)) Fail(Reason::kMalformed, node, "bad entity reference");
        raw += part;
        break;
      }
      case pugi::node_cdata:
        raw += child.value();
        break;
      case pugi::node_element:
        Fail(Reason::kMalformed, child, "an element inside a simple value");
      default:
        break;
    }
    if (raw.size() > limits.maxStringBytes) {
      Fail(Reason::kStringTooLong, node,
           "text exceeds the limit of " + std::to_string(limits.maxStringBytes) + " bytes");
    }
  }
  scratch.swap(raw);
  return scratch;
}

bool AttributeOf(pugi::xml_node node, const char* name, std::string& value) {
  pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) return false;
  const char* text = attribute.value();
  if (!Unescape(text, std::strlen(text), value)) {
    Fail(Reason::kMalformed, node, std::string("bad entity reference in attribute ") + name);
  }
  return true;
}

bool IsBlank(const char* text) {
  for (; *text; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') return false;
  }
  return true;
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
