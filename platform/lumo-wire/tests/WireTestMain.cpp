#include <Lumo/CallPool.h>
#include <gtest/gtest.h>

#include "WireTestSupport.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Enough threads for the test that holds a hundred calls in flight at once.
  Lumo::ConfigureCallPool(Lumo::CallPoolSettings{128, 10000});
  WireTest::StartRuntime();
  return RUN_ALL_TESTS();
}
