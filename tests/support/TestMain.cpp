// The test programs' main: GoogleTest's, and one line at the end that says
// every test ran and passed. CTest takes a test program for passed only when
// it prints that line (tests/CMakeLists.txt): under Wine a program that ends
// abruptly, say at a stack overflow with no guard left, may end with exit
// code 0 without having run the rest of its tests.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int failed = RUN_ALL_TESTS();
  if (failed == 0) std::printf("tovra-tests: every test ran and passed\n");
  std::fflush(stdout);
  return failed;
}
