#include <gtest/gtest.h>

#include "WireTestSupport.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  WireTest::StartRuntime();
  return RUN_ALL_TESTS();
}
