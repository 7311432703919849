// Morlant.exe as its own process: closing the window while a benchmark runs.
#include <gtest/gtest.h>

#include "app/resource_ids.h"
#include "tests/app/app_test_support.h"

namespace {

TEST(AppProcess, ClosingTheWindowWhileABenchmarkRunsEndsTheProgramWithCodeZero) {
  apptest::Program program;
  ASSERT_TRUE(apptest::start_program(MORLANT_WIDEN(MORLANT_EXE_PATH), program));
  HWND card = GetDlgItem(program.window, IDC_RESULT_CARD);
  EXPECT_EQ(apptest::window_text(card), L"--");

  EXPECT_TRUE(apptest::start_benchmark(program)) << "the benchmark did not start";
  Sleep(500);

  // The worker is computing: the window waits at most a second for it and
  // the process ends with it.
  const ULONGLONG closed = GetTickCount64();
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  DWORD exit_code = 0xFFFF;
  const bool ended = apptest::wait_for_exit(program, 5000, exit_code);
  const ULONGLONG took = GetTickCount64() - closed;
  if (!ended) apptest::end_program(program);
  ASSERT_TRUE(ended);
  EXPECT_EQ(exit_code, 0u);
  EXPECT_LT(took, 2000u) << "1 s of waiting for the worker, then the exit";
}

}  // namespace
