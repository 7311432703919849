// Morlant.exe as its own process: closing the window while a benchmark runs
// must not hang, nor end the process with a failure.
#include <gtest/gtest.h>

#include "tests/app/app_test_support.h"

namespace {

TEST(AppProcess, ClosingTheWindowWhileABenchmarkRunsEndsTheProgramWithCodeZero) {
  apptest::Program program;
  ASSERT_TRUE(apptest::start_program(program));
  EXPECT_TRUE(apptest::start_benchmark(program)) << "the benchmark did not start";
  Sleep(500);
  // The window waits at most a second for the computing worker, then the process ends.
  ULONGLONG took = 0;
  EXPECT_EQ(apptest::close_program(program, &took), 0);
  EXPECT_LT(took, 2000u);
}

}  // namespace
