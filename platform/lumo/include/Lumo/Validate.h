// Validation of values before they are stored into a runtime value.
#pragma once

#include <Lumo/Fwd.h>

#include <string>

namespace Lumo {

// Runs before a property value is stored. value is the new value, owner the
// object that receives it and index the property's place in the owner type's
// own property list (for an array owner: the element index). Throws to refuse;
// the caller then stores nothing. Values of most types are always accepted.
template <class T>
inline void Validate(const T*, const Any*, int) {}

// Refuses strings the wire cannot carry: invalid UTF-8 (overlong forms,
// surrogates, code points above U+10FFFF, truncated sequences) and characters
// XML 1.0 does not allow (C0 controls other than tab, LF and CR; U+FFFE and
// U+FFFF). Throws Lumo::Fault::InvalidArgument::Exception naming the owner's
// type and the property. Looks nothing up unless it refuses.
template <>
void Validate<std::string>(const std::string* value, const Any* owner, int index);

// The validation rule alone: npos when text is acceptable, else the byte
// offset of the first offending sequence; reason receives a description.
size_t FindInvalidXmlText(const std::string& text, std::string* reason = nullptr);

}  // namespace Lumo
