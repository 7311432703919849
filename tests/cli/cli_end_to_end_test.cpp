// morlant-cli as a user runs it: the built executable in a child process,
// its exit status, standard output, standard error and output file.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

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
  static void SetUpTestSuite() { testsupport::set_env("MORLANT_CLI_CORRUPT_DIGIT", nullptr); }  // the test hook
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

  std::string dir_;
};

// The option parser's own tests cover every message; here the exit code, the
// single line, and a refusal before the minute-long standard workload.
TEST_F(CliEndToEnd, BadInputExitsWith2AndOneLineBeforeAnyWork) {
  const struct {
    std::vector<std::string> args;
    std::string err;  // without a final newline: the platform's error text follows
  } cases[] = {
      {{"--digits", "abc"}, "morlant-cli: --digits needs a whole number from 1 to 134217728, got 'abc'\n"},
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

  // 1024 digits ask for more than the 1022 such a computation guarantees.
  o = run({"--digits", "1024", "--runs", "1", "--output=" + file, "--quiet"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(read("pi.txt"), "3." + std::string(kPiDigits + 1, 1021) + "\n");
  EXPECT_NE(o.err.find("wrote 1022 of the 1024 requested digits"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("guard digits"), std::string::npos) << o.err;

  o = run({"--digits", "1", "--runs", "1", "--output", file, "--quiet"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(read("pi.txt"), "3\n");
}

TEST_F(CliEndToEnd, VerifyCatchesACorruptedDigit) {
  const std::string file = dir_ + "/pi.txt";
  const ProcessOutcome o = run({"--digits", "2000", "--runs", "2", "--verify", "--json", "--quiet", "--output", file},
                               {{"MORLANT_CLI_CORRUPT_DIGIT", "2"}});
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.err.find("morlant-cli: verification FAILED for run 2: digest of the first 2046 digits is "),
            std::string::npos)
      << o.err;
  EXPECT_EQ(o.err.find("run 1:"), std::string::npos);
  const nlohmann::json j = nlohmann::json::parse(o.out);
  EXPECT_EQ(j["status"], "verify-failed");
  EXPECT_EQ(j["runs"][0]["status"], "ok");
  EXPECT_EQ(j["runs"][1]["status"], "verify-failed");
  EXPECT_EQ(j["runs"][1]["verified"], false);
  // Digits that failed verification are not handed out.
  std::FILE* written = std::fopen(file.c_str(), "rb");
  EXPECT_EQ(written, nullptr);
  if (written != nullptr) std::fclose(written);
  EXPECT_NE(o.err.find("nothing written to '" + file + "': the digits failed verification"), std::string::npos)
      << o.err;
}

}  // namespace
