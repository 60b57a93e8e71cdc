// Shared pieces of the rule tests: a fixture that starts the runtime once per
// suite and the assertion texts the generated code panics with.
#pragma once

#include <Lumo/Lumo.h>
#include <gtest/gtest.h>

#include <string>

namespace ZelRules {

// Death-test patterns (POSIX extended regex): description units are named
// with backslashes, headers with slashes.
inline const char kRootUnit[] = "LIBRARIES\\\\olyx\\\\generic\\\\beta\\\\zel\\\\typeinfo:";
inline const char kProfileUnit[] =
    "LIBRARIES\\\\olyx\\\\generic\\\\beta\\\\zel\\\\profile\\\\typeinfo:";
inline std::string HeaderAssert(const std::string& header) {
  return "ASSERT LIBRARIES/olyx/generic/beta/Olyx/Zel/" + header + ":";
}

class RulesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }
};

}  // namespace ZelRules
