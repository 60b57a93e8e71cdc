// Strings in double quotes, as JSON writes them and the runtime renders them.
#pragma once

#include <string>
#include <string_view>

namespace Lumo {

// Appends text in double quotes with '"', '\\' and the control characters
// escaped (\n, \r, \t, any other as \u00XX); everything else, UTF-8 included,
// as it is.
void AppendQuoted(std::string& out, std::string_view text);

}  // namespace Lumo
