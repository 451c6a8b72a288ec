#include <gtest/gtest.h>

#include "debug_capture.h"

int main(int argc, char** argv) {
  int scenario = RunScenarioFromArguments(argc, argv);
  if (scenario >= 0) return scenario;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
