// Text forms of plain values in JSON: escaped strings, shortest doubles and
// ISO 8601 date-times (XML Schema's dateTime, as the XML wire writes them).
#pragma once

#include <Kestrum/DateTime.h>

#include <string>
#include <string_view>

namespace Lumo {
namespace Json {
namespace Detail {

// Appends text as a JSON string, quotes included: '"', '\\' and control
// characters escaped, everything else as the UTF-8 it is. The caller has
// checked that text is valid UTF-8.
void AppendQuoted(std::string& out, std::string_view text);

// Shortest text that reads back to the same double. Non-finite values, which
// JSON numbers cannot hold, as the strings "NaN", "INF" and "-INF".
void AppendDouble(std::string& out, double value);
// The non-finite values by those names; false for any other text.
bool NonFiniteDouble(std::string_view text, double& value);

// "2024-02-29T13:05:00.000250+01:00" in the value's own zone ("Z" for UTC),
// the fraction only when there is one. False for years outside 1 to 9999.
bool FormatDateTime(const Kestrum::System::DateTime& value, std::string& out);
// The same form; a missing zone is UTC. False when the text is not one.
bool ParseDateTime(std::string_view text, Kestrum::System::DateTime& value);

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
