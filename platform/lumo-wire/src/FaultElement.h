// A fault travels in an element named after the type it is written as, with
// a suffix: a zel.fault.NotFound (xsi name ZelFaultNotFound) in
// <ZelFaultNotFoundFault>. The writer, the reader and the schema all name
// fault elements through these two functions.
#pragma once

#include <string>
#include <string_view>

namespace Lumo {
namespace Wire {
namespace Detail {

inline constexpr std::string_view kFaultElementSuffix = "Fault";

// The element a fault of that xsi name travels in.
inline std::string FaultElementName(std::string_view xsiName) {
  std::string name(xsiName);
  name += kFaultElementSuffix;
  return name;
}

// The xsi name of the fault type an element names; empty when the element
// name is not one of a fault.
inline std::string_view FaultTypeOfElement(std::string_view element) {
  if (element.size() <= kFaultElementSuffix.size() ||
      element.substr(element.size() - kFaultElementSuffix.size()) != kFaultElementSuffix) {
    return {};
  }
  return element.substr(0, element.size() - kFaultElementSuffix.size());
}

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
