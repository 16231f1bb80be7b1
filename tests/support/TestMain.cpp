// The test programs' main: GoogleTest's, a line for each test suite with
// its counts (scripts/test shows those of the plug-in suites), and one line
// at the end that says every test ran and passed. CTest takes a test
// program for passed only when it prints that line (tests/CMakeLists.txt):
// under Wine a program that ends abruptly, say at a stack overflow with no
// guard left, may end with exit code 0 without having run the rest of its
// tests.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int failed = RUN_ALL_TESTS();
  const ::testing::UnitTest &tests = *::testing::UnitTest::GetInstance();
  for (int i = 0; i < tests.total_test_suite_count(); ++i) {
    const ::testing::TestSuite &suite = *tests.GetTestSuite(i);
    if (suite.test_to_run_count() > 0)
      std::printf("tovra-tests: %s: %d passed, %d skipped, %d failed\n", suite.name(), suite.successful_test_count(),
                  suite.skipped_test_count(), suite.failed_test_count());
  }
  if (failed == 0) std::printf("tovra-tests: every test ran and passed\n");
  std::fflush(stdout);
  return failed;
}
