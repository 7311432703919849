// Text and JSON reports: printf rounding of score and time, the rows of the
// machine facts, and JSON that a real parser reads back.
#include "cli/report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "cli/json.h"

namespace {

testing::AssertionResult has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

BenchmarkResult result(uint32_t status, double seconds, double score, const char* message = "") {
  BenchmarkResult r{status, status ? 2048u : 0u, seconds, score, {}};
  std::snprintf(r.message, sizeof r.message, "%s", message);
  return r;
}

BenchmarkReport sample_report() {
  BenchmarkReport r;
  r.version = "1.2.3";
  r.digits_requested = 2000, r.runs_requested = 3, r.radix = 10000, r.guaranteed_digits = 2046;
  r.custom = r.verify = true;
  r.aggregate = result(1, 12.3456, 2.5);
  r.runs = {{result(1, 6.0, 2.0), RunVerification::kPassed, {}},
            {result(0, 0, 0, "Memory allocation failed"), RunVerification::kNotChecked, {}},
            {result(1, 6.3456, 3.0), RunVerification::kPassed, {}}};
  r.system = {"Testcorp T9", 8, 16, 3200, 32768, "Linux", "Example Linux 1, kernel 6.1.0", "x64"};
  return r;
}

TEST(CliReport, JsonStringsSurviveARealParser) {
  const std::pair<std::string, std::string> cases[] = {  // text, what the parser must read back
      {"plain", "plain"},
      {"quote \" backslash \\ slash /", "quote \" backslash \\ slash /"},
      {"tab\tnl\ncr\rbs\bff\f", "tab\tnl\ncr\rbs\bff\f"},
      {std::string("nul\0one\x01us\x1f del\x7f", 16), std::string("nul\0one\x01us\x1f del\x7f", 16)},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"bad \xff lone \xc3 end", "bad \xef\xbf\xbd lone \xef\xbf\xbd end"},
      {"overlong \xc0\xaf surrogate \xed\xa0\x80", "overlong \xef\xbf\xbd\xef\xbf\xbd surrogate \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
      {"cut \xe2\x82", "cut \xef\xbf\xbd\xef\xbf\xbd"},
  };
  for (const auto& [in, want] : cases)  // parse() throws on invalid JSON
    EXPECT_EQ(nlohmann::json::parse(json_quote(in)).get<std::string>(), want) << json_quote(in);
}

// The layout the reports are written in, to the byte: one member a line
// indented by the line containers around it, inline containers on one line.
TEST(CliReport, JsonWriterPutsCommasAndIndentation) {
  JsonWriter j;
  j.begin_object().key("a").integer(1).key("empty").begin_array().end();
  j.key("list").begin_array().begin_object(JsonWriter::Layout::kInline).key("x").null().key("y");
  j.begin_array().boolean(true).number(0.5).end().end().string("s").end();
  j.key("row").begin_array(JsonWriter::Layout::kInline).end().end();
  EXPECT_EQ(j.text(), "{\n  \"a\": 1,\n  \"empty\": [],\n  \"list\": [\n    {\"x\": null, \"y\": [\n      true,\n      0.5\n"
                      "    ]},\n    \"s\"\n  ],\n  \"row\": []\n}");
}

TEST(CliReport, TextScoreAndTimeRoundLikePrintf) {
  const struct { double score, seconds; const char* rows; } cases[] = {
      {123456, 7.25, "Score:         123456\nTime:          7.250 sec\n"},
      {2.5, 12.3456, "Score:         2\nTime:          12.346 sec\n"},  // ties to even
      {3.5, 0.0625, "Score:         4\nTime:          0.062 sec\n"},
      {0.49999999999999994, 1e-4, "Score:         0\nTime:          0.000 sec\n"},
  };
  for (const auto& c : cases) {
    BenchmarkReport r = sample_report();
    r.aggregate = result(1, c.seconds, c.score);
    EXPECT_TRUE(has(format_report_text(r), c.rows));
  }
}

TEST(CliReport, TextLabelsCustomRunsFailuresAndVerification) {
  BenchmarkReport r = sample_report();
  std::string text = format_report_text(r);
  EXPECT_TRUE(has(text, "Custom run: 2000 digits x 3 runs - not comparable to the standard score\n"));
  EXPECT_TRUE(has(text, "Run 1:         6.000 sec, score 2, verified\n"));
  EXPECT_TRUE(has(text, "Run 2:         failed: Memory allocation failed\n"));
  EXPECT_EQ(text.find("Result:"), std::string::npos);
  EXPECT_TRUE(report_succeeded(r));

  r.custom = false, r.digits_requested = 8388608, r.runs_requested = 5;
  text = format_report_text(r);
  EXPECT_EQ(text.find("Custom run"), std::string::npos);
  EXPECT_TRUE(has(text, "Workload:      5 runs x 8388608 digits (standard benchmark)\n"));

  // A run with a wrong digit is a failed run that keeps its verdict.
  r.runs[2] = {result(0, 6.3456, 0, "wrong digits: digit 7 after the decimal point is wrong (3 instead of 2)"),
               RunVerification::kFailed, {}};
  text = format_report_text(r);
  EXPECT_TRUE(!report_succeeded(r) && run_status(r.runs[2]) == "verify-failed");
  EXPECT_TRUE(has(text, "Run 3:         FAILED verification, not counted: wrong digits: digit 7 after the decimal point "
                      "is wrong (3 instead of 2)\n"));
  EXPECT_TRUE(has(text, "Result:        not valid"));
  EXPECT_EQ(nlohmann::json::parse(format_report_json(r))["status"], "verify-failed");

  r.verify = false;
  EXPECT_TRUE(has(format_report_text(r), "Verified:      no (--no-verify)\n"));

  // One computation on several threads: the same rows, labelled; one thread is the default.
  EXPECT_EQ(nlohmann::json::parse(format_report_json(r))["parallel"], 1);
  EXPECT_EQ(format_report_text(r).find("parallel"), std::string::npos);
  r.parallel = 2;
  text = format_report_text(r);
  EXPECT_TRUE(has(text, "Threads:       parallel, 2 threads per computation\nRun 1:"));
  EXPECT_TRUE(has(text, "Score:         2 (parallel score not comparable with the standard single-thread score)\n"
                        "Time:          12.346 sec\n"));
  EXPECT_EQ(nlohmann::json::parse(format_report_json(r))["parallel"], 2);

  r.aggregate = result(0, 0, 0, "All 3 benchmark runs failed");
  EXPECT_TRUE(has(format_report_text(r), "Score:         --\nTime:          --\nResult:        failed: All 3 benchmark runs failed\n"));
}

// Several threads: each thread's figures, their sum as the throughput, and
// no single-thread score to compare with.
TEST(CliReport, ThreadsReportEachThreadAndTheirSum) {
  BenchmarkReport r = sample_report();
  r.threads = {{result(1, 12.0, 250), {{result(1, 6.0, 250), RunVerification::kPassed, {}}}},
               {result(1, 13.0, 231), {{result(1, 6.5, 231), RunVerification::kPassed, {}}}}};
  EXPECT_TRUE(report_throughput(r) == 481 && report_succeeded(r));
  std::string text = format_report_text(r);
  for (const char* want : {"Threads:       2 computations at once", "Thread 1:      12.000 sec, score 250\n",
                           "  Run 1:       6.500 sec, score 231, verified\n", "Throughput:    481 (multi-thread"})
    EXPECT_TRUE(has(text, want));
  EXPECT_EQ(text.find("Score:"), std::string::npos) << text;
  nlohmann::json j = nlohmann::json::parse(format_report_json(r));
  EXPECT_TRUE(j["throughput_score"] == 481 && j["score"].is_null() && j["threads"].size() == 2 &&
              j["threads"][1]["score"] == 231 && j["threads"][1]["runs"][0]["verified"] == true) << j;

  // A thread whose run was wrong, and one that failed as a whole.
  r.threads[1].runs[0] = {result(0, 6.5, 0, "wrong digits: x"), RunVerification::kFailed, {}};
  r.threads[1].aggregate = result(0, 0, 0, "All 1 benchmark runs failed");
  EXPECT_TRUE(!report_succeeded(r) && report_throughput(r) == 250);
  j = nlohmann::json::parse(format_report_json(r));
  EXPECT_TRUE(j["threads"][1]["status"] == "failed: All 1 benchmark runs failed" && j["status"] == j["threads"][1]["status"] &&
              j["threads"][1]["runs"][0]["status"] == "verify-failed") << j;
  EXPECT_TRUE(has(format_report_text(r), "Throughput:    --\n"));
}

TEST(CliReport, StressSummaryAndExitStatus) {
  EXPECT_TRUE(median_seconds({}) == 0 && median_seconds({3, 1, 2}) == 2 && median_seconds({4, 1, 3, 2}) == 2.5);

  StressReport s;
  s.version = "1.2.3";
  s.digits_requested = 1000000, s.digits_computed = 1048576, s.threads = 2, s.seconds = 60;
  s.run_seconds = {2.5, 2.0, 3.0};
  s.runs_per_thread = {2, 1};
  s.error_run = 17, s.error_thread = 2, s.error_elapsed = 75;
  s.error_time_of_day = "21:03:07";
  s.error_what = "digit 9 after the decimal point is wrong";
  const struct { bool interrupted, error; int64_t duration; int status; const char* result; } cases[] = {
      {false, false, 60, 0, "ok"},           {true, false, 60, 130, "interrupted"},
      {true, false, 0, 0, "ok"},             {false, true, 60, 1, "error: digit 9 after the decimal point is wrong"},
      {true, true, 0, 1, "error: digit 9 after the decimal point is wrong"},
  };
  for (const auto& c : cases) {
    s.interrupted = c.interrupted, s.error = c.error, s.duration_seconds = c.duration;
    EXPECT_EQ(stress_exit_status(s), c.status);
    const nlohmann::json j = nlohmann::json::parse(format_stress_json(s))["stress"];
    EXPECT_TRUE(j["result"] == c.result && j["runs"] == 3 && j["run_seconds"]["median"] == 2.5) << j;
    EXPECT_EQ(j["error"].is_null() ? -1 : j["error"]["thread"].get<int>(), c.error ? 2 : -1);
  }
  const std::string text = format_stress_text(s);
  for (const char* want : {"Stress test:   1000000 digits a run on 2 threads, until interrupted\n",
                           "Runs:          3 (thread 1: 2, thread 2: 1)\n",
                           "Run times:     min 2.000 sec, median 2.500 sec, max 3.000 sec\n",
                           "Result:        ERROR in run 17 on thread 2 after 1:15 at 21:03:07: digit 9 after the "
                           "decimal point is wrong\n"})
    EXPECT_TRUE(has(text, want));
  s.threads = 1, s.parallel = 3;
  EXPECT_TRUE(has(format_stress_text(s), "Stress test:   1000000 digits a run, parallel, 3 threads per computation, "
                                         "until interrupted\n"));
  EXPECT_EQ(nlohmann::json::parse(format_stress_json(s))["parallel"], 3);
}

}  // namespace
