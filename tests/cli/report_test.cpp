// Text and JSON reports: printf rounding of score and time, the rows of the
// machine facts, and JSON that a real parser reads back.
#include "cli/report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

BenchmarkResult result(uint32_t status, double seconds, double score, const char* message = "") {
  BenchmarkResult r{status, status ? 2048u : 0u, seconds, score, {}};
  std::snprintf(r.message, sizeof r.message, "%s", message);
  return r;
}

BenchmarkReport sample_report() {
  BenchmarkReport r;
  r.version = "1.2.3";
  r.digits_requested = 2000;
  r.runs_requested = 3;
  r.custom = r.verify = true;
  r.aggregate = result(1, 12.3456, 2.5);
  r.runs = {{result(1, 6.0, 2.0), RunVerification::kPassed},
            {result(0, 0, 0, "Memory allocation failed"), RunVerification::kNotChecked},
            {result(1, 6.3456, 3.0), RunVerification::kPassed}};
  r.radix = 10000;
  r.guaranteed_digits = 2046;
  r.system = {"Testcorp T9", 8, 16, 3200, 32768, "Linux", "Example Linux 1, kernel 6.1.0", "x64"};
  return r;
}

TEST(CliReport, JsonStringsSurviveARealParser) {
  const struct {
    std::string in;
    std::string want;  // what the parser must read back
  } cases[] = {
      {"plain", "plain"},
      {"quote \" backslash \\ slash /", "quote \" backslash \\ slash /"},
      {"tab\tnl\ncr\rbs\bff\f", "tab\tnl\ncr\rbs\bff\f"},
      {std::string("nul\0one\x01us\x1f del\x7f", 16), std::string("nul\0one\x01us\x1f del\x7f", 16)},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"bad \xff lone \xc3 end", "bad \xef\xbf\xbd lone \xef\xbf\xbd end"},
      {"overlong \xc0\xaf surrogate \xed\xa0\x80",
       "overlong \xef\xbf\xbd\xef\xbf\xbd surrogate "
       "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
      {"cut \xe2\x82", "cut \xef\xbf\xbd\xef\xbf\xbd"},
  };
  for (const auto& c : cases) {
    const std::string quoted = json_quote(c.in);
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(quoted)) << quoted;
    EXPECT_EQ(parsed.get<std::string>(), c.want) << quoted;
  }
}

TEST(CliReport, TextScoreAndTimeRoundLikePrintf) {
  const struct {
    double score, seconds;
    const char* score_row;
    const char* time_row;
  } cases[] = {
      {123456, 7.25, "Score:         123456\n", "Time:          7.250 sec\n"},
      {2.5, 12.3456, "Score:         2\n", "Time:          12.346 sec\n"},  // ties to even
      {3.5, 0.0625, "Score:         4\n", "Time:          0.062 sec\n"},
      {0.49999999999999994, 1e-4, "Score:         0\n", "Time:          0.000 sec\n"},
  };
  for (const auto& c : cases) {
    BenchmarkReport r = sample_report();
    r.aggregate = result(1, c.seconds, c.score);
    const std::string text = format_report_text(r);
    EXPECT_NE(text.find(c.score_row), std::string::npos) << text;
    EXPECT_NE(text.find(c.time_row), std::string::npos) << text;
  }
}

TEST(CliReport, TextLabelsCustomRunsFailuresAndVerification) {
  BenchmarkReport r = sample_report();
  std::string text = format_report_text(r);
  EXPECT_NE(text.find("Custom run: 2000 digits x 3 runs - not comparable to the standard score\n"), std::string::npos);
  EXPECT_NE(text.find("Run 1:         6.000 sec, score 2, verified\n"), std::string::npos);
  EXPECT_NE(text.find("Run 2:         failed: Memory allocation failed\n"), std::string::npos);
  EXPECT_EQ(text.find("Result:"), std::string::npos);
  EXPECT_TRUE(report_succeeded(r));

  r.custom = false;
  r.digits_requested = 8388608;
  r.runs_requested = 5;
  text = format_report_text(r);
  EXPECT_EQ(text.find("Custom run"), std::string::npos);
  EXPECT_NE(text.find("Workload:      5 runs x 8388608 digits (standard benchmark)\n"), std::string::npos);

  r.runs[2].verification = RunVerification::kFailed;
  text = format_report_text(r);
  EXPECT_FALSE(report_succeeded(r));
  EXPECT_NE(text.find("Run 3:         6.346 sec, score 3, verification FAILED\n"), std::string::npos);
  EXPECT_NE(text.find("Result:        not valid"), std::string::npos);

  r.aggregate = result(0, 0, 0, "All 3 benchmark runs failed");
  text = format_report_text(r);
  EXPECT_NE(text.find("Score:         --\nTime:          --\nResult:        failed: All 3 benchmark runs failed\n"),
            std::string::npos);
}

}  // namespace
