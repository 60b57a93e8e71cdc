#include <gtest/gtest.h>

#include <regex>

#include "StartPhases.h"

namespace {

TEST(StartPhasesTest, NamesEachPhaseInOrderAfterTheTotal) {
  ZelServer::StartPhases phases;
  phases.Mark("runtime");
  phases.Mark("service");
  phases.Mark("listening");
  EXPECT_TRUE(
      std::regex_match(phases.Describe(), std::regex("started in [0-9]+\\.[0-9]{2} ms from main: "
                                                     "runtime [0-9]+\\.[0-9]{2} ms, "
                                                     "service [0-9]+\\.[0-9]{2} ms, "
                                                     "listening [0-9]+\\.[0-9]{2} ms")))
      << phases.Describe();
}

TEST(StartPhasesTest, WithoutMarksTellsTheTotalOnly) {
  ZelServer::StartPhases phases;
  EXPECT_EQ(phases.Describe(), "started in 0.00 ms from main");
}

}  // namespace
