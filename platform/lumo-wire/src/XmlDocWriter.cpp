#include "XmlDocWriter.h"

#include <Lumo/Wire/WireFormatFault.h>
#include <Lumo/Wire/XmlText.h>

namespace Lumo {
namespace Wire {
namespace Detail {

namespace {

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// A qualified name as the writer's callers use them: "xsd:element", "name".
bool IsQName(std::string_view name) {
  size_t colon = name.find(':');
  if (colon == std::string_view::npos) return IsNcName(name);
  return IsNcName(name.substr(0, colon)) && IsNcName(name.substr(colon + 1));
}

void AppendEscaped(std::string& out, std::string_view value, std::string_view attribute) {
  // Description values are names, actions and addresses: printable ASCII
  // only, stricter than what XML could carry.
  for (char c : value) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E) {
      ThrowWireFault(Reason::kBadValue, std::string(attribute),
                     "a character the description documents do not carry in '" +
                         std::string(value.substr(0, 64)) + "'");
    }
  }
  AppendXmlEscaped(out, value, XmlEscape::kAttribute);
}

}  // namespace

bool IsNcName(std::string_view name) {
  if (name.empty() || !IsNameStart(name[0])) return false;
  for (char c : name) {
    if (!IsNameChar(c)) return false;
  }
  return true;
}

void CheckNcName(std::string_view name, const std::string& what) {
  if (!IsNcName(name)) {
    ThrowWireFault(Reason::kBadValue, what,
                   "'" + std::string(name.substr(0, 64)) + "' is not an XML name");
  }
}

void XmlDocWriter::Declaration() { _out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"; }

void XmlDocWriter::Start(std::string_view name, Attributes attributes) {
  if (!IsQName(name)) ThrowWireFault(Reason::kBadValue, std::string(name), "not an XML name");
  _out.append(static_cast<size_t>(Depth()), ' ');
  _out += '<';
  _out.append(name);
  for (const auto& [key, value] : attributes) {
    if (!IsQName(key)) ThrowWireFault(Reason::kBadValue, std::string(key), "not an XML name");
    _out += ' ';
    _out.append(key);
    _out += "=\"";
    AppendEscaped(_out, value, key);
    _out += '"';
  }
}

void XmlDocWriter::Open(std::string_view name, Attributes attributes) {
  Start(name, attributes);
  _out += ">\n";
  _open.emplace_back(name);
}

void XmlDocWriter::Empty(std::string_view name, Attributes attributes) {
  Start(name, attributes);
  _out += "/>\n";
}

void XmlDocWriter::Close() {
  std::string name = std::move(_open.back());
  _open.pop_back();
  _out.append(static_cast<size_t>(Depth()), ' ');
  _out += "</";
  _out += name;
  _out += ">\n";
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
