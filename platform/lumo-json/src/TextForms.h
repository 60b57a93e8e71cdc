// Text forms of plain values in JSON: escaped strings, shortest doubles and
// ISO 8601 date-times (XML Schema's dateTime, as the XML wire writes them).
#pragma once

#include <Kestrum/DateTime.h>
#include <Lumo/QuotedText.h>

#include <string>
#include <string_view>

namespace Lumo {
namespace Json {
namespace Detail {

using Lumo::AppendQuoted;

// Shortest text that reads back to the same double. Non-finite values, which
// JSON numbers cannot hold, as the strings "NaN", "INF" and "-INF".
void AppendDouble(std::string& out, double value);
// The non-finite values by those names; false for any other text.
bool NonFiniteDouble(std::string_view text, double& value);

// "2024-02-29T13:05:00.000250+01:00" in the value's own zone ("Z" for UTC),
// the fraction only when there is one. False for years outside 1 to 9999.
bool FormatDateTime(const Kestrum::System::DateTime& value, std::string& out);

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
