// morlant-cli as a user runs it: the built executable in a child process,
// its exit status, standard output, standard error and output file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tests/cli/pi_digits.h"
#include "tests/support/process.h"

namespace {

using testsupport::ProcessOutcome;
using Env = std::vector<std::pair<std::string, std::string>>;

#ifdef _WIN32
constexpr const char* kOsName = "Windows";
#else
constexpr const char* kOsName = "Linux";
#endif

testing::AssertionResult has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

class CliEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* hook : {"MORLANT_CLI_CORRUPT_DIGIT", "MORLANT_CLI_AVAILABLE_MEMORY_MB"}) testsupport::set_env(hook, nullptr);
    dir_ = testsupport::make_temp_dir("morlant-cli");
  }
  void TearDown() override { testsupport::remove_temp_dir(dir_); }

  // morlant-cli with args (through the emulator where one is needed), run to
  // its end or interrupted once its standard error shows `interrupt_at`.
  // Text written on Windows ends its lines with CR LF; it comes back as LF.
  ProcessOutcome run(std::vector<std::string> args, const Env& env = {}, const char* interrupt_at = nullptr) {
#ifdef MORLANT_CLI_EMULATOR
    args.insert(args.begin(), MORLANT_CLI_PATH);
    const std::string program = MORLANT_CLI_EMULATOR;
#else
    const std::string program = MORLANT_CLI_PATH;
#endif
    ProcessOutcome o = interrupt_at != nullptr ? testsupport::run_and_interrupt(program, args, dir_, interrupt_at, 120)
                                               : testsupport::run_process(program, args, dir_, env);
    o.out = lf(o.out);
    o.err = lf(o.err);
    return o;
  }
  static std::string lf(std::string text) {
    for (std::size_t i; (i = text.find("\r\n")) != std::string::npos;) text.erase(i, 1);
    return text;
  }
  std::string read(const std::string& name) { return lf(testsupport::read_file(dir_ + "/" + name)); }
  static bool exists(const std::string& path) { return std::filesystem::exists(path); }

  std::string dir_;
};

// The option parser's own tests cover every message; here the exit code, the
// single line, and a refusal before the minute-long standard workload.
TEST_F(CliEndToEnd, BadInputExitsWith2AndOneLineBeforeAnyWork) {
  // The message's start: the last two end without a newline, the platform's error text follows.
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--digits", "abc"}, "morlant-cli: --digits needs a whole number from 1 to 100663288, got 'abc'\n"},
      {{"--runs"}, "morlant-cli: --runs needs a whole number from 1 to 100, got nothing\n"},
      {{"--fast"}, "morlant-cli: unknown option '--fast' (see --help)\n"},
      {{"now"}, "morlant-cli: unexpected argument 'now' (see --help)\n"},
      {{"--output", "/nonexistent-dir/pi.txt"}, "morlant-cli: cannot write --output file '/nonexistent-dir/pi.txt': "},
      {{"--output", "/"}, "morlant-cli: cannot write --output file '/': "},
  };
  for (const auto& [args, err] : cases) {
    const ProcessOutcome o = run(args);
    EXPECT_TRUE(o.exit_code == 2 && o.out.empty() && o.seconds < 5.0) << err << o.exit_code << o.out << o.seconds;
    EXPECT_EQ(o.err.rfind(err, 0), 0u) << o.err;
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
  }
}

TEST_F(CliEndToEnd, HelpAndVersionExit0) {
  ProcessOutcome o = run({"--help"});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out.rfind("Usage: morlant-cli [options]\n", 0), 0u) << o.out;
  // Whole, to the exit codes at its end, and within 80 columns.
  EXPECT_TRUE(has(o.out, "duration, or a benchmark).\n"));
  for (std::size_t at = 0, next; (next = o.out.find('\n', at)) != std::string::npos; at = next + 1)
    EXPECT_LT(next - at, 80u) << o.out.substr(at, next - at);
  EXPECT_EQ(o.err, "");
  o = run({"--version"});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out, std::string("morlant-cli ") + MORLANT_VERSION + "\n");
}

TEST_F(CliEndToEnd, JsonWithVerification) {
  const ProcessOutcome o = run({"--digits", "2000", "--runs", "2", "--json", "--verify"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  nlohmann::json j;
  ASSERT_NO_THROW(j = nlohmann::json::parse(o.out)) << o.out;
  EXPECT_TRUE(j["version"] == MORLANT_VERSION && j["custom"] == true && j["verify"] == true && j["status"] == "ok" &&
              j["digits_requested"] == 2000 && j["runs_requested"] == 2 && j["radix"] == 10000 && j["score"].is_number());
  // A 512-point transform, 4 digits per word.
  EXPECT_TRUE(j["digits"] == 2048 && j["guaranteed_digits"] == 2046) << o.out;
  ASSERT_EQ(j["runs"].size(), 2u);
  double total = 0;
  for (const auto& run : j["runs"]) {
    EXPECT_TRUE(run["status"] == "ok" && run["verified"] == true && run["digits"] == 2048 && run["score"].is_number() &&
                run["seconds"].get<double>() >= 0) << run;
    total += run["seconds"].get<double>();
  }
  EXPECT_NEAR(j["seconds"].get<double>(), total, 1e-9);
  const auto& s = j["system"];
  EXPECT_TRUE(s["cpu"].is_string() && s["os_version"].is_string() && s["architecture"].is_string() &&
              s["os_name"] == kOsName && s["cpu_mhz"].is_number_integer() && s["logical_processors"].get<int>() > 0 &&
              s["physical_cores"].get<int>() > 0 && s["memory_mb"].get<int64_t>() > 0) << s;
  // Progress stays on standard error.
  EXPECT_TRUE(has(o.err, "step 1/14"));
  EXPECT_TRUE(has(o.err, "run 2/2: "));
}

// 2^1, 2^5, 2^11 and 2^14 transforms; the last has 8 guard digits.
TEST_F(CliEndToEnd, VerificationPassesAcrossSizes) {
  for (const char* digits : {"1", "100", "5000", "65536"}) {
    const ProcessOutcome o = run({"--digits", digits, "--runs", "1", "--verify", "--quiet", "--json"});
    EXPECT_TRUE(o.exit_code == 0 && o.err.empty()) << digits << ": " << o.err;
    EXPECT_EQ(nlohmann::json::parse(o.out)["runs"][0]["verified"], true) << o.out;
  }
}

TEST_F(CliEndToEnd, TextReportOfACustomRun) {
  const ProcessOutcome o = run({"--digits", "100000", "--runs", "2"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  // Every row is pinned by the report's tests; here the real machine's OS and both runs.
  for (const std::string& row : {std::string("Custom run: 100000 digits x 2 runs - not comparable to the standard score\n"),
                                 "\nOS:            " + std::string(kOsName) + " ", std::string("\nRun 2:")})
    EXPECT_TRUE(has(o.out, row));
  // The last two rows: a whole score, then a time with exactly three decimals.
  const std::string rows = o.out.substr(o.out.rfind("\nScore:") + 1);
  unsigned long long points = 0, seconds = 0;
  char millis[8] = {};
  int end = 0;
  EXPECT_EQ(std::sscanf(rows.c_str(), "Score: %llu\nTime: %llu.%7[0-9] sec%n", &points, &seconds, millis, &end), 3) << o.out;
  EXPECT_TRUE(std::string(millis).size() == 3 && rows.substr(static_cast<std::size_t>(end)) == "\n") << o.out;
  EXPECT_TRUE(has(o.err, "step 1/26 (3%): "));
  EXPECT_TRUE(has(o.err, "step 26/26 (100%): 100000 digits"));
}

// Regression: --output delivers exactly the digits asked for, also where the
// length chosen for them does not guarantee them all (1024 digits ask for
// more than the 1022 of 256 words: computed at 512), through a .partial file
// that does not stay behind.
TEST_F(CliEndToEnd, OutputWritesTheDigitsAskedFor) {
  const std::string file = dir_ + "/pi.txt";
  for (const int digits : {1000, 1024, 1}) {
    const bool json = digits == 1024;
    std::vector<std::string> args{"--digits", std::to_string(digits), "--runs", "1", "--quiet"};
    if (json) args.insert(args.end(), {"--json", "--output=" + file});
    else args.insert(args.end(), {"--output", file});
    const ProcessOutcome o = run(args);
    ASSERT_EQ(o.exit_code, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(read("pi.txt"), digits == 1 ? "3\n" : "3." + std::string(kPiDigits + 1, digits - 1) + "\n");
    EXPECT_FALSE(exists(file + ".partial"));
    if (json) {
      const nlohmann::json j = nlohmann::json::parse(o.out);
      EXPECT_TRUE(j["digits_computed"] == 2048 && j["digits"] == 2048 && j["custom"] == true) << o.out;
    }
  }
}

// Verification is the default: a wrong run is a failed run that adds
// nothing to the score, named with the position of its wrong digit.
TEST_F(CliEndToEnd, AWrongRunFailsAndIsNotCounted) {
  const std::string file = dir_ + "/pi.txt";
  const ProcessOutcome o = run({"--digits", "2000", "--runs", "2", "--json", "--quiet", "--output", file},
                               {{"MORLANT_CLI_CORRUPT_DIGIT", "2"}});
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_TRUE(has(o.err, "morlant-cli: verification FAILED for run 2: digit 1023 after the decimal point is wrong"));
  EXPECT_EQ(o.err.find("run 1:"), std::string::npos);
  const nlohmann::json j = nlohmann::json::parse(o.out);
  EXPECT_EQ(j["status"], "verify-failed");
  EXPECT_EQ(j["runs"][0]["status"], "ok");
  EXPECT_TRUE(j["runs"][1]["status"] == "verify-failed" && j["runs"][1]["verified"] == false && j["runs"][1]["score"] == 0);
  // Score and time are run 1's alone.
  EXPECT_TRUE(j["score"] == j["runs"][0]["score"] && j["seconds"] == j["runs"][0]["seconds"]) << o.out;
  // Digits that failed verification are not handed out.
  EXPECT_FALSE(exists(file));
  EXPECT_TRUE(has(o.err, "nothing written to '" + file + "': the digits failed verification"));

  // --no-verify counts the same runs without looking at their digits.
  const ProcessOutcome unchecked =
      run({"--digits", "2000", "--runs", "2", "--json", "--quiet", "--no-verify"}, {{"MORLANT_CLI_CORRUPT_DIGIT", "2"}});
  EXPECT_EQ(unchecked.exit_code, 0) << unchecked.err;
  const nlohmann::json u = nlohmann::json::parse(unchecked.out);
  EXPECT_TRUE(u["status"] == "ok" && u["verify"] == false && u["runs"][1]["verified"].is_null()) << unchecked.out;
}

TEST_F(CliEndToEnd, StressStopsAtTheFirstWrongDigit) {
  const ProcessOutcome o = run({"--stress", "--digits", "20000", "--json"}, {{"MORLANT_CLI_CORRUPT_DIGIT", "3"}});
  EXPECT_EQ(o.exit_code, 1) << o.err;
  // 8192 words guarantee 32760 digits; the hook changes the middle one.
  const std::string what = "digit 16380 after the decimal point is wrong";
  EXPECT_TRUE(has(o.err, "morlant-cli: ERROR in run 3 on thread 1 after "));
  EXPECT_TRUE(has(o.err, what));
  const auto s = nlohmann::json::parse(o.out)["stress"];
  EXPECT_TRUE(s["runs"] == 2 && s["error"]["run"] == 3 && s["error"]["thread"] == 1) << o.out;
  EXPECT_EQ(s["error"]["time_of_day"].get<std::string>().size(), 8u);
  EXPECT_EQ(s["result"].get<std::string>().rfind("error: " + what, 0), 0u);
  EXPECT_TRUE(s["duration_seconds"].is_null());
}

TEST_F(CliEndToEnd, StressRunsForItsDurationOnEveryThread) {
  const ProcessOutcome o = run({"--stress", "1s", "--threads", "2", "--digits", "1000"});
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_TRUE(has(o.out, "Stress test:   1000 digits a run on 2 threads, for 1s\n"));
  EXPECT_TRUE(has(o.out, "Result:        no error found\n"));
  unsigned runs = 0, first = 0, second = 0;
  const std::size_t at = o.out.find("\nRuns:");
  ASSERT_EQ(std::sscanf(o.out.c_str() + (at == std::string::npos ? 0 : at), "\nRuns: %u (thread 1: %u, thread 2: %u)", &runs,
                        &first, &second), 3) << o.out;
  EXPECT_TRUE(runs == first + second && first > 0 && second > 0) << o.out;
  EXPECT_TRUE(has(o.err, "stress: "));
  EXPECT_GT(o.seconds, 0.9);
}

TEST_F(CliEndToEnd, ThreadsReportEachThreadAndTheirSum) {
  const ProcessOutcome o = run({"--threads", "2", "--digits", "10000", "--runs", "2", "--json"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  const nlohmann::json j = nlohmann::json::parse(o.out);
  ASSERT_EQ(j["threads"].size(), 2u);
  double sum = 0;
  for (const auto& t : j["threads"]) {
    EXPECT_TRUE(t["status"] == "ok" && t["runs"].size() == 2 && t["runs"][1]["verified"] == true) << t;
    sum += t["score"].get<double>();
  }
  EXPECT_EQ(j["throughput_score"].get<double>(), sum);
  EXPECT_TRUE(j["score"].is_null());
  // One progress sequence for both threads: 2 threads x 2 runs x 10 steps.
  EXPECT_TRUE(has(o.err, "step 40/40 (100%)"));
}

TEST_F(CliEndToEnd, TooLittleMemoryRefusesBeforeAnyWork) {
  const Env one_mb{{"MORLANT_CLI_AVAILABLE_MEMORY_MB", "1"}};
  for (const char* threads : {"2", "all"}) {
    const ProcessOutcome o = run({"--threads", threads, "--digits", "1000000"}, one_mb);
    EXPECT_EQ(o.exit_code, 2);
    EXPECT_TRUE(has(o.err, "of 1000000 digits at once need "));
    EXPECT_TRUE(has(o.err, "but only 1 MB are available; nothing was started"));
    EXPECT_EQ(o.err.find("step"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
  }
  // 1 MB suffices for one small computation (about 0.2 MB).
  EXPECT_EQ(run({"--digits", "10000", "--runs", "1", "--quiet"}, one_mb).exit_code, 0);
}

// Regression, Ctrl+C for real: a benchmark stops with 130 (not killed by the
// signal) and leaves no output or .partial file (an existing one untouched);
// a stress test without a duration ends normally, one with a duration is
// interrupted.
TEST_F(CliEndToEnd, InterruptStopsCleanly) {
  const std::string file = dir_ + "/pi.txt";
  ProcessOutcome o = run({"--digits", "1000000", "--runs", "50", "--output", file}, {}, "step 1/");
  ASSERT_TRUE(o.started && o.signalled) << o.err;
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_TRUE(has(o.err, "morlant-cli: interrupted; "));
  EXPECT_TRUE(has(o.err, " of 50 runs had completed, nothing written to --output\n"));
  EXPECT_EQ(o.out, "");
  EXPECT_FALSE(exists(file) || exists(file + ".partial"));

  std::ofstream(file, std::ios::binary) << "old\n";
  o = run({"--digits", "1000000", "--runs", "50", "--threads", "2", "--output", file}, {}, "step ");
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_EQ(read("pi.txt"), "old\n");

  o = run({"--stress", "--digits", "10000", "--threads", "2"}, {}, "stress: ");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_TRUE(has(o.out, "Result:        no error found\n"));
  o = run({"--stress", "1h", "--digits", "10000", "--json"}, {}, "stress: ");
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_EQ(nlohmann::json::parse(o.out)["stress"]["result"], "interrupted");
}

}  // namespace
