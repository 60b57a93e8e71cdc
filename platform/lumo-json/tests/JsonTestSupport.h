// Helpers of the JSON mapping's tests: the reason a call is refused with.
#pragma once

#include <Lumo/Json/Json.h>

#include <string>

namespace JsonTest {

// "read" when f returns, the reason's name when it throws Json::Error, with
// the path and message in *error.
template <class F>
std::string ReasonOf(F&& f, Lumo::Json::Error* error = nullptr) {
  try {
    f();
  } catch (const Lumo::Json::Error& e) {
    if (error) *error = e;
    return Lumo::Json::ToString(e.GetReason());
  }
  return "read";
}

}  // namespace JsonTest
