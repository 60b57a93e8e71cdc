// Text forms of the plain values: XML Schema's lexical forms.
#pragma once

#include <Kestrum/DateTime.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Lumo {
namespace Wire {
namespace Detail {

// Each writes at most kMaxNumberText characters at out and returns the end.
constexpr size_t kMaxNumberText = 48;
static_assert(kMaxNumberText >= Kestrum::System::DateTime::kMaxText);
char* FormatInt(char* out, int64_t value);
// Shortest text that reads back to the same double; INF, -INF, NaN.
char* FormatDouble(char* out, double value);
// "2024-02-29T13:05:00.000250+01:00" in the value's own zone ("Z" for UTC);
// the fraction only when there is one. Null for years outside 1 to 9999.
char* FormatDateTime(char* out, const Kestrum::System::DateTime& value);

// Parsers take the text with surrounding whitespace (XML Schema collapses it
// for these types) and give false when it does not parse or does not fit.
bool ParseBool(std::string_view text, bool& value);
bool ParseInt32(std::string_view text, int32_t& value);
bool ParseInt64(std::string_view text, int64_t& value);
bool ParseDouble(std::string_view text, double& value);
bool ParseDateTime(std::string_view text, Kestrum::System::DateTime& value);

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
