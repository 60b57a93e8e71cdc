// Starts the runtime once before the tests of this binary run.
#include <Lumo/TypeInfoLoader.h>
#include <gtest/gtest.h>

namespace {

class StartedRuntime : public ::testing::Environment {
 public:
  void SetUp() override { Lumo::StartRuntime(); }
};

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new StartedRuntime);

}  // namespace
