// Text escaped for XML as the codec's writer escapes it, for XML put
// together outside the codec (a tool's request, a description document).
#pragma once

#include <string>
#include <string_view>

namespace Lumo {
namespace Wire {

enum class XmlEscape {
  kText,       // element content: & < > and carriage returns escaped
  kAttribute,  // a double-quoted attribute value: quotes, tabs and line ends too
};

// Appends text escaped for where it goes. Returns false, appending nothing,
// when text holds what XML 1.0 cannot carry: invalid UTF-8 (bad or truncated
// sequences, overlong forms, surrogates, code points beyond U+10FFFF) or a
// character XML forbids (C0 controls other than tab, line feed and carriage
// return; U+FFFE, U+FFFF).
bool AppendXmlEscaped(std::string& out, std::string_view text, XmlEscape where);

}  // namespace Wire
}  // namespace Lumo
