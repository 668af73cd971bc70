// The tests' main: first what every program that converts does at its start,
// then every test.
#include <gtest/gtest.h>

#include "runtime/platform.h"

int main(int argc, char** argv) {
  kwt::platform::IgnoreLeaseSignal();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
