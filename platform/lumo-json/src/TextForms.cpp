#include "TextForms.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace Lumo {
namespace Json {
namespace Detail {

void AppendDouble(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "\"NaN\"";
  } else if (std::isinf(value)) {
    out += value < 0 ? "\"-INF\"" : "\"INF\"";
  } else {
    char buffer[32];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  }
}

bool NonFiniteDouble(std::string_view text, double& value) {
  if (text == "NaN") {
    value = std::numeric_limits<double>::quiet_NaN();
  } else if (text == "INF") {
    value = std::numeric_limits<double>::infinity();
  } else if (text == "-INF") {
    value = -std::numeric_limits<double>::infinity();
  } else {
    return false;
  }
  return true;
}

bool FormatDateTime(const Kestrum::System::DateTime& value, std::string& out) {
  char text[Kestrum::System::DateTime::kMaxText];
  char* end = value.WriteText(text);
  if (end == nullptr) return false;
  out.push_back('"');
  out.append(text, end);
  out.push_back('"');
  return true;
}

}  // namespace Detail
}  // namespace Json
}  // namespace Lumo
