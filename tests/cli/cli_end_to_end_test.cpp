// morlant-cli as a user runs it: the built executable in a child process,
// its exit status, standard output, standard error and output file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/pi_digits.h"

extern char** environ;

namespace {

struct Outcome {
  int exit_code = -1;
  std::string out, err;
  double seconds = 0;
};

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

class CliEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "morlant-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
  }
  void TearDown() override {
    for (const char* name : {"stdout", "stderr", "pi.txt"}) unlink((dir_ + name).c_str());
    rmdir(dir_.c_str());
  }

  // Runs the program with `args`, standard input from /dev/null, the test's
  // environment without the test hook plus `env`.
  Outcome run(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    const std::string out = dir_ + "stdout", err = dir_ + "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(MORLANT_CLI_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e)
      if (std::strncmp(*e, "MORLANT_CLI_CORRUPT_DIGIT=", 26) != 0) envp.push_back(*e);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    Outcome o;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    const int spawned = posix_spawn(&pid, MORLANT_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0) << MORLANT_CLI_PATH;
    if (spawned != 0) return o;
    int status = 0;
    waitpid(pid, &status, 0);
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    o.out = read_file(out);
    o.err = read_file(err);
    return o;
  }

  std::string dir_;
};

TEST_F(CliEndToEnd, BadInputExitsWith2AndOneLineBeforeAnyWork) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--digits", "abc"}, "morlant-cli: --digits needs a whole number from 1 to 134217728, got 'abc'\n"},
      {{"--digits", "134217729"}, "morlant-cli: --digits needs a whole number from 1 to 134217728, got '134217729'\n"},
      {{"--digits", "5x"}, "morlant-cli: --digits needs a whole number from 1 to 134217728, got '5x'\n"},
      {{"--runs", "-1"}, "morlant-cli: --runs needs a whole number from 1 to 100, got '-1'\n"},
      {{"--runs", "101"}, "morlant-cli: --runs needs a whole number from 1 to 100, got '101'\n"},
      {{"--runs"}, "morlant-cli: --runs needs a whole number from 1 to 100, got nothing\n"},
      {{"--output"}, "morlant-cli: --output needs a file name\n"},
      {{"--fast"}, "morlant-cli: unknown option '--fast' (see --help)\n"},
      {{"now"}, "morlant-cli: unexpected argument 'now' (see --help)\n"},
      // The standard workload would take a minute: the refusal must come first.
      {{"--output", "/nonexistent-dir/pi.txt"},
       "morlant-cli: cannot write --output file '/nonexistent-dir/pi.txt': No such file or directory\n"},
      {{"--output", "/"}, "morlant-cli: cannot write --output file '/': Is a directory\n"},
  };
  for (const auto& c : cases) {
    const Outcome o = run(c.args);
    EXPECT_EQ(o.exit_code, 2) << c.err;
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.out, "");
    EXPECT_LT(o.seconds, 5.0) << c.err;
  }
}

TEST_F(CliEndToEnd, HelpAndVersionExit0) {
  Outcome o = run({"--help"});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out.rfind("Usage: morlant-cli [options]\n", 0), 0u) << o.out;
  EXPECT_EQ(o.err, "");
  o = run({"--version"});
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out, std::string("morlant-cli ") + MORLANT_VERSION + "\n");
}

TEST_F(CliEndToEnd, JsonWithVerification) {
  const Outcome o = run({"--digits", "2000", "--runs", "2", "--json", "--verify"});
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
  ASSERT_TRUE(j["seconds"].is_number());
  ASSERT_TRUE(j["score"].is_number());
  ASSERT_TRUE(j["runs"].is_array());
  ASSERT_EQ(j["runs"].size(), 2u);
  double total = 0;
  for (const auto& run : j["runs"]) {
    EXPECT_EQ(run["status"], "ok");
    EXPECT_EQ(run["verified"], true);
    EXPECT_EQ(run["digits"], 2048);
    ASSERT_TRUE(run["seconds"].is_number());
    ASSERT_TRUE(run["score"].is_number());
    EXPECT_GE(run["seconds"].get<double>(), 0.0);
    total += run["seconds"].get<double>();
  }
  EXPECT_NEAR(j["seconds"].get<double>(), total, 1e-9);
  const auto& s = j["system"];
  ASSERT_TRUE(s.is_object());
  EXPECT_TRUE(s["cpu"].is_string());
  EXPECT_GT(s["logical_processors"].get<int>(), 0);
  EXPECT_GT(s["physical_cores"].get<int>(), 0);
  EXPECT_TRUE(s["cpu_mhz"].is_number_integer());
  EXPECT_GT(s["memory_mb"].get<int64_t>(), 0);
  EXPECT_EQ(s["os_name"], "Linux");
  EXPECT_TRUE(s["os_version"].is_string());
  EXPECT_TRUE(s["architecture"].is_string());
  // Progress stays on standard error.
  EXPECT_NE(o.err.find("step 1/14"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("run 2/2: "), std::string::npos) << o.err;
}

TEST_F(CliEndToEnd, VerificationPassesAcrossSizes) {
  // 2^1, 2^5, 2^11 and 2^14 transforms; the last has 8 guard digits.
  for (const char* digits : {"1", "100", "5000", "65536"}) {
    const Outcome o = run({"--digits", digits, "--runs", "1", "--verify", "--quiet"});
    EXPECT_EQ(o.exit_code, 0) << digits << ": " << o.err;
    EXPECT_EQ(o.err, "") << digits;
    EXPECT_NE(o.out.find(", verified\n"), std::string::npos) << o.out;
  }
}

TEST_F(CliEndToEnd, TextReportOfACustomRun) {
  const Outcome o = run({"--digits", "100000", "--runs", "2"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("Custom run: 100000 digits x 2 runs - not comparable to the standard score\n"),
            std::string::npos);
  for (const char* row : {"CPU:", "Cores:", "Memory:", "OS:            Linux ", "Architecture:", "Run 1:", "Run 2:"})
    EXPECT_NE(("\n" + o.out).find(std::string("\n") + row), std::string::npos) << row << "\n" << o.out;
  // The last two rows: "Score:" and a whole number, "Time:" and exactly three decimals.
  const std::size_t score = o.out.rfind("\nScore:");
  ASSERT_NE(score, std::string::npos) << o.out;
  std::istringstream tail(o.out.substr(score));
  std::string label, value, unit;
  tail >> label >> value;
  EXPECT_EQ(label, "Score:");
  EXPECT_EQ(value.find_first_not_of("0123456789"), std::string::npos) << value;
  tail >> label >> value >> unit;
  EXPECT_EQ(label, "Time:");
  EXPECT_EQ(unit, "sec");
  ASSERT_GE(value.size(), 5u);
  EXPECT_EQ(value.find_first_not_of("0123456789."), std::string::npos) << value;
  EXPECT_EQ(value.find('.'), value.size() - 4) << value;
  EXPECT_TRUE(o.out.size() >= 5 && o.out.compare(o.out.size() - 5, 5, " sec\n") == 0);
  EXPECT_NE(o.err.find("step 1/26 (3%): "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("step 26/26 (100%): 100000 digits"), std::string::npos) << o.err;
}

TEST_F(CliEndToEnd, OutputWritesTheDigitsAskedFor) {
  const std::string file = dir_ + "pi.txt";
  Outcome o = run({"--digits", "1000", "--runs", "1", "--output", file, "--quiet"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(read_file(file), "3." + std::string(kPiDigits + 1, 999) + "\n");

  // 1024 digits ask for more than the 1022 such a computation guarantees.
  o = run({"--digits", "1024", "--runs", "1", "--output=" + file, "--quiet"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(read_file(file), "3." + std::string(kPiDigits + 1, 1021) + "\n");
  EXPECT_NE(o.err.find("wrote 1022 of the 1024 requested digits"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("guard digits"), std::string::npos) << o.err;

  o = run({"--digits", "1", "--runs", "1", "--output", file, "--quiet"});
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(read_file(file), "3\n");
}

TEST_F(CliEndToEnd, VerifyCatchesACorruptedDigit) {
  const std::string file = dir_ + "pi.txt";
  const Outcome o = run({"--digits", "2000", "--runs", "2", "--verify", "--json", "--quiet", "--output", file},
                        {"MORLANT_CLI_CORRUPT_DIGIT=2"});
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
  EXPECT_FALSE(exists(file));
  EXPECT_NE(o.err.find("nothing written to '" + file + "': the digits failed verification"), std::string::npos)
      << o.err;
}

}  // namespace
