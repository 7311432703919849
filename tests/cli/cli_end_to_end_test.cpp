// morlant-cli as a user runs it: the built executable in a child process,
// its exit status, standard output, standard error and output file.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/cli/interrupted_child.h"
#include "tests/cli/pi_digits.h"
#include "tests/support/process.h"

namespace {

using testsupport::ProcessOutcome;

// Text written on Windows ends its lines with CR LF; compare it as LF.
std::string lf(std::string text) {
  for (std::size_t i; (i = text.find("\r\n")) != std::string::npos;) text.erase(i, 1);
  return text;
}

#ifdef _WIN32
constexpr const char* kOsName = "Windows";
#else
constexpr const char* kOsName = "Linux";
#endif

class CliEndToEnd : public testing::Test {
 protected:
  static void SetUpTestSuite() {  // the test hooks
    testsupport::set_env("MORLANT_CLI_CORRUPT_DIGIT", nullptr);
    testsupport::set_env("MORLANT_CLI_AVAILABLE_MEMORY_MB", nullptr);
  }
  void SetUp() override { dir_ = testsupport::make_temp_dir("morlant-cli"); }
  void TearDown() override { testsupport::remove_temp_dir(dir_); }

  ProcessOutcome run(const std::vector<std::string>& args,
                     const std::vector<std::pair<std::string, std::string>>& env = {}) {
#ifdef MORLANT_CLI_EMULATOR
    std::vector<std::string> command{MORLANT_CLI_PATH};
    command.insert(command.end(), args.begin(), args.end());
    ProcessOutcome o = testsupport::run_process(MORLANT_CLI_EMULATOR, command, dir_, env);
#else
    ProcessOutcome o = testsupport::run_process(MORLANT_CLI_PATH, args, dir_, env);
#endif
    o.out = lf(o.out);
    o.err = lf(o.err);
    return o;
  }
  std::string read(const std::string& name) { return lf(testsupport::read_file(dir_ + "/" + name)); }
  bool exists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f != nullptr) std::fclose(f);
    return f != nullptr;
  }

  InterruptOutcome interrupt(const std::vector<std::string>& args, const std::string& ready) {
#ifdef MORLANT_CLI_EMULATOR
    std::vector<std::string> command{MORLANT_CLI_PATH};
    command.insert(command.end(), args.begin(), args.end());
    InterruptOutcome o = run_and_interrupt(MORLANT_CLI_EMULATOR, command, dir_, ready, 120);
#else
    InterruptOutcome o = run_and_interrupt(MORLANT_CLI_PATH, args, dir_, ready, 120);
#endif
    o.out = lf(o.out);
    o.err = lf(o.err);
    return o;
  }

  std::string dir_;
};

// The option parser's own tests cover every message; here the exit code, the
// single line, and a refusal before the minute-long standard workload.
TEST_F(CliEndToEnd, BadInputExitsWith2AndOneLineBeforeAnyWork) {
  const struct {
    std::vector<std::string> args;
    std::string err;  // without a final newline: the platform's error text follows
  } cases[] = {
      {{"--digits", "abc"}, "morlant-cli: --digits needs a whole number from 1 to 100663288, got 'abc'\n"},
      {{"--runs"}, "morlant-cli: --runs needs a whole number from 1 to 100, got nothing\n"},
      {{"--fast"}, "morlant-cli: unknown option '--fast' (see --help)\n"},
      {{"now"}, "morlant-cli: unexpected argument 'now' (see --help)\n"},
      {{"--output", "/nonexistent-dir/pi.txt"}, "morlant-cli: cannot write --output file '/nonexistent-dir/pi.txt': "},
      {{"--output", "/"}, "morlant-cli: cannot write --output file '/': "},
  };
  for (const auto& c : cases) {
    const ProcessOutcome o = run(c.args);
    EXPECT_EQ(o.exit_code, 2) << c.err;
    EXPECT_EQ(o.err.rfind(c.err, 0), 0u) << o.err;
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_LT(o.seconds, 5.0) << c.err;
  }
}

TEST_F(CliEndToEnd, HelpAndVersionExit0) {
  ProcessOutcome o = run({"--help"});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out.rfind("Usage: morlant-cli [options]\n", 0), 0u) << o.out;
  // Whole, to the exit codes at its end, and within 80 columns.
  EXPECT_NE(o.out.find("duration, or a benchmark).\n"), std::string::npos) << o.out;
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
  EXPECT_EQ(j["version"], MORLANT_VERSION);
  EXPECT_EQ(j["custom"], true);
  EXPECT_EQ(j["verify"], true);
  EXPECT_EQ(j["digits_requested"], 2000);
  EXPECT_EQ(j["runs_requested"], 2);
  EXPECT_EQ(j["digits"], 2048);  // 512-point transform, 4 digits per word
  EXPECT_EQ(j["guaranteed_digits"], 2046);
  EXPECT_EQ(j["radix"], 10000);
  EXPECT_EQ(j["status"], "ok");
  ASSERT_TRUE(j["score"].is_number());
  ASSERT_EQ(j["runs"].size(), 2u);
  double total = 0;
  for (const auto& run : j["runs"]) {
    EXPECT_EQ(run["status"], "ok");
    EXPECT_EQ(run["verified"], true);
    EXPECT_EQ(run["digits"], 2048);
    ASSERT_TRUE(run["score"].is_number());
    EXPECT_GE(run["seconds"].get<double>(), 0.0);
    total += run["seconds"].get<double>();
  }
  EXPECT_NEAR(j["seconds"].get<double>(), total, 1e-9);
  const auto& s = j["system"];
  EXPECT_TRUE(s["cpu"].is_string() && s["os_version"].is_string() && s["architecture"].is_string());
  EXPECT_TRUE(s["logical_processors"].get<int>() > 0 && s["physical_cores"].get<int>() > 0);
  EXPECT_TRUE(s["cpu_mhz"].is_number_integer());
  EXPECT_GT(s["memory_mb"].get<int64_t>(), 0);
  EXPECT_EQ(s["os_name"], kOsName);
  // Progress stays on standard error.
  EXPECT_NE(o.err.find("step 1/14"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("run 2/2: "), std::string::npos) << o.err;
}

TEST_F(CliEndToEnd, VerificationPassesAcrossSizes) {
  // 2^1, 2^5, 2^11 and 2^14 transforms; the last has 8 guard digits.
  for (const char* digits : {"1", "100", "5000", "65536"}) {
    const ProcessOutcome o = run({"--digits", digits, "--runs", "1", "--verify", "--quiet"});
    EXPECT_EQ(o.exit_code, 0) << digits << ": " << o.err;
    EXPECT_EQ(o.err, "") << digits;
    EXPECT_NE(o.out.find(", verified\n"), std::string::npos) << o.out;
  }
}

TEST_F(CliEndToEnd, TextReportOfACustomRun) {
  const ProcessOutcome o = run({"--digits", "100000", "--runs", "2"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("Custom run: 100000 digits x 2 runs - not comparable to the standard score\n"),
            std::string::npos);
  const std::string rows[] = {"CPU:", "Cores:", "Memory:", std::string("OS:            ") + kOsName + " ",
                              "Architecture:", "Run 1:", "Run 2:"};
  for (const std::string& row : rows)
    EXPECT_NE(("\n" + o.out).find("\n" + row), std::string::npos) << row << "\n" << o.out;
  // The last two rows: a whole score, then a time with exactly three decimals.
  const std::size_t score = o.out.rfind("\nScore:");
  ASSERT_NE(score, std::string::npos) << o.out;
  unsigned long long points = 0;
  unsigned seconds = 0, millis = 0;
  int end = 0;
  EXPECT_EQ(std::sscanf(o.out.c_str() + score, "\nScore: %llu\nTime: %u.%u sec%n", &points, &seconds, &millis, &end), 3);
  EXPECT_EQ(o.out.substr(score + static_cast<std::size_t>(end)), "\n") << o.out;
  EXPECT_EQ(o.out.size() - o.out.rfind('.'), 9u) << "three decimals: " << o.out;
  EXPECT_NE(o.err.find("step 1/26 (3%): "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("step 26/26 (100%): 100000 digits"), std::string::npos) << o.err;
}

TEST_F(CliEndToEnd, OutputWritesTheDigitsAskedFor) {
  const std::string file = dir_ + "/pi.txt";
  ProcessOutcome o = run({"--digits", "1000", "--runs", "1", "--output", file, "--quiet"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(read("pi.txt"), "3." + std::string(kPiDigits + 1, 999) + "\n");

  // 1024 digits ask for more than the 1022 a 256-word computation
  // guarantees: it runs at 512 words, and the file holds all 1024.
  o = run({"--digits", "1024", "--runs", "1", "--output=" + file, "--json", "--quiet"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(read("pi.txt"), "3." + std::string(kPiDigits + 1, 1023) + "\n");
  const nlohmann::json j = nlohmann::json::parse(o.out);
  EXPECT_EQ(j["digits_computed"], 2048);
  EXPECT_EQ(j["digits"], 2048);
  EXPECT_EQ(j["custom"], true);
  EXPECT_FALSE(exists(file + ".partial"));

  o = run({"--digits", "1", "--runs", "1", "--output", file, "--quiet"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(read("pi.txt"), "3\n");
}

// Verification is the default: a wrong run is a failed run that adds
// nothing to the score, named with the position of its wrong digit.
TEST_F(CliEndToEnd, AWrongRunFailsAndIsNotCounted) {
  const std::string file = dir_ + "/pi.txt";
  const ProcessOutcome o = run({"--digits", "2000", "--runs", "2", "--json", "--quiet", "--output", file},
                               {{"MORLANT_CLI_CORRUPT_DIGIT", "2"}});
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.err.find("morlant-cli: verification FAILED for run 2: digit 1023 after the decimal point is wrong"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(o.err.find("run 1:"), std::string::npos);
  const nlohmann::json j = nlohmann::json::parse(o.out);
  EXPECT_EQ(j["status"], "verify-failed");
  EXPECT_EQ(j["runs"][0]["status"], "ok");
  EXPECT_EQ(j["runs"][1]["status"], "verify-failed");
  EXPECT_EQ(j["runs"][1]["verified"], false);
  EXPECT_EQ(j["runs"][1]["score"], 0);
  // The score is run 1's alone; the time is run 1's.
  EXPECT_EQ(j["score"], j["runs"][0]["score"]);
  EXPECT_EQ(j["seconds"], j["runs"][0]["seconds"]);
  // Digits that failed verification are not handed out.
  EXPECT_FALSE(exists(file));
  EXPECT_NE(o.err.find("nothing written to '" + file + "': the digits failed verification"), std::string::npos)
      << o.err;

  // --no-verify counts the same runs without looking at their digits.
  const ProcessOutcome unchecked =
      run({"--digits", "2000", "--runs", "2", "--json", "--quiet", "--no-verify"}, {{"MORLANT_CLI_CORRUPT_DIGIT", "2"}});
  EXPECT_EQ(unchecked.exit_code, 0) << unchecked.err;
  const nlohmann::json u = nlohmann::json::parse(unchecked.out);
  EXPECT_EQ(u["status"], "ok");
  EXPECT_EQ(u["verify"], false);
  EXPECT_TRUE(u["runs"][1]["verified"].is_null());
}

TEST_F(CliEndToEnd, StressStopsAtTheFirstWrongDigit) {
  const ProcessOutcome o = run({"--stress", "--digits", "20000", "--json"}, {{"MORLANT_CLI_CORRUPT_DIGIT", "3"}});
  EXPECT_EQ(o.exit_code, 1) << o.err;
  // 8192 words guarantee 32760 digits; the hook changes the middle one.
  const std::string what = "digit 16380 after the decimal point is wrong";
  EXPECT_NE(o.err.find("morlant-cli: ERROR in run 3 on thread 1 after "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find(what), std::string::npos) << o.err;
  const nlohmann::json j = nlohmann::json::parse(o.out);
  const auto& s = j["stress"];
  EXPECT_EQ(s["runs"], 2);
  EXPECT_EQ(s["error"]["run"], 3);
  EXPECT_EQ(s["error"]["thread"], 1);
  EXPECT_EQ(s["error"]["time_of_day"].get<std::string>().size(), 8u);
  EXPECT_EQ(s["result"].get<std::string>().rfind("error: " + what, 0), 0u);
  EXPECT_TRUE(s["duration_seconds"].is_null());
}

TEST_F(CliEndToEnd, StressRunsForItsDurationOnEveryThread) {
  const ProcessOutcome o = run({"--stress", "1s", "--threads", "2", "--digits", "1000"});
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("Stress test:   1000 digits a run on 2 threads, for 1s\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("Result:        no error found\n"), std::string::npos) << o.out;
  unsigned runs = 0, first = 0, second = 0;
  const std::size_t at = o.out.find("\nRuns:");
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(std::sscanf(o.out.c_str() + at, "\nRuns: %u (thread 1: %u, thread 2: %u)", &runs, &first, &second), 3);
  EXPECT_EQ(runs, first + second);
  EXPECT_TRUE(first > 0 && second > 0);
  EXPECT_NE(o.err.find("stress: "), std::string::npos) << o.err;
  EXPECT_GT(o.seconds, 0.9);
}

TEST_F(CliEndToEnd, ThreadsReportEachThreadAndTheirSum) {
  const ProcessOutcome o = run({"--threads", "2", "--digits", "10000", "--runs", "2", "--json"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  const nlohmann::json j = nlohmann::json::parse(o.out);
  ASSERT_EQ(j["threads"].size(), 2u);
  double sum = 0;
  for (const auto& t : j["threads"]) {
    EXPECT_EQ(t["status"], "ok");
    ASSERT_EQ(t["runs"].size(), 2u);
    EXPECT_EQ(t["runs"][1]["verified"], true);
    sum += t["score"].get<double>();
  }
  EXPECT_EQ(j["throughput_score"].get<double>(), sum);
  EXPECT_TRUE(j["score"].is_null());
  // One progress sequence for both threads: 2 threads x 2 runs x 10 steps.
  EXPECT_NE(o.err.find("step 40/40 (100%)"), std::string::npos) << o.err;
}

TEST_F(CliEndToEnd, TooLittleMemoryRefusesBeforeAnyWork) {
  for (const char* threads : {"2", "all"}) {
    const ProcessOutcome o = run({"--threads", threads, "--digits", "1000000"}, {{"MORLANT_CLI_AVAILABLE_MEMORY_MB", "1"}});
    EXPECT_EQ(o.exit_code, 2);
    EXPECT_NE(o.err.find("of 1000000 digits at once need "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("but only 1 MB are available; nothing was started"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("step"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
  }
  // 1 MB suffices for one small computation (about 0.2 MB).
  EXPECT_EQ(run({"--digits", "10000", "--runs", "1", "--quiet"}, {{"MORLANT_CLI_AVAILABLE_MEMORY_MB", "1"}}).exit_code, 0);
}

// Ctrl+C for real: a benchmark stops with 130 and leaves no output file (an
// existing one untouched); a stress test without a duration ends normally.
TEST_F(CliEndToEnd, InterruptStopsCleanly) {
  const std::string file = dir_ + "/pi.txt";
  InterruptOutcome o = interrupt({"--digits", "1000000", "--runs", "50", "--output", file}, "step 1/");
  ASSERT_TRUE(o.started && o.signalled) << o.err;
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_NE(o.err.find("morlant-cli: interrupted; "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find(" of 50 runs had completed, nothing written to --output\n"), std::string::npos) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_FALSE(exists(file));
  EXPECT_FALSE(exists(file + ".partial"));

  std::FILE* old = std::fopen(file.c_str(), "wb");
  ASSERT_NE(old, nullptr);
  std::fputs("old\n", old);
  std::fclose(old);
  o = interrupt({"--digits", "1000000", "--runs", "50", "--threads", "2", "--output", file}, "step ");
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_EQ(read("pi.txt"), "old\n");

  o = interrupt({"--stress", "--digits", "10000", "--threads", "2"}, "stress: ");
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("Result:        no error found\n"), std::string::npos) << o.out;
  o = interrupt({"--stress", "1h", "--digits", "10000", "--json"}, "stress: ");
  EXPECT_EQ(o.exit_code, 130) << o.err;
  EXPECT_EQ(nlohmann::json::parse(o.out)["stress"]["result"], "interrupted");
}

}  // namespace
