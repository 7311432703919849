// The whole program with the real benchmark: five computations of
// 8,388,608 digits (80 to 100 s on a current desktop). Labelled `long`.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "app/resource_ids.h"
#include "tests/app/app_test_support.h"

namespace {

TEST(AppEndToEnd, StartRunsTheBenchmarkAndTheResultCardShowsScoreAndTime) {
  apptest::Program program;
  ASSERT_TRUE(apptest::start_program(program));
  HWND start = GetDlgItem(program.window, IDC_START);
  ASSERT_TRUE(apptest::start_benchmark(program)) << "the benchmark did not start";
  const ULONGLONG started = GetTickCount64();
  while (!IsWindowEnabled(start) && GetTickCount64() - started < 540000) Sleep(250);
  const double seconds = static_cast<double>(GetTickCount64() - started) / 1000.0;
  EXPECT_TRUE(IsWindowEnabled(start)) << "no result after " << seconds << " s";

  const std::wstring shown = apptest::window_text(GetDlgItem(program.window, IDC_RESULT_CARD));
  std::wsmatch match;
  ASSERT_TRUE(std::regex_match(shown, match, std::wregex(L"Score ([1-9][0-9]*), ([0-9]+\\.[0-9]{3}) sec")))
      << "result card reads \"" << std::string(shown.begin(), shown.end()) << "\"";
  // The reported time is the sum of the five computations: within the wall time.
  const double reported = std::stod(match[2].str());
  EXPECT_TRUE(reported > 0.0 && reported <= seconds + 1.0) << reported << " s reported after " << seconds << " s";
  std::printf("Morlant: %ls after %.1f s\n", shown.c_str(), seconds);
  EXPECT_EQ(apptest::close_program(program), 0);
}

}  // namespace
